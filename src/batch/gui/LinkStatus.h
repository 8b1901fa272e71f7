#pragma once

#include "LinkWatcher.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>

namespace tervane {

class SerialLink;

// How the device's link stands, for the window: connected, waiting for the device to come
// back (with the time the link still waits), or not connected; and when the device last
// answered. The link reports on the worker's thread; the window's thread hears of it through
// a queued call and the Changed signal, so a window waiting in a progress dialog shows it as
// it happens.
class LinkStatus : public QObject, public LinkWatcher {
    Q_OBJECT

public:
    enum class State { Connected, Waiting, NotConnected };

    // Watches `link` for its whole life.
    explicit LinkStatus(SerialLink& link, QObject* parent = nullptr);
    ~LinkStatus() override;

    State CurrentState() const { return m_state; }
    // While waiting: the whole seconds the link still waits, rounded up.
    int SecondsLeft() const { return m_secondsLeft; }
    // When the device last ended an answer; invalid before its first.
    QDateTime LastAnswer() const { return m_lastAnswer; }
    QString PortName() const;

    // Start-up's detection: the port is open, or no device was found.
    void SetConnected(bool connected);

    // The link's reports, from any thread.
    void WaitingForDevice(uint32_t msLeft) override;
    void DeviceBack() override;
    void DeviceNotConnected() override;
    void DeviceAnswered() override;

signals:
    void Changed();

private:
    // Worker's side: one queued call at a time carries the latest news.
    void Report();
    // Window's side.
    void TakeReport();

    SerialLink& m_link;
    std::atomic<int> m_reportedState {static_cast<int>(State::Connected)};
    std::atomic<uint32_t> m_reportedMsLeft {0};
    std::atomic<bool> m_reportedAnswer {false};
    std::atomic<bool> m_reportPending {false};
    State m_state = State::Connected;
    int m_secondsLeft = 0;
    QDateTime m_lastAnswer;
};

} // namespace tervane
