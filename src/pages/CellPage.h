#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Mobile" page: the device's cellular service settings.
class CellPage : public PropertyPage {
    Q_OBJECT

public:
    CellPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
};

} // namespace tervane
