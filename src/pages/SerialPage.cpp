#include "SerialPage.h"

namespace tervane {

SerialPage::SerialPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Serial Port"), documents, runner, parent)
{
    setObjectName(QStringLiteral("SerialPage"));
}

} // namespace tervane
