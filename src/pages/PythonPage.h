#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Python" page: the Python files on the device and their auto-start.
class PythonPage : public PropertyPage {
    Q_OBJECT

public:
    PythonPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
};

} // namespace tervane
