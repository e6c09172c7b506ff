#include "panel/qt/tile_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "panel/qt/svg_tile_canvas.h"

namespace dalmora {

TileWidget::TileWidget(SvgTileCanvas& canvas, int index, QWidget* parent)
    : QWidget(parent), canvas_(canvas), index_(index) {
    setObjectName(QStringLiteral("Pic_Control%1").arg(index));
    setMouseTracking(true);  // the pointer changes over the REC area without a button held
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&canvas_, &SvgTileCanvas::tileChanged, this, [this](int slot) {
        if (slot == index_) {
            update();
        }
    });
}

void TileWidget::paintEvent(QPaintEvent*) {
    // A move to a screen with another pixel ratio re-renders the kept drawing sharply.
    canvas_.setTileSize(index_, size(), devicePixelRatioF());
    QPainter painter(this);
    const QImage& image = canvas_.tileImage(index_);
    if (image.isNull()) {
        painter.fillRect(rect(), canvas_.background());
        return;
    }
    painter.drawImage(QRectF(rect()), image);
}

void TileWidget::resizeEvent(QResizeEvent*) { canvas_.setTileSize(index_, size(), devicePixelRatioF()); }

QPoint TileWidget::unitsOf(QPointF pixels) const { return SvgTileCanvas::toTileUnits(pixels, QSizeF(size())); }

void TileWidget::mouseMoveEvent(QMouseEvent* event) { Q_EMIT tileMouseMoved(index_, unitsOf(event->position())); }

void TileWidget::mousePressEvent(QMouseEvent* event) {
    Q_EMIT tileMousePressed(index_, event->button(), unitsOf(event->position()));
}

void TileWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    Q_EMIT tileDoubleClicked(index_, unitsOf(event->position()));
}

}  // namespace dalmora
