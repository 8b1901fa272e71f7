#pragma once

#include "ManagementConverters.h"
#include "PropertyPage.h"

namespace tervane {

// The "Remote Management" page: the device-initiated management connection (the first
// mgmtconnection group) and the server-initiated one (mgmtconnection with index 3). The
// reconnect and retry intervals are seconds on the device and hours, minutes and seconds
// here; the device-initiated server address is shown without its "en://".
class DravexPage : public PropertyPage {
    Q_OBJECT

public:
    // Control ids; each field is kept under the id of the control that shows it.
    enum ControlId : int {
        IDC_DEVICE_INITIATED = 1007,
        IDC_RECONNECT = 1009,
        IDC_RECONNECT_MINUTES = 1011,
        IDC_RECONNECT_SECONDS = 1012,
        IDC_SERVER_INITIATED = 1013,
        IDC_LKA_UPDATE = 1014,
        IDC_LKA_SERVER_ADDRESS = 1015,
        IDC_LKA_RETRY = 1016,
        IDC_RETRY_HOURS = 1017,
        IDC_RETRY_MINUTES = 1018,
        IDC_RETRY_SECONDS = 1019,
        IDC_SERVER_ADDRESS = 1041,
        IDC_RECONNECT_HOURS = 1042,
        IDC_DEVICE_INITIATED_GROUP = 1080,
        IDC_SERVER_INITIATED_GROUP = 1081,
        IDC_SERVER_ADDRESS_CAPTION = 1086,
        IDC_LKA_SERVER_ADDRESS_CAPTION = 1087,
        IDC_RECONNECT_HOURS_CAPTION = 1088,
        IDC_RECONNECT_MINUTES_CAPTION = 1089,
        IDC_RECONNECT_SECONDS_CAPTION = 1090,
        IDC_RETRY_HOURS_CAPTION = 1091,
        IDC_RETRY_MINUTES_CAPTION = 1092,
        IDC_RETRY_SECONDS_CAPTION = 1093,
        IDC_RETRY_CAPTION = 1094,
        IDC_RECONNECT_CAPTION = 1095,
    };
    // The intervals in seconds, as the device holds them; no control shows them.
    enum FieldIdOf : int {
        FIELD_RECONNECT_INTERVAL = 2001,
        FIELD_RETRY_INTERVAL = 2002,
    };

    DravexPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnApply() override;
    bool OnSetActive() override;
    bool OnKillActive() override;

public slots:
    // The check boxes: each reads the fields, switches the controls that depend on it and
    // marks the page changed.
    void OnDeviceInitiatedClicked();
    void OnReconnectClicked();
    void OnServerInitiatedClicked();
    void OnLkaUpdateClicked();
    void OnLkaRetryClicked();

private:
    // One interval's controls: its check box, its three time edits, its field in seconds.
    struct IntervalControls {
        int box;
        int hours;
        int minutes;
        int seconds;
        FieldId interval;
    };
    static constexpr IntervalControls kReconnect{IDC_RECONNECT, IDC_RECONNECT_HOURS, IDC_RECONNECT_MINUTES,
        IDC_RECONNECT_SECONDS, FIELD_RECONNECT_INTERVAL};
    static constexpr IntervalControls kRetry{IDC_LKA_RETRY, IDC_RETRY_HOURS, IDC_RETRY_MINUTES, IDC_RETRY_SECONDS,
        FIELD_RETRY_INTERVAL};

    void BuildControls();
    // The interval's seconds into its box and time fields; the time edits follow the box.
    void IntervalToFields(const IntervalControls& controls);
    // The box and time fields back into seconds.
    void FieldsToInterval(const IntervalControls& controls);
    void EnableTime(const IntervalControls& controls, bool enabled);
    bool IsChecked(int controlId) const;
    // The enabling each check box hands down to the controls under it.
    void CascadeDeviceInitiated();
    void CascadeReconnect();
    void CascadeServerInitiated();
    void CascadeLkaUpdate();
    void CascadeLkaRetry();
};

} // namespace tervane
