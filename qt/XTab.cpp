#include "qt/XTab.h"

#include "qt/LayoutStyle.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace z83::qt {

namespace {

QString text(std::string_view caption) {
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

} // namespace

XTab::XTab(const ui::layout::TabStripLook& look, QWidget* parent)
    : QWidget(parent), look_(look), strip_(look), activeFont_(toQFont(look.activeFont)),
      inactiveFont_(toQFont(look.inactiveFont)) {
    setFocusPolicy(Qt::StrongFocus);
}

void XTab::addControl(int tab, QWidget* control) {
    if (strip_.add(tab, control))
        control->setVisible(strip_.shows(tab));
}

void XTab::setCurrentIndex(int index) {
    if (strip_.choose(index))
        showCurrent();
}

void XTab::showCurrent() {
    strip_.showControls([](const QPointer<QWidget>& control, bool visible) {
        if (control)
            control->setVisible(visible);
    });
    update();
}

int XTab::captionHeight() const {
    return ui::twipsToPixels(look_.captionHeight, logicalDpiY());
}

int XTab::captionPadding() const {
    return ui::twipsToPixels(look_.captionPadding, logicalDpiY());
}

int XTab::textWidth(std::string_view caption) const {
    return QFontMetrics(activeFont_).horizontalAdvance(text(caption));
}

QRect XTab::tabRect(int index) const {
    const ui::PixelRect place =
        strip_.captionRect(index, captionPadding(), captionHeight(),
                           [this](std::string_view caption) { return textWidth(caption); });
    return {place.left, place.top, place.width, place.height}; // no such tab: QRect(), empty
}

void XTab::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const ui::layout::TabStripColours colours = ui::layout::tabStripColours(look_, systemColours(palette()));
    const QColor activeBack = toQColor(colours.activeBack), inactiveBack = toQColor(colours.inactiveBack);
    const QColor activeText = toQColor(colours.activeText), inactiveText = toQColor(colours.inactiveText);
    const QColor edge = toQColor(colours.edge);
    const int top = captionHeight();
    const QRect page(0, top - 1, width(), height() - top + 1);

    painter.fillRect(QRect(0, 0, width(), top), toQColor(colours.stripBack));
    painter.fillRect(page, activeBack);
    painter.setPen(edge);
    painter.drawRect(page.adjusted(0, 0, -1, -1));

    for (int i = 0; i < strip_.count(); ++i) {
        const QRect tab = tabRect(i);
        const bool active = strip_.shows(i);
        painter.fillRect(tab, active ? activeBack : inactiveBack);
        painter.setPen(edge);
        painter.drawLine(tab.topLeft(), tab.bottomLeft());
        painter.drawLine(tab.topLeft(), tab.topRight());
        painter.drawLine(tab.topRight(), tab.bottomRight());
        if (active) {
            // The active tab opens into the page.
            painter.setPen(activeBack);
            painter.drawLine(tab.left() + 1, tab.bottom(), tab.right() - 1, tab.bottom());
        }
        painter.setFont(active ? activeFont_ : inactiveFont_);
        painter.setPen(active ? activeText : inactiveText);
        painter.drawText(tab, Qt::AlignCenter, text(strip_.caption(i)));
        if (active && hasFocus()) {
            painter.setPen(QPen(activeText, 1, Qt::DotLine));
            painter.drawRect(tab.adjusted(3, 3, -4, -4));
        }
    }
}

void XTab::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int tab = strip_.tabAt(at.x(), at.y(), captionPadding(), captionHeight(),
                                 [this](std::string_view caption) { return textWidth(caption); });
    if (event->button() == Qt::LeftButton && tab >= 0)
        setCurrentIndex(tab);
    else
        QWidget::mousePressEvent(event);
}

void XTab::keyPressEvent(QKeyEvent* event) {
    using Arrow = ui::TabStrip<QPointer<QWidget>>::Arrow;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (strip_.step(event->key() == Qt::Key_Left ? Arrow::Left : Arrow::Right))
            showCurrent();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void XTab::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void XTab::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

} // namespace z83::qt
