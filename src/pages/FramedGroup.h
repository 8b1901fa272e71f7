#pragma once

class QGridLayout;
class QGroupBox;
class QLayout;

namespace tervane {

// Lays `contents` out inside `frame` without making the frame their parent: the controls
// stay children of the page, drawn over the frame, so each of them and the frame itself can
// be shown or hidden on its own. The frame must already be a child of the page.
QGridLayout* FramedGroup(QGroupBox* frame, QLayout* contents);

} // namespace tervane
