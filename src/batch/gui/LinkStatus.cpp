#include "LinkStatus.h"

#include "SerialLink.h"

#include <QMetaObject>

namespace tervane {

LinkStatus::LinkStatus(SerialLink& link, QObject* parent)
    : QObject(parent)
    , m_link(link)
{
    m_link.SetWatcher(this);
}

LinkStatus::~LinkStatus()
{
    m_link.SetWatcher(nullptr);
}

QString LinkStatus::PortName() const
{
    return QString::fromStdString(m_link.PortName());
}

void LinkStatus::SetConnected(bool connected)
{
    m_reportedState = static_cast<int>(connected ? State::Connected : State::NotConnected);
    TakeReport();
}

void LinkStatus::WaitingForDevice(uint32_t msLeft)
{
    m_reportedMsLeft = msLeft;
    m_reportedState = static_cast<int>(State::Waiting);
    Report();
}

void LinkStatus::DeviceBack()
{
    m_reportedState = static_cast<int>(State::Connected);
    Report();
}

void LinkStatus::DeviceNotConnected()
{
    m_reportedState = static_cast<int>(State::NotConnected);
    Report();
}

void LinkStatus::DeviceAnswered()
{
    m_reportedAnswer = true;
    m_reportedState = static_cast<int>(State::Connected);
    Report();
}

void LinkStatus::Report()
{
    // A large upload answers thousands of times: while one call is on its way, the news
    // waits in the atomics for it.
    if (!m_reportPending.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { TakeReport(); }, Qt::QueuedConnection);
}

void LinkStatus::TakeReport()
{
    m_reportPending = false;
    const auto state = static_cast<State>(m_reportedState.load());
    const uint32_t msLeft = m_reportedMsLeft.load();
    const bool answered = m_reportedAnswer.exchange(false);
    const int secondsLeft = state == State::Waiting ? static_cast<int>((msLeft + 999) / 1000) : 0;
    if (answered)
        m_lastAnswer = QDateTime::currentDateTime();
    if (!answered && state == m_state && secondsLeft == m_secondsLeft)
        return;
    m_state = state;
    m_secondsLeft = secondsLeft;
    emit Changed();
}

} // namespace tervane
