#include "ReadOnlyEdit.h"

#include <QLineEdit>
#include <QPalette>

namespace tervane {

QLineEdit* MakeReadOnly(QLineEdit* edit)
{
    edit->setReadOnly(true);
    QPalette palette = edit->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setBrush(group, QPalette::Base, palette.brush(group, QPalette::Window));
    edit->setPalette(palette);
    return edit;
}

} // namespace tervane
