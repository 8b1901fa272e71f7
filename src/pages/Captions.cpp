#include "Captions.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace tervane {

namespace {

// A control whose name only a caption beside it can give.
bool IsField(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
        qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
        qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractItemView*>(widget);
}

void Pair(QLayoutItem* captionItem, QLayoutItem* fieldItem)
{
    if (captionItem == nullptr || fieldItem == nullptr)
        return;
    auto* caption = qobject_cast<QLabel*>(captionItem->widget());
    QWidget* field = fieldItem->widget();
    if (caption != nullptr && caption->buddy() == nullptr && IsField(field))
        caption->setBuddy(field);
}

void BuddyGrid(QGridLayout* grid)
{
    for (int i = 0; i < grid->count(); ++i) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        if (column + columnSpan < grid->columnCount())
            Pair(grid->itemAt(i), grid->itemAtPosition(row, column + columnSpan));
    }
}

void BuddyBox(QBoxLayout* box)
{
    for (int i = 0; i + 1 < box->count(); ++i)
        Pair(box->itemAt(i), box->itemAt(i + 1));
}

} // namespace

void BuddyCaptions(QWidget* root)
{
    // Layouts are children of the widget or layout they belong to, so this finds them all.
    for (QLayout* layout : root->findChildren<QLayout*>()) {
        if (auto* grid = qobject_cast<QGridLayout*>(layout))
            BuddyGrid(grid);
        else if (auto* box = qobject_cast<QBoxLayout*>(layout))
            BuddyBox(box);
    }
}

} // namespace tervane
