#include "DravexPage.h"

namespace tervane {

DravexPage::DravexPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Remote Management"), documents, runner, parent)
{
    setObjectName(QStringLiteral("DravexPage"));
}

} // namespace tervane
