#pragma once

class QWidget;

namespace tervane {

// Makes every caption label under `root` the buddy of the field laid out right after it (the
// next cell of its grid row, or the next item of its row or column), unless it has one. A
// screen reader then names each field by its caption, and the caption's mnemonic reaches it.
void BuddyCaptions(QWidget* root);

} // namespace tervane
