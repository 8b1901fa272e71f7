#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Remote Management" page: the remote management connections.
class DravexPage : public PropertyPage {
    Q_OBJECT

public:
    DravexPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);
};

} // namespace tervane
