#pragma once

#include <QChar>
#include <QString>

class QWidget;

namespace tervane {

// Makes every caption label under `root` the buddy of the field laid out right after it (the
// next cell of its grid row, or the next item of its row or column), unless it has one. A
// screen reader then names each field by its caption, and the caption's mnemonic reaches it.
void BuddyCaptions(QWidget* root);

// Gives every caption label with a buddy and every button under `root` an access key (an
// "&" before one of its letters, the first letter of a word where one is free), keeping the
// keys they have and those in `taken` (lower case), so that no two share one. The
// captions' letters stay as they are. Returns the keys in use, `taken` included.
QString AssignAccessKeys(QWidget* root, QString taken = {});

// The access key a caption's "&" gives, lower case; none without one ("&&" is a plain "&").
QChar AccessKeyOf(const QString& text);

} // namespace tervane
