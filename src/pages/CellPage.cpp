#include "CellPage.h"

namespace tervane {

CellPage::CellPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Mobile"), documents, runner, parent)
{
    setObjectName(QStringLiteral("CellPage"));
}

} // namespace tervane
