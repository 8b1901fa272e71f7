#include "DialogRunner.h"

#include "USBDialog.h"
#include "UploadProgress.h"

namespace tervane {

DialogRunner::DialogRunner(SerialLink& link)
    : m_link(link)
    , m_status(link)
{
}

void DialogRunner::RunBatch(CommandBatch& batch)
{
    USBDialog dialog(m_link, &m_status);
    dialog.DoModal(batch);
}

UploadResult DialogRunner::Upload(const UploadSource& source)
{
    UploadProgress dialog(m_link);
    dialog.SetUploadSource(source.Path(), source.FirmwareImage(), source.MeshFile());
    dialog.DoModal();
    return dialog.Result();
}

} // namespace tervane
