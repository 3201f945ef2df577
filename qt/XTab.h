#pragma once

#include "ui/MainFrmLayout.h"

#include <QFont>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

namespace z83::qt {

// The window's tab strip: a row of tab captions over a page. Each tab owns a set of controls (children
// of the strip) that are visible only while that tab is shown; nothing else changes when the tab does.
class XTab : public QWidget {
    Q_OBJECT

public:
    XTab(const ui::layout::TabStripLook& look, QWidget* parent);

    // The control must be a child of the strip; it is shown only with its tab.
    void addControl(int tab, QWidget* control);

    int count() const { return static_cast<int>(tabs_.size()); }
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);
    QRect tabRect(int index) const;
    // Height of the caption row; the page lies below it.
    int captionHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Tab {
        QString caption;
        QList<QPointer<QWidget>> controls;
    };

    void showControlsOfCurrent();

    const ui::layout::TabStripLook& look_;
    std::vector<Tab> tabs_;
    int current_ = -1;
    QFont activeFont_;
    QFont inactiveFont_;
};

} // namespace z83::qt
