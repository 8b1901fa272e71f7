#pragma once

#include "DeviceQuery.h"
#include "PropertyPage.h"

#include <QPixmap>

namespace tervane {

class SignalView;
struct SignalReading;

// "Device Information": who the device is, what its modem and SIM report, the connection
// status, and the link and signal lamps with the mobile IP address. Nothing is editable;
// "Refresh" runs the device query again.
class MainPage : public PropertyPage {
    Q_OBJECT

public:
    // Control ids; each text field is kept under the id of the edit that shows it.
    enum ControlId : int {
        IDC_STATUS = 1001,
        IDC_REFRESH,
        IDC_PRODUCT,
        IDC_FIRMWARE_VERSION,
        IDC_IMEI,
        IDC_PHONE_NUMBER,
        IDC_ICCID,
        IDC_IMSI,
        IDC_MODEM_TYPE,
        IDC_MODEM_REVISION,
        IDC_LINK_LAMP,
        IDC_SIGNAL_LAMP1,
        IDC_SIGNAL_LAMP2,
        IDC_SIGNAL_LAMP3,
        IDC_SIGNAL_LAMP4,
        IDC_SIGNAL_LAMP5,
        IDC_MOBILE_IP_ADDRESS,
        IDC_WATCH_SIGNAL,
    };
    // Fields no edit shows.
    enum FieldIdOf : int {
        FIELD_SIGNAL_QUALITY = 2001,
    };
    static constexpr int kSignalLampCount = 5;

    MainPage(RciDocuments& documents, DeviceRunner& runner, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnSetActive() override;

    // The device query: modem facts into the fields, the three documents replaced. False when
    // the device gave no settings or no state; the fields of the rows read are set anyway.
    bool QueryDevice();
    // The same from the device query's batch already run by someone else (start-up's).
    bool TakeDeviceQuery(const CommandBatch& answered);
    // "Connected (<port>)", or how the link stands otherwise; shown at once.
    void SetStatus(const QString& status);
    // Lamps from the signal quality (99 becomes 0, and the lamps' words say "unknown"), the
    // product and the mobile IP address.
    void UpdateSignalLamps();

    // The modem facts as the fields hold them.
    DeviceFacts Facts() const;
    int32_t SignalQuality() const;
    // Lamp k (1 to 5) is shown and lit.
    bool IsSignalLampShown(int lamp) const;
    bool IsSignalLampLit(int lamp) const;
    bool IsLinkLampLit() const;

    // The live reading of the signal view: the lamps and their words follow it.
    void ShowLiveSignal(const SignalReading& reading);
    // The signal view, once "Watch signal" has opened it.
    SignalView* SignalWatch() const { return m_signalView; }

public slots:
    void OnRefresh();
    // "Watch signal": opens the signal view, or brings it to the front.
    void OnWatchSignal();

private:
    void BuildControls();
    void ShowMobileIpAddress();
    void SetLamp(int controlId, bool lit);
    void DescribeLamp(int controlId, const QString& meaning);

    SignalView* m_signalView = nullptr;
    QPixmap m_litLamp;
    QPixmap m_unlitLamp;
    // The stored signal quality 0 stands for the unknown one, until the next query.
    bool m_signalQualityUnknown = false;
};

} // namespace tervane
