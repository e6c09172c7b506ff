#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace dalmora {

// A mouse pointer from a Windows cursor file (.cur), with the hot spot the file gives.
// Nothing when the file is missing or is not a cursor.
[[nodiscard]] std::optional<QCursor> loadCursorFile(const QString& path);

}  // namespace dalmora
