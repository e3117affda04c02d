#pragma once
// A rectangle shape: an opaque fill with a one-pixel border, drawn beneath the other controls.
#include <QColor>
#include <QWidget>

namespace app {

class ShapeWidget : public QWidget {
    Q_OBJECT
public:
    ShapeWidget(QColor fill, QColor border, QWidget* parent = nullptr);
    QColor fillColor() const { return fill_; }
    QColor borderColor() const { return border_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor border_;
};

}  // namespace app
