#include "Banner.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace z83::app {

QImage drawBanner(const QSize& size) {
    QImage image(size, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Everything below is laid out on the natural size and scaled to the requested one.
    painter.scale(size.width() / qreal(kBannerSize.width()), size.height() / qreal(kBannerSize.height()));
    const qreal w = kBannerSize.width();
    const qreal h = kBannerSize.height();

    QLinearGradient band(0, 0, w, 0);
    band.setColorAt(0.0, QColor(24, 52, 92));
    band.setColorAt(0.6, QColor(44, 98, 158));
    band.setColorAt(1.0, QColor(102, 158, 224));
    painter.fillRect(QRectF(0, 0, w, h), band);

    // A faint chart grid under the trace.
    painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (qreal x = 250; x < w; x += 16)
        painter.drawLine(QPointF(x, 6), QPointF(x, h - 6));
    for (qreal y = 11; y < h; y += 12)
        painter.drawLine(QPointF(250, y), QPointF(w - 6, y));

    // The handheld: a body, a display with a reading, and two keys.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(232, 236, 242));
    painter.drawRoundedRect(QRectF(16, 8, 34, 55), 6, 6);
    painter.setBrush(QColor(40, 60, 80));
    painter.drawRoundedRect(QRectF(21, 14, 24, 16), 2, 2);
    painter.setBrush(QColor(120, 220, 160));
    painter.drawRect(QRectF(24, 20, 18, 4));
    painter.setBrush(QColor(102, 158, 224));
    painter.drawEllipse(QRectF(22, 38, 9, 9));
    painter.drawEllipse(QRectF(35, 38, 9, 9));
    painter.setBrush(QColor(180, 188, 200));
    painter.drawRect(QRectF(24, 52, 18, 4));

    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(24);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(64, 8, 190, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Z83-PM-VX"));
    QFont subtitle(QStringLiteral("Arial"));
    subtitle.setPixelSize(14);
    painter.setFont(subtitle);
    painter.setPen(QColor(210, 226, 246));
    painter.drawText(QRectF(64, 38, 190, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Event log extraction"));

    // A recorded event: quiet, a sharp peak, a slow decay back to quiet.
    QPainterPath trace;
    trace.moveTo(256, 52);
    const qreal points[][2] = {{300, 51}, {318, 53}, {332, 50}, {344, 14}, {352, 30}, {366, 38},
                               {384, 44}, {408, 48}, {440, 50}, {470, 52}, {500, 51}};
    for (const auto& p : points)
        trace.lineTo(p[0], p[1]);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(trace);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 210, 90));
    painter.drawEllipse(QPointF(344, 14), 3.5, 3.5);
    return image;
}

} // namespace z83::app
