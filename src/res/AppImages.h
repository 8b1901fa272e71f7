#pragma once

#include <QIcon>
#include <QPixmap>

namespace tervane {

// The application icon (window, About box) from the pictures built into the program.
QIcon ApplicationIcon();

// The 16x16 lamps of the first page: a circle with a black rim, bright green with a white
// highlight when lit, dark grey without highlight when not.
QPixmap LampImage(bool lit);

} // namespace tervane
