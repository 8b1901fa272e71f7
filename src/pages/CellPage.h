#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Mobile" page: the device's cellular service settings under mobile_simple (access
// point name, user name, password, SIM PIN, GSM band). Only the settings the device reports
// are shown.
class CellPage : public PropertyPage {
    Q_OBJECT

public:
    // Control ids; each field is kept under the id of the control that shows it (the band
    // list holds the band's label).
    enum ControlId : int {
        IDC_USERNAME = 1057,
        IDC_PASSWORD = 1058,
        IDC_PIN = 1074,
        IDC_APN = 1075,
        IDC_PROVIDER_GROUP = 1078,
        IDC_APN_CAPTION = 1082,
        IDC_USERNAME_CAPTION = 1083,
        IDC_PASSWORD_CAPTION = 1084,
        IDC_PIN_CAPTION = 1085,
        IDC_BAND = 1127,
        IDC_BAND_CAPTION = 1128,
        IDC_BAND_GROUP = 1129,
    };

    CellPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnApply() override;
    bool OnSetActive() override;

protected:
    bool DoDataExchange(bool saveAndValidate) override;

private:
    void BuildControls();
};

} // namespace tervane
