#include "SignalStrip.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tervane {

namespace {

constexpr int kLowestDbm = -113;
constexpr int kHighestDbm = -51;

} // namespace

SignalStrip::SignalStrip(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("signalStrip"));
    setAccessibleName(tr("Signal over the last five minutes"));
    setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SignalStrip::SetReadings(std::vector<SignalSession::Entry> entries, std::chrono::system_clock::time_point end,
    std::chrono::seconds window, std::chrono::milliseconds interval, std::optional<int32_t> peakQuality)
{
    m_entries = std::move(entries);
    m_end = end;
    m_window = window.count() > 0 ? window : std::chrono::seconds(1);
    m_interval = interval.count() > 0 ? interval : std::chrono::milliseconds(1);
    m_peak = peakQuality;
    int known = 0;
    for (const auto& entry : m_entries)
        known += entry.reading.known ? 1 : 0;
    setAccessibleDescription(tr("%1 readings, %2 of them unknown").arg(m_entries.size()).arg(m_entries.size() - known));
    update();
}

std::vector<int> SignalStrip::Runs() const
{
    std::vector<int> runs;
    int run = 0;
    std::optional<std::chrono::system_clock::time_point> previous;
    for (const auto& entry : m_entries) {
        const bool joined = previous && entry.time - *previous <= 2 * m_interval;
        if (!entry.reading.known || !joined) {
            if (run > 0)
                runs.push_back(run);
            run = 0;
        }
        if (entry.reading.known) {
            ++run;
            previous = entry.time;
        } else {
            previous.reset();
        }
    }
    if (run > 0)
        runs.push_back(run);
    return runs;
}

QSize SignalStrip::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QLatin1Char('0')) * 40, metrics.lineSpacing() * 7};
}

QSize SignalStrip::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QLatin1Char('0')) * 64, metrics.lineSpacing() * 11};
}

void SignalStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));

    const QFontMetrics metrics = fontMetrics();
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("-113 dBm")) + metrics.averageCharWidth();
    const QRectF plot = QRectF(rect()).adjusted(labelWidth, metrics.height() / 2.0, -metrics.averageCharWidth(),
        -metrics.height() * 1.5);
    if (plot.width() <= 1 || plot.height() <= 1)
        return;
    const auto yOf = [&](double dbm) {
        return plot.bottom() - (dbm - kLowestDbm) / double(kHighestDbm - kLowestDbm) * plot.height();
    };
    const auto xOf = [&](std::chrono::system_clock::time_point time) {
        const double ago = std::chrono::duration<double>(m_end - time).count();
        return plot.right() - ago / double(m_window.count()) * plot.width();
    };

    // The frame, dBm lines every 20 dB and the minutes.
    QColor grid = colours.color(QPalette::Text);
    grid.setAlphaF(0.25);
    painter.setPen(QPen(grid, 1));
    painter.drawRect(plot);
    painter.setPen(colours.color(QPalette::Text));
    for (int dbm = -110; dbm <= -50; dbm += 20) {
        const double y = yOf(dbm);
        painter.setPen(QPen(grid, 1, Qt::DotLine));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, labelWidth - metrics.averageCharWidth() / 2.0,
                             metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter, tr("%1 dBm").arg(dbm));
    }
    const long long minutes = m_window.count() / 60;
    for (long long m = 0; m <= minutes && minutes > 0; ++m) {
        const double x = plot.right() - double(m * 60) / double(m_window.count()) * plot.width();
        painter.setPen(QPen(grid, 1, Qt::DotLine));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(colours.color(QPalette::Text));
        const QString label = m == 0 ? tr("now") : tr("-%1 min").arg(m);
        const double width = metrics.horizontalAdvance(label);
        painter.drawText(QPointF(std::clamp(x - width / 2, plot.left(), plot.right() - width),
                             plot.bottom() + metrics.ascent() + 2),
            label);
    }

    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    if (m_peak) {
        QColor peak = colours.color(QPalette::Highlight);
        painter.setPen(QPen(peak, 1, Qt::DashLine));
        const double y = yOf(2.0 * *m_peak - 113);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }

    // The readings: runs of known ones joined, each lone reading a dot.
    const QColor line = colours.color(QPalette::Highlight);
    const qreal width = std::max<qreal>(2.0, metrics.height() / 8.0);
    painter.setPen(QPen(line, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    // While a run of known readings is open, `previous` is the time of its last one.
    bool open = false;
    std::chrono::system_clock::time_point previous {};
    for (const auto& entry : m_entries) {
        if (!entry.reading.known) {
            open = false;
            continue;
        }
        const QPointF point(xOf(entry.time), yOf(static_cast<double>(entry.reading.levelDbm)));
        const bool joined = open && entry.time - previous <= 2 * m_interval;
        if (joined)
            path.lineTo(point);
        else {
            path.moveTo(point);
            path.lineTo(point);
        }
        open = true;
        previous = entry.time;
    }
    painter.drawPath(path);
}

} // namespace tervane
