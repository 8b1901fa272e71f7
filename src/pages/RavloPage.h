#pragma once

#include "PropertyPage.h"

namespace tervane {

// The "Ravlo" page: what the device reports about its radio module (from the state
// document), six basic radio settings (from the radio settings document) and the update of
// the radio's firmware. One binding table serves both documents: a document holds only its
// own paths, so each load or store touches only its records. The page hides none of its
// controls: a setting the device did not report leaves its edit as it was. The
// fields are loaded when the page is first shown, after an accepted apply and after a
// firmware update; in between they keep what the user typed.
class RavloPage : public PropertyPage {
    Q_OBJECT

public:
    // Control ids; each value is kept under the id of the edit that shows it.
    enum ControlId : int {
        IDC_SCAN_DURATION = 1060,
        IDC_JOIN_TIME = 1061,
        IDC_EXTENDED_ADDRESS = 1062,
        IDC_PRODUCT_TYPE = 1063,
        IDC_RADIO_FIRMWARE_VERSION = 1064,
        IDC_EXTENDED_PAN_ID = 1065,
        IDC_FIRMWARE_FILE = 1066,
        IDC_BROWSE = 1067,
        IDC_UPDATE = 1068,
        IDC_NODE_ID = 1070,
        IDC_DISCOVER_TIMEOUT = 1071,
        IDC_SCAN_CHANNELS = 1072,
    };
    // The caption of an edit has the edit's id + kCaptionOffset, the hint beside it + kHintOffset.
    static constexpr int kCaptionOffset = 100;
    static constexpr int kHintOffset = 200;

    // What the page shows as the product type; it is never sent.
    static constexpr const char* kProductType = "Q7 Gateway";
    static constexpr int kExtendedPanIdLength = 20;

    RavloPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    // Checks the six settings when this is the visible page; a refused value is reported
    // ("Error"), gets the focus and keeps the page and both documents as they were.
    bool OnApply() override;

public slots:
    // "Browse...": chooses the radio firmware image.
    void OnBrowseRadioFirmware();
    // "Update": flashes the radio with the chosen image and shows what the device then reports.
    void OnUpdateRadioFirmware();

private:
    void BuildControls();
    // Both documents into the fields and on screen.
    void ReloadFromDocuments();
    bool RefuseValue(int controlId, const QString& message);
};

} // namespace tervane
