#include "qt/RoundedPanel.h"

#include <QPainter>

#include <algorithm>

namespace z83::qt {

RoundedPanel::RoundedPanel(const QColor& fill, QWidget* parent) : QWidget(parent), fill_(fill) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void RoundedPanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill_);
    const qreal radius = std::min(width(), height()) / 6.0;
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
}

} // namespace z83::qt
