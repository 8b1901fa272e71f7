#include "CHyperLink.h"

#include "BindingTable.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace tervane {

namespace {

// The colour values are read into a buffer of this many bytes, terminator included.
constexpr std::size_t kColourBufferSize = 80;

} // namespace

std::optional<QColor> ParseLinkColour(std::string_view text)
{
    if (text.size() >= kColourBufferSize)
        return std::nullopt;
    const std::size_t first = text.find(',');
    if (first == std::string_view::npos || first == 0)
        return std::nullopt;
    const std::string_view afterRed = text.substr(first + 1);
    const std::size_t second = afterRed.find(',');
    if (second == std::string_view::npos || second == 0)
        return std::nullopt;
    const std::string_view blueText = afterRed.substr(second + 1);
    if (blueText.find(',') != std::string_view::npos)
        return std::nullopt;
    const auto low8 = [](std::string_view number) { return static_cast<int>(ReadDecimal(number) & 0xFF); };
    return QColor(low8(text.substr(0, first)), low8(afterRed.substr(0, second)), low8(blueText));
}

QColor LinkColour(const std::optional<std::string>& valueText, const QColor& fallback)
{
    if (valueText)
        if (const auto parsed = ParseLinkColour(*valueText))
            return *parsed;
    return fallback;
}

QColor DefaultHoverLinkColour()
{
    return QColor(255, 0, 0);
}

QColor DefaultNormalLinkColour()
{
    const QColor desktop = QApplication::palette().color(QPalette::Active, QPalette::Link);
    return desktop.isValid() ? desktop : QColor(0, 0, 255);
}

CHyperLink::CHyperLink(QWidget* parent, const std::optional<std::string>& normalColourText,
    const std::optional<std::string>& hoverColourText)
    : QLabel(parent)
    , m_normalColour(LinkColour(normalColourText, DefaultNormalLinkColour()))
    , m_hoverColour(LinkColour(hoverColourText, DefaultHoverLinkColour()))
    , m_normalFont(font())
    , m_hoverFont(font())
{
    m_hoverFont.setUnderline(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    setForegroundRole(QPalette::WindowText);
    SetHover(false);
}

bool CHyperLink::SetNotifyMode(bool notify)
{
    m_notifyMode = notify;
    return m_notifyMode;
}

QColor CHyperLink::TextColour() const
{
    return m_hover ? m_hoverColour : m_normalColour;
}

void CHyperLink::SetHover(bool hover)
{
    m_hover = hover;
    setFont(hover ? m_hoverFont : m_normalFont);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColour());
    colours.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(colours);
    update();
}

void CHyperLink::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    SetHover(true);
}

void CHyperLink::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    SetHover(false);
}

void CHyperLink::Notify()
{
    if (m_notifyMode)
        emit linkClicked(m_controlId);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    Notify();
    SetHover(false);
}

void CHyperLink::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && hasFocus())
        Notify();
    QLabel::keyReleaseEvent(event);
}

void CHyperLink::focusInEvent(QFocusEvent* event)
{
    QLabel::focusInEvent(event);
    update();
}

void CHyperLink::focusOutEvent(QFocusEvent* event)
{
    QLabel::focusOutEvent(event);
    update();
}

void CHyperLink::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect();
    option.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

} // namespace tervane
