#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Serial Port" page: the serial line and its network access services.
class SerialPage : public PropertyPage {
    Q_OBJECT

public:
    SerialPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
};

} // namespace tervane
