#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Ravlo" page: the radio module.
class RavloPage : public PropertyPage {
    Q_OBJECT

public:
    RavloPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
};

} // namespace tervane
