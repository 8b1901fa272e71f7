#include "MessageBox.h"

#include <QList>

namespace tervane {

namespace {

struct Seam {
    QList<QMessageBox::StandardButton> queued;
    std::function<QMessageBox::StandardButton(const MessageBoxRequest&)> answerer;
    QList<MessageBoxRequest> history;
};

Seam& TheSeam()
{
    static Seam seam;
    return seam;
}

} // namespace

QMessageBox::StandardButton MessageBox::Show(const MessageBoxRequest& request)
{
    Seam& seam = TheSeam();
    seam.history.append(request);
    if (!seam.queued.isEmpty())
        return seam.queued.takeFirst();
    if (seam.answerer)
        return seam.answerer(request);

    QMessageBox box(request.icon, request.caption, request.text, request.buttons, request.owner);
    // Texts may quote the device: never read as markup.
    box.setTextFormat(Qt::PlainText);
    if (request.buttons.testFlag(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton MessageBox::Show(QWidget* owner, const QString& text, const QString& caption,
    QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)
{
    return Show(MessageBoxRequest {owner, text, caption, icon, buttons, QMessageBox::NoButton});
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    TheSeam().queued.append(answer);
}

void MessageBox::setAnswerer(std::function<QMessageBox::StandardButton(const MessageBoxRequest&)> answerer)
{
    TheSeam().queued.clear();
    TheSeam().answerer = std::move(answerer);
}

const QList<MessageBoxRequest>& MessageBox::history()
{
    return TheSeam().history;
}

void MessageBox::clearHistory()
{
    TheSeam().history.clear();
}

} // namespace tervane
