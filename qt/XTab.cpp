#include "qt/XTab.h"

#include "qt/LayoutStyle.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace z83::qt {

XTab::XTab(const ui::layout::TabStripLook& look, QWidget* parent)
    : QWidget(parent), look_(look), activeFont_(toQFont(look.activeFont)),
      inactiveFont_(toQFont(look.inactiveFont)) {
    setFocusPolicy(Qt::StrongFocus);
    for (std::string_view caption : look.captions)
        tabs_.push_back(Tab{QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())), {}});
    // No current tab is set, so the first one shows.
    current_ = 0;
}

void XTab::addControl(int tab, QWidget* control) {
    if (tab < 0 || tab >= count() || control == nullptr)
        return;
    tabs_[static_cast<std::size_t>(tab)].controls.append(control);
    control->setVisible(tab == current_);
}

void XTab::setCurrentIndex(int index) {
    if (index < 0 || index >= count() || index == current_)
        return;
    current_ = index;
    showControlsOfCurrent();
    update();
}

int XTab::captionHeight() const {
    return ui::twipsToPixels(look_.captionHeight, logicalDpiY());
}

QRect XTab::tabRect(int index) const {
    if (index < 0 || index >= count())
        return {};
    // Widths follow the active font so a tab does not change size when it is picked.
    const QFontMetrics metrics(activeFont_);
    const int padding = ui::twipsToPixels(look_.captionPadding, logicalDpiY());
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += metrics.horizontalAdvance(tabs_[static_cast<std::size_t>(i)].caption) + 2 * padding;
    const int width = metrics.horizontalAdvance(tabs_[static_cast<std::size_t>(index)].caption) + 2 * padding;
    return QRect(left, 0, width, captionHeight());
}

void XTab::showControlsOfCurrent() {
    for (int tab = 0; tab < count(); ++tab)
        for (const auto& control : tabs_[static_cast<std::size_t>(tab)].controls)
            if (control)
                control->setVisible(tab == current_);
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

    for (int i = 0; i < count(); ++i) {
        const QRect tab = tabRect(i);
        const bool active = i == current_;
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
        painter.drawText(tab, Qt::AlignCenter, tabs_[static_cast<std::size_t>(i)].caption);
        if (active && hasFocus()) {
            painter.setPen(QPen(activeText, 1, Qt::DotLine));
            painter.drawRect(tab.adjusted(3, 3, -4, -4));
        }
    }
}

void XTab::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    for (int i = 0; i < count(); ++i) {
        if (tabRect(i).contains(event->position().toPoint())) {
            setCurrentIndex(i);
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void XTab::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        setCurrentIndex(current_ - 1);
        break;
    case Qt::Key_Right:
        setCurrentIndex(current_ + 1);
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
