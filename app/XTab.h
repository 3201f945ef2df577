#pragma once

#include <QFont>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

namespace z83::app {

// The window's tab strip: a row of tab captions over a page. Each tab owns a set of controls (children
// of the strip) that are visible only while that tab is shown; nothing else changes when the tab does.
class XTab : public QWidget {
    Q_OBJECT

public:
    explicit XTab(QWidget* parent = nullptr);

    int addTab(const QString& caption);
    // The control must be a child of the strip; it is shown only with its tab.
    void addControl(int tab, QWidget* control);

    int count() const { return static_cast<int>(tabs_.size()); }
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);
    QString tabText(int index) const;
    QList<QWidget*> controls(int tab) const;
    QRect tabRect(int index) const;
    // Height of the caption row; the page lies below it.
    int captionHeight() const;

    void setActiveFont(const QFont& font);
    void setInactiveFont(const QFont& font);

signals:
    void currentChanged(int index);

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

    std::vector<Tab> tabs_;
    int current_ = -1;
    QFont activeFont_;
    QFont inactiveFont_;
};

} // namespace z83::app
