#include "PythonPage.h"

namespace tervane {

PythonPage::PythonPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent)
    : PropertyPage(QStringLiteral("Python"), documents, runner, parent)
{
    setObjectName(QStringLiteral("PythonPage"));
}

} // namespace tervane
