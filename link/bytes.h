#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/error.h"

namespace dalmora {

using Bytes = std::vector<std::uint8_t>;

// Every byte that came from the line or a file is read through these: a byte that is not there
// is error 9, never a read past the end.
[[nodiscard]] inline std::uint8_t byteAt(std::span<const std::uint8_t> bytes, std::size_t index) {
    if (index >= bytes.size()) {
        throw Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
    }
    return bytes[index];
}

// Register k of an answer to a read: big-endian in bytes 3 + 2k and 4 + 2k.
[[nodiscard]] inline std::uint16_t registerAt(std::span<const std::uint8_t> answer, std::size_t k) {
    const std::uint8_t high = byteAt(answer, 3 + 2 * k);
    const std::uint8_t low = byteAt(answer, 4 + 2 * k);
    return static_cast<std::uint16_t>((high << 8) | low);
}

}  // namespace dalmora
