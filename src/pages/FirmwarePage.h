#pragma once

#include "PropertyPage.h"

namespace tervane {

// "Firmware Update": the product and firmware version the device reports, and the update
// of its firmware from an image file on the PC. Nothing here is applied through the sheet.
class FirmwarePage : public PropertyPage {
    Q_OBJECT

public:
    // Control ids; each field is kept under the id of the edit that shows it.
    enum ControlId : int {
        IDC_PRODUCT = 1201,
        IDC_FIRMWARE_VERSION,
        IDC_FIRMWARE_IMAGE,
        IDC_BROWSE_FIRMWARE,
        IDC_UPDATE_FIRMWARE,
    };

    FirmwarePage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;

    // The image path as the page holds it.
    QString ImagePath() const;

public slots:
    void OnBrowseFirmware();
    void OnUpdateFirmware();

private:
    void BuildControls();
    // The state document into the fields and onto the page.
    void ShowState();
};

} // namespace tervane
