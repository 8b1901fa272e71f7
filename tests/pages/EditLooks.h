#pragma once

// How an edit of a page looks on screen.

#include <QColor>
#include <QLineEdit>
#include <QPalette>

namespace tervane::test {

// Whether an edit is read-only and drawn like read-only text, not like an edit that takes
// typing: the style fills an edit with the Base colour of the edit's palette, here the
// window's own colour, in every state.
inline bool LooksReadOnly(QLineEdit* edit)
{
    const QPalette& palette = edit->palette();
    const QColor window = edit->window()->palette().color(QPalette::Window);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        if (palette.color(group, QPalette::Base) != palette.color(group, QPalette::Window))
            return false;
    }
    return edit->isReadOnly() && palette.color(QPalette::Base) == window;
}

} // namespace tervane::test
