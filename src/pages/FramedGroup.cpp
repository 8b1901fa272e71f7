#include "FramedGroup.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>

namespace tervane {

namespace {

constexpr int kSideMargin = 10;
constexpr int kBottomMargin = 10;
constexpr int kContentSpacing = 6;

} // namespace

QGridLayout* FramedGroup(QGroupBox* frame, QLayout* contents)
{
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(frame, 0, 0, 3, 3);
    // Its own spacing: the frame's grid has none, and a nested layout would take that.
    contents->setSpacing(kContentSpacing);
    grid->addLayout(contents, 1, 1);
    // Room for the frame's title above the contents and for its rim around them.
    grid->setRowMinimumHeight(0, frame->fontMetrics().height() + 6);
    grid->setRowMinimumHeight(2, kBottomMargin);
    grid->setColumnMinimumWidth(0, kSideMargin);
    grid->setColumnMinimumWidth(2, kSideMargin);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    // Below its controls, so that it takes none of their clicks.
    frame->lower();
    return grid;
}

} // namespace tervane
