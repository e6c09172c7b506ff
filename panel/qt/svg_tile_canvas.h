#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "panel/tile_canvas.h"

class QSvgRenderer;

namespace dalmora {

// The sixteen tiles as pictures kept in memory. Every tile has its own 1000 x 1000 space mapped
// onto its size in pixels; a drawn picture stays on the tile until the tile is cleared, and
// survives a change of size, after which it is drawn again sharply at the new size.
//
// A tile keeps the list of pictures that still show and an image of them at the tile's size.
// A picture that covers earlier ones completely replaces them in the list, so the list stays as
// short as the tile's layout however many polls paint it.
class SvgTileCanvas final : public QObject, public TileCanvas {
    Q_OBJECT

public:
    static constexpr int kTileCount = 16;
    static constexpr int kUnits = 1000;  // a tile's user scale, in both directions

    explicit SvgTileCanvas(QObject* parent = nullptr);
    ~SvgTileCanvas() override;

    // Draws the whole picture scaled into the rectangle. A slot outside 0..15 is error 9,
    // a picture the set does not have is error 35600; nothing is drawn then.
    void draw(int slot, const DrawCommand& command) override;
    // Wipes the tile to the background colour.
    void clear(int slot) override;

    // The tile's size on screen in device-independent pixels and the screen's pixel ratio.
    void setTileSize(int slot, QSize pixels, qreal devicePixelRatio = 1.0);
    [[nodiscard]] QSize tileSize(int slot) const;

    // The colour of a cleared tile (the window background).
    void setBackground(const QColor& colour);
    [[nodiscard]] QColor background() const { return background_; }

    // The tile as it shows at its size (a null image while the tile has no size).
    [[nodiscard]] const QImage& tileImage(int slot);
    // The tile drawn afresh at any size: for tests and previews.
    [[nodiscard]] QImage renderTile(int slot, QSize pixels);
    // The pictures the tile keeps, oldest first.
    [[nodiscard]] const std::vector<DrawCommand>& keptDrawing(int slot) const;

    // A rectangle of tile units in pixels of a tile of the given size.
    [[nodiscard]] static QRectF toPixels(const TileRect& rect, QSizeF tile);
    // A point in pixels of a tile as tile units (0..1000).
    [[nodiscard]] static QPoint toTileUnits(QPointF pixels, QSizeF tile);

Q_SIGNALS:
    // The tile's picture changed: its widget repaints.
    void tileChanged(int slot);

private:
    struct Tile {
        std::vector<DrawCommand> kept;
        QSize size;
        qreal ratio = 1.0;
        QImage image;        // valid only when not stale
        bool stale = true;
    };

    Tile& tileAt(int slot);
    const Tile& tileAt(int slot) const;
    QSvgRenderer& rendererFor(PictureSet set, int picture);
    void paint(QImage& image, QSizeF tile, const DrawCommand& command);
    QImage render(const Tile& tile, QSize pixels, qreal ratio);

    std::array<Tile, kTileCount> tiles_;
    std::map<QString, std::unique_ptr<QSvgRenderer>> renderers_;
    QColor background_;
};

}  // namespace dalmora
