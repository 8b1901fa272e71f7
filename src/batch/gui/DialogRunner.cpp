#include "DialogRunner.h"

#include "SerialLink.h"
#include "USBDialog.h"
#include "UploadProgress.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tervane {

namespace {

// Holds the signal poll off from before the dialog until the window's thread is back in an
// event loop: a procedure's next batch or upload follows its last one at once, so the
// polling pauses for the whole procedure, not only for each of its steps.
class ProcedureHold {
public:
    explicit ProcedureHold(LinkTurns& turns)
        : m_turns(turns)
    {
        m_turns.HoldPolls();
    }
    ~ProcedureHold()
    {
        LinkTurns* turns = &m_turns;
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [turns] { turns->ReleasePolls(); }, Qt::QueuedConnection);
        else
            turns->ReleasePolls();
    }
    ProcedureHold(const ProcedureHold&) = delete;
    ProcedureHold& operator=(const ProcedureHold&) = delete;

private:
    LinkTurns& m_turns;
};

} // namespace

DialogRunner::DialogRunner(SerialLink& link)
    : m_link(link)
    , m_status(link)
{
}

void DialogRunner::RunBatch(CommandBatch& batch)
{
    const ProcedureHold hold(m_link.Turns());
    USBDialog dialog(m_link, &m_status);
    dialog.DoModal(batch);
}

UploadResult DialogRunner::Upload(const UploadSource& source)
{
    const ProcedureHold hold(m_link.Turns());
    UploadProgress dialog(m_link);
    dialog.SetUploadSource(source.Path(), source.FirmwareImage(), source.MeshFile());
    dialog.DoModal();
    return dialog.Result();
}

} // namespace tervane
