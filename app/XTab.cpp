#include "XTab.h"

#include "Twips.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace z83::app {

namespace {

const QColor kActiveBack(255, 255, 255);
const QColor kActiveText(64, 64, 64);
const QColor kInactiveBack(227, 227, 227); // the light edge of raised elements
const QColor kInactiveText(109, 109, 109); // greyed text
const QColor kEdge(192, 192, 192);

constexpr int kCaptionHeightTwips = 330;
constexpr int kCaptionPaddingTwips = 180;

} // namespace

XTab::XTab(QWidget* parent) : QWidget(parent), activeFont_(font()), inactiveFont_(font()) {
    setObjectName(QStringLiteral("XTab"));
    setFocusPolicy(Qt::StrongFocus);
}

int XTab::addTab(const QString& caption) {
    tabs_.push_back(Tab{caption, {}});
    if (current_ < 0)
        current_ = 0;
    update();
    return count() - 1;
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
    emit currentChanged(current_);
}

QString XTab::tabText(int index) const {
    return index >= 0 && index < count() ? tabs_[static_cast<std::size_t>(index)].caption : QString();
}

QList<QWidget*> XTab::controls(int tab) const {
    QList<QWidget*> result;
    if (tab < 0 || tab >= count())
        return result;
    for (const auto& control : tabs_[static_cast<std::size_t>(tab)].controls)
        if (control)
            result.append(control.data());
    return result;
}

int XTab::captionHeight() const {
    return twipsToPixels(kCaptionHeightTwips, logicalDpiY());
}

QRect XTab::tabRect(int index) const {
    if (index < 0 || index >= count())
        return {};
    // Widths follow the active font so a tab does not change size when it is picked.
    const QFontMetrics metrics(activeFont_);
    const int padding = twipsToPixels(kCaptionPaddingTwips, logicalDpiY());
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += metrics.horizontalAdvance(tabs_[static_cast<std::size_t>(i)].caption) + 2 * padding;
    const int width = metrics.horizontalAdvance(tabs_[static_cast<std::size_t>(index)].caption) + 2 * padding;
    return QRect(left, 0, width, captionHeight());
}

void XTab::setActiveFont(const QFont& font) {
    activeFont_ = font;
    update();
}

void XTab::setInactiveFont(const QFont& font) {
    inactiveFont_ = font;
    update();
}

void XTab::showControlsOfCurrent() {
    for (int tab = 0; tab < count(); ++tab)
        for (const auto& control : tabs_[static_cast<std::size_t>(tab)].controls)
            if (control)
                control->setVisible(tab == current_);
}

void XTab::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const int top = captionHeight();
    const QRect page(0, top - 1, width(), height() - top + 1);

    painter.fillRect(QRect(0, 0, width(), top), kInactiveBack);
    painter.fillRect(page, kActiveBack);
    painter.setPen(kEdge);
    painter.drawRect(page.adjusted(0, 0, -1, -1));

    for (int i = 0; i < count(); ++i) {
        const QRect tab = tabRect(i);
        const bool active = i == current_;
        painter.fillRect(tab, active ? kActiveBack : kInactiveBack);
        painter.setPen(kEdge);
        painter.drawLine(tab.topLeft(), tab.bottomLeft());
        painter.drawLine(tab.topLeft(), tab.topRight());
        painter.drawLine(tab.topRight(), tab.bottomRight());
        if (active) {
            // The active tab opens into the page.
            painter.setPen(kActiveBack);
            painter.drawLine(tab.left() + 1, tab.bottom(), tab.right() - 1, tab.bottom());
        }
        painter.setFont(active ? activeFont_ : inactiveFont_);
        painter.setPen(active ? kActiveText : kInactiveText);
        painter.drawText(tab, Qt::AlignCenter, tabs_[static_cast<std::size_t>(i)].caption);
        if (active && hasFocus()) {
            painter.setPen(QPen(kActiveText, 1, Qt::DotLine));
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

} // namespace z83::app
