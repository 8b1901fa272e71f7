#include "AppImages.h"

#include <QPainter>
#include <QRadialGradient>

// The resource file is built into a static library: its initialiser has to be called.
static void InitTervaneResources()
{
    Q_INIT_RESOURCE(tervane);
}

namespace tervane {

QIcon ApplicationIcon()
{
    InitTervaneResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tervane/icons/%1x%1/tervane-q7-dashboard.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap LampImage(bool lit)
{
    QPixmap image(16, 16);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The unlit lamp is dark and has no highlight, so lit and unlit differ in brightness
    // (over 3:1 in luminance) and in shape, not only in hue.
    const QColor body = lit ? QColor(0x22, 0xb5, 0x3c) : QColor(0x30, 0x30, 0x30);
    const QColor shade = lit ? QColor(0x0f, 0x6e, 0x22) : QColor(0x1c, 0x1c, 0x1c);

    QRadialGradient fill(QPointF(6.5, 6.0), 8.0);
    fill.setColorAt(0.0, body.lighter(115));
    fill.setColorAt(1.0, shade);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(1.5, 1.5, 13.0, 13.0));

    if (lit) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(4.5, 4.0, 4.0, 3.0));
    }
    return image;
}

} // namespace tervane
