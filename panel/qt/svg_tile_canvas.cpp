#include "panel/qt/svg_tile_canvas.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

#include "link/error.h"
#include "panel/qt/pictures.h"

namespace dalmora {

namespace {

// The number a picture list gives for a picture it does not have.
constexpr int kIndexOutOfBounds = 35600;

bool contains(const TileRect& outer, const TileRect& inner) {
    return inner.left >= outer.left && inner.top >= outer.top &&
           inner.left + inner.width <= outer.left + outer.width &&
           inner.top + inner.height <= outer.top + outer.height;
}

}  // namespace

SvgTileCanvas::SvgTileCanvas(QObject* parent)
    : QObject(parent),
      background_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                      ? QGuiApplication::palette().color(QPalette::Window)
                      : QColor(Qt::lightGray)) {
    loadPictureResources();
}

SvgTileCanvas::~SvgTileCanvas() = default;

SvgTileCanvas::Tile& SvgTileCanvas::tileAt(int slot) {
    if (slot < 0 || slot >= kTileCount) {
        throw Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
    }
    return tiles_[static_cast<std::size_t>(slot)];
}

const SvgTileCanvas::Tile& SvgTileCanvas::tileAt(int slot) const {
    if (slot < 0 || slot >= kTileCount) {
        throw Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
    }
    return tiles_[static_cast<std::size_t>(slot)];
}

QSvgRenderer& SvgTileCanvas::rendererFor(PictureSet set, int picture) {
    const QString path = pictureFor(set, picture);
    if (path.isEmpty()) {
        throw Error(kIndexOutOfBounds, "Index out of bounds");
    }
    auto found = renderers_.find(path);
    if (found == renderers_.end()) {
        found = renderers_.emplace(path, std::make_unique<QSvgRenderer>(path)).first;
    }
    return *found->second;
}

void SvgTileCanvas::draw(int slot, const DrawCommand& command) {
    Tile& tile = tileAt(slot);
    (void)rendererFor(command.set, command.picture);  // an unknown picture changes nothing

    // What the new picture hides for good no longer needs to be kept. A dot hides nothing but
    // the dot it replaces at the same place.
    std::erase_if(tile.kept, [&](const DrawCommand& earlier) {
        return pictureIsOpaque(command.set) ? contains(command.rect, earlier.rect)
                                            : earlier.set == command.set && earlier.rect == command.rect;
    });
    tile.kept.push_back(command);

    if (!tile.stale && !tile.image.isNull()) {
        paint(tile.image, QSizeF(tile.size), command);
    }
    Q_EMIT tileChanged(slot);
}

void SvgTileCanvas::clear(int slot) {
    Tile& tile = tileAt(slot);
    tile.kept.clear();
    if (!tile.stale && !tile.image.isNull()) {
        tile.image.fill(background_);
    }
    Q_EMIT tileChanged(slot);
}

void SvgTileCanvas::setTileSize(int slot, QSize pixels, qreal devicePixelRatio) {
    Tile& tile = tileAt(slot);
    if (devicePixelRatio <= 0) {
        devicePixelRatio = 1.0;
    }
    if (tile.size == pixels && tile.ratio == devicePixelRatio) {
        return;
    }
    tile.size = pixels;
    tile.ratio = devicePixelRatio;
    tile.stale = true;
    tile.image = QImage();
    Q_EMIT tileChanged(slot);
}

QSize SvgTileCanvas::tileSize(int slot) const { return tileAt(slot).size; }

void SvgTileCanvas::setBackground(const QColor& colour) {
    background_ = colour;
    for (int slot = 0; slot < kTileCount; ++slot) {
        tiles_[static_cast<std::size_t>(slot)].stale = true;
        Q_EMIT tileChanged(slot);
    }
}

const QImage& SvgTileCanvas::tileImage(int slot) {
    Tile& tile = tileAt(slot);
    if (tile.stale) {
        tile.image = tile.size.isEmpty() ? QImage() : render(tile, tile.size, tile.ratio);
        tile.stale = false;
    }
    return tile.image;
}

QImage SvgTileCanvas::renderTile(int slot, QSize pixels) {
    return render(tileAt(slot), pixels, 1.0);
}

const std::vector<DrawCommand>& SvgTileCanvas::keptDrawing(int slot) const { return tileAt(slot).kept; }

QImage SvgTileCanvas::render(const Tile& tile, QSize pixels, qreal ratio) {
    if (pixels.isEmpty()) {
        return {};
    }
    const QSize device(static_cast<int>(std::ceil(pixels.width() * ratio)),
                       static_cast<int>(std::ceil(pixels.height() * ratio)));
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(background_);
    for (const DrawCommand& command : tile.kept) {
        paint(image, QSizeF(pixels), command);
    }
    return image;
}

void SvgTileCanvas::paint(QImage& image, QSizeF tile, const DrawCommand& command) {
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    rendererFor(command.set, command.picture).render(&painter, toPixels(command.rect, tile));
}

QRectF SvgTileCanvas::toPixels(const TileRect& rect, QSizeF tile) {
    const qreal sx = tile.width() / kUnits;
    const qreal sy = tile.height() / kUnits;
    return {rect.left * sx, rect.top * sy, rect.width * sx, rect.height * sy};
}

QPoint SvgTileCanvas::toTileUnits(QPointF pixels, QSizeF tile) {
    if (tile.isEmpty()) {
        return {};
    }
    return {static_cast<int>(std::floor(pixels.x() * kUnits / tile.width())),
            static_cast<int>(std::floor(pixels.y() * kUnits / tile.height()))};
}

}  // namespace dalmora
