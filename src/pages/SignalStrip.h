#pragma once

#include "SignalPoll.h"

#include <QWidget>

#include <chrono>
#include <optional>
#include <vector>

namespace tervane {

// The last minutes of a signal watch as a line of dBm over time, newest at the right. An
// unknown reading, or a stretch without readings longer than two intervals (the device
// away, the link busy with a batch), breaks the line: a gap is never drawn as a level.
// Painted here rather than with a chart library: the strip is one fixed frame (the window's
// minutes across, the modem's -113 to -51 dBm up) with gaps and a peak line, drawn in the
// palette's colours and at the screen's pixel ratio.
class SignalStrip : public QWidget {
    Q_OBJECT

public:
    explicit SignalStrip(QWidget* parent = nullptr);

    // The readings to draw, oldest first, with the end of the strip's window and its length.
    void SetReadings(std::vector<SignalSession::Entry> entries, std::chrono::system_clock::time_point end,
        std::chrono::seconds window, std::chrono::milliseconds interval, std::optional<int32_t> peakQuality);

    // The runs of known readings the line is drawn in, as counts of points (tests).
    std::vector<int> Runs() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<SignalSession::Entry> m_entries;
    std::chrono::system_clock::time_point m_end;
    std::chrono::seconds m_window {300};
    std::chrono::milliseconds m_interval {1000};
    std::optional<int32_t> m_peak;
};

} // namespace tervane
