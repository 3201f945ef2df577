#pragma once

#include <QColor>
#include <QWidget>

namespace z83::qt {

// A filled rounded rectangle without outline, drawn behind other controls as a panel. It takes no
// focus and lets mouse clicks through to nothing: it is decoration only.
class RoundedPanel : public QWidget {
public:
    RoundedPanel(const QColor& fill, QWidget* parent = nullptr);

    QColor fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
};

} // namespace z83::qt
