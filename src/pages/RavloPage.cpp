#include "RavloPage.h"

namespace tervane {

RavloPage::RavloPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Ravlo"), documents, runner, parent)
{
    setObjectName(QStringLiteral("RavloPage"));
}

} // namespace tervane
