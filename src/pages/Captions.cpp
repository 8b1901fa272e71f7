#include "Captions.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QKeySequence>
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

bool HasAccessKey(const QString& text)
{
    return !AccessKeyOf(text).isNull();
}

// Where the "&" goes: the first free letter or digit starting a word, else the first free one
// anywhere; -1 when every one is taken.
qsizetype AccessKeyPosition(const QString& text, const QString& taken)
{
    const auto free = [&](qsizetype i) { return text[i].isLetterOrNumber() && !taken.contains(text[i].toLower()); };
    for (qsizetype i = 0; i < text.size(); ++i)
        if ((i == 0 || !text[i - 1].isLetterOrNumber()) && free(i))
            return i;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (free(i))
            return i;
    return -1;
}

} // namespace

// The key a caption's "&" gives, lower case; none without one ("&&" is a plain "&").
QChar AccessKeyOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] != u'&')
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}

QString AssignAccessKeys(QWidget* root, QString taken)
{
    // Captions with a field to reach, and buttons, in the order they were made: top to bottom.
    QList<QWidget*> targets;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        if ((label != nullptr && label->buddy() != nullptr && label->textFormat() != Qt::RichText) ||
            qobject_cast<QAbstractButton*>(widget) != nullptr)
            targets.append(widget);
    }
    const auto textOf = [](QWidget* widget) {
        if (auto* label = qobject_cast<QLabel*>(widget))
            return label->text();
        return static_cast<QAbstractButton*>(widget)->text();
    };
    const auto setTextOf = [](QWidget* widget, const QString& text) {
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(text);
        else
            static_cast<QAbstractButton*>(widget)->setText(text);
    };
    // Keys chosen by hand come first.
    for (QWidget* widget : targets)
        if (const QChar key = AccessKeyOf(textOf(widget)); !key.isNull() && !taken.contains(key))
            taken.append(key);
    for (QWidget* widget : targets) {
        QString text = textOf(widget);
        if (text.isEmpty() || HasAccessKey(text))
            continue;
        // A plain "&" in a caption would read as a key: it is doubled to stay a "&".
        text.replace(QStringLiteral("&"), QStringLiteral("&&"));
        const qsizetype at = AccessKeyPosition(text, taken);
        if (at < 0)
            continue;
        taken.append(text[at].toLower());
        text.insert(at, u'&');
        setTextOf(widget, text);
    }
    return taken;
}

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
