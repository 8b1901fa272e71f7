#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Utilities" page: backup, restore, reboot and factory defaults.
class UtilsPage : public PropertyPage {
    Q_OBJECT

public:
    UtilsPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
};

} // namespace tervane
