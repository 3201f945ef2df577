#pragma once

#include "ui/MainFrmLayout.h"
#include "ui/TabStrip.h"

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace z83::qt {

// The window's tab strip: a row of tab captions over a page. Each tab owns a set of controls (children
// of the strip) that are visible only while that tab is shown; nothing else changes when the tab does.
class XTab : public QWidget {
    Q_OBJECT

public:
    XTab(const ui::layout::TabStripLook& look, QWidget* parent);

    // The control must be a child of the strip; it is shown only with its tab.
    void addControl(int tab, QWidget* control);
    void setCurrentIndex(int index);
    // Where the tab's caption lies; empty for no such tab.
    QRect tabRect(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Height of the caption row; the page lies below it.
    int captionHeight() const;
    int captionPadding() const;
    // A caption's width in the active font.
    int textWidth(std::string_view caption) const;
    // Shows the current tab's controls, hides the others' and repaints.
    void showCurrent();

    const ui::layout::TabStripLook& look_;
    ui::TabStrip<QPointer<QWidget>> strip_;
    QFont activeFont_;
    QFont inactiveFont_;
};

} // namespace z83::qt
