#pragma once

class QLineEdit;

namespace tervane {

// Makes an edit read-only and draws it as the desktop draws read-only text: filled with the
// palette's window colour instead of the white of an edit that takes typing. Its text stays
// selectable for copying. Returns the edit.
QLineEdit* MakeReadOnly(QLineEdit* edit);

} // namespace tervane
