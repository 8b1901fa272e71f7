#pragma once

#include "SignalPoll.h"
#include "SignalPoller.h"

#include <QDialog>
#include <QPixmap>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

namespace tervane {

class SerialLink;
class SignalStrip;

// "Watch signal": the live signal while an antenna is turned. A window of its own beside the
// property sheet, so it can be made large and kept in view while the sheet stays usable.
// While open it polls AT+CSQ and AT+CREG? about once a second on a thread of its own
// (SignalPoller); batches and transfers the pages run pause it. It shows the level large
// in dBm and as the page's bars, the registration, the peak since Reset and the last five
// minutes; Save writes the session as CSV.
class SignalView : public QDialog {
    Q_OBJECT

public:
    SignalView(SerialLink& link, QWidget* parent = nullptr);
    ~SignalView() override;

    // Shows the view and starts polling; the lamps are counted for `product`.
    void Open(const std::string& product);
    // Called on the window's thread with every reading shown.
    void SetReadingObserver(std::function<void(const SignalReading&)> observer);
    // The time between readings (tests poll faster).
    void SetInterval(std::chrono::milliseconds interval);

    const SignalSession& Session() const { return m_session; }
    // Writes the session as CSV to `path`; false when it cannot be written.
    bool SaveCsv(const QString& path) const;
    bool Polling() const;

    // What the labels show (tests).
    QString LevelText() const;
    QString StatusText() const;
    QString PeakText() const;
    QString RegistrationLabelText() const;
    int BarsShown() const;
    int BarsLit() const;
    SignalStrip* Strip() const { return m_strip; }

public slots:
    void OnResetPeak();
    void OnSave();
    void done(int result) override;

    // Shows one event of the poll; the poller's events arrive here on the window's thread.
    // Events that arrive after the view was closed are left out.
    void ShowEvent(const SignalPollEvent& event);

private:
    void ShowReading(const SignalReading& reading);
    void ShowPeak();
    void UpdateStrip();
    void OnOverdue();

    SignalPoller m_poller;
    bool m_open = false;
    SignalSession m_session;
    std::chrono::milliseconds m_interval {1000};
    std::function<void(const SignalReading&)> m_observer;
    QPixmap m_litLamp;
    QPixmap m_unlitLamp;
    QLabel* m_level;
    QLabel* m_quality;
    QLabel* m_bars[5];
    QLabel* m_registration;
    QLabel* m_peak;
    QLabel* m_status;
    SignalStrip* m_strip;
    QPushButton* m_reset;
    QPushButton* m_save;
    QPushButton* m_close;
    // Runs out when a poll takes far longer than its two time-outs: the device went away in
    // the middle of a command and the link is waiting for it to come back.
    QTimer* m_overdue;
};

} // namespace tervane
