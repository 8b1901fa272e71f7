#include "FirmwarePage.h"

namespace tervane {

FirmwarePage::FirmwarePage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Firmware Update"), documents, runner, parent)
{
    setObjectName(QStringLiteral("FirmwarePage"));
}

} // namespace tervane
