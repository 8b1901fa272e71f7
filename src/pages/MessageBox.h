#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace tervane {

// One message box as the program asks for it.
struct MessageBoxRequest {
    QWidget* owner = nullptr;  // none: a box of its own, without owner window
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // The button Enter presses; none: the box's own choice. A question whose one answer
    // loses work makes the other one the default.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Every modal message box of the program goes through here, so that tests can answer them.
class MessageBox {
public:
    // Shows the box modally and returns the button pressed; Escape and the close box give
    // Cancel when the box has it, otherwise its only button.
    static QMessageBox::StandardButton Show(const MessageBoxRequest& request);
    static QMessageBox::StandardButton Show(QWidget* owner, const QString& text, const QString& caption,
        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons);

    // Tests: the next box is not shown but answered with `answer` (answers queue up in order).
    static void setNextAnswer(QMessageBox::StandardButton answer);
    // Tests: every box that finds no queued answer is handed to `answerer` instead of being
    // shown; an empty function restores real boxes. Queued answers are cleared.
    static void setAnswerer(std::function<QMessageBox::StandardButton(const MessageBoxRequest&)> answerer);
    // Tests: the boxes asked for so far, shown or answered.
    static const QList<MessageBoxRequest>& history();
    static void clearHistory();
};

} // namespace tervane
