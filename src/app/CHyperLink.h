#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

#include <optional>
#include <string>
#include <string_view>

namespace tervane {

// A link colour written as text: three decimal numbers "red,green,blue" (for example
// "0,0,255"), each read like atoi and taken by its low 8 bits. None when the text does not
// have that form: a missing or leading comma, more than two commas, or too long for the
// 80-byte buffer it is read into.
std::optional<QColor> ParseLinkColour(std::string_view text);

// The colour a link colour value gives: the parsed text, or `fallback` when the value is
// missing or malformed.
QColor LinkColour(const std::optional<std::string>& valueText, const QColor& fallback);

// The default link colours: red for the hover colour; the normal colour is the desktop's own
// link colour, as there is no browser setting to read on this system.
QColor DefaultHoverLinkColour();
QColor DefaultNormalLinkColour();

// A static text that draws itself as a link: the normal colour, underlined and in the hover
// colour while the pointer is over it. In notify mode a click, or the space bar while it has
// the focus, emits linkClicked with its control id.
class CHyperLink : public QLabel {
    Q_OBJECT

public:
    // The colour texts stand for the browser's "Anchor Color" and "Anchor Color Hover"
    // values; none uses the defaults.
    explicit CHyperLink(QWidget* parent = nullptr, const std::optional<std::string>& normalColourText = std::nullopt,
        const std::optional<std::string>& hoverColourText = std::nullopt);

    // Stores the flag and returns it.
    bool SetNotifyMode(bool notify);
    bool NotifyMode() const { return m_notifyMode; }

    void SetControlId(int controlId) { m_controlId = controlId; }
    int ControlId() const { return m_controlId; }

    bool IsHover() const { return m_hover; }
    QColor NormalColour() const { return m_normalColour; }
    QColor HoverColour() const { return m_hoverColour; }
    // The colour the text is drawn in now.
    QColor TextColour() const;

signals:
    // The link was activated (WM_LINK_CLICKED).
    void linkClicked(int controlId);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void SetHover(bool hover);
    void Notify();

    bool m_notifyMode = false;
    bool m_hover = false;
    int m_controlId = 0;
    QColor m_normalColour;
    QColor m_hoverColour;
    QFont m_normalFont;
    QFont m_hoverFont;
};

} // namespace tervane
