#include "panel/qt/cursor_file.h"

#include <QFile>
#include <QPixmap>

#include <cstdint>
#include <span>

#include "link/bytes.h"

namespace dalmora {

namespace {

int wordAt(std::span<const std::uint8_t> bytes, std::size_t index) {
    return byteAt(bytes, index) | (byteAt(bytes, index + 1) << 8);
}

}  // namespace

std::optional<QCursor> loadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                              static_cast<std::size_t>(data.size()));
    try {
        // Header: reserved 0, type 2 (cursor), image count; then the first image's entry with
        // its hot spot at bytes 10 and 12.
        if (wordAt(bytes, 0) != 0 || wordAt(bytes, 2) != 2 || wordAt(bytes, 4) < 1) {
            return std::nullopt;
        }
        const int hotX = wordAt(bytes, 10);
        const int hotY = wordAt(bytes, 12);
        QPixmap picture;
        if (!picture.loadFromData(data, "CUR") || picture.isNull()) {
            return std::nullopt;
        }
        return QCursor(picture, hotX, hotY);
    } catch (const Error&) {
        return std::nullopt;  // a file too short for its header
    }
}

}  // namespace dalmora
