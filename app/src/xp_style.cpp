#include "app/xp_style.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <dlfcn.h>

namespace app {

XPStyle::XPStyle(QWidget* parent, const char* library) : QWidget(parent) {
    // The size constraints pin the control even while hidden (no resize event arrives then);
    // UserControl_Resize pins it again should a container get past them.
    setFixedSize(kSidePixels, kSidePixels);
    UserControl_Initialize(library);
}

XPStyle::~XPStyle() { UserControl_Terminate(); }

void XPStyle::UserControl_Initialize(const char* library) {
    // The style for the widget classes this control draws with is set up before first paint.
    QApplication::style();
    ensurePolished();
    // One load per instance; a failed load leaves a null handle that is never released.
    library_ = dlopen(library, RTLD_NOW | RTLD_LOCAL);
}

void XPStyle::UserControl_Terminate() {
    if (library_) dlclose(library_);
    library_ = nullptr;
}

void XPStyle::UserControl_Resize() {
    // Width first, then height, back to the pinned size.
    if (width() != kSidePixels) resize(kSidePixels, height());
    if (height() != kSidePixels) resize(width(), kSidePixels);
}

void XPStyle::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void XPStyle::paintEvent(QPaintEvent*) {
    // A rounded blue tile with a white tick: the mark of a themed control.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, kSidePixels);
    fill.setColorAt(0, QColor(90, 150, 230));
    fill.setColorAt(1, QColor(20, 70, 170));
    QPainterPath tile;
    tile.addRoundedRect(QRectF(1, 1, kSidePixels - 2, kSidePixels - 2), 8, 8);
    painter.fillPath(tile, fill);
    painter.setPen(QPen(QColor(10, 40, 110), 1));
    painter.drawPath(tile);
    painter.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(14, 28), QPointF(23, 37), QPointF(40, 17)}));
}

}  // namespace app
