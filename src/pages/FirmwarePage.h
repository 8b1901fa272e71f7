#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Firmware Update" page: the device firmware update.
class FirmwarePage : public PropertyPage {
    Q_OBJECT

public:
    FirmwarePage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
};

} // namespace tervane
