#pragma once

#include <QPoint>
#include <QWidget>

namespace dalmora {

class SvgTileCanvas;

// One tile of the main window (`Pic_Control(index)`): shows what the canvas keeps for its slot
// and reports the mouse in tile units (0..1000 across and down, whatever the tile's size).
// It draws nothing itself: the main window and the panel painting draw through the canvas.
class TileWidget final : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int index READ index CONSTANT)

public:
    TileWidget(SvgTileCanvas& canvas, int index, QWidget* parent = nullptr);

    [[nodiscard]] int index() const { return index_; }

Q_SIGNALS:
    void tileMouseMoved(int index, QPoint tileUnits);
    void tileMousePressed(int index, Qt::MouseButton button, QPoint tileUnits);
    void tileDoubleClicked(int index, QPoint tileUnits);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] QPoint unitsOf(QPointF pixels) const;

    SvgTileCanvas& canvas_;
    int index_;
};

}  // namespace dalmora
