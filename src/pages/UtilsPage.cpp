#include "UtilsPage.h"

namespace tervane {

UtilsPage::UtilsPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Utilities"), documents, runner, parent)
{
    setObjectName(QStringLiteral("UtilsPage"));
}

} // namespace tervane
