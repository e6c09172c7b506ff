#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace dalmora {

namespace detail {
constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                             : static_cast<std::uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}
inline constexpr auto kCrcTable = makeCrcTable();
}  // namespace detail

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
// On the wire it goes low byte first.
[[nodiscard]] constexpr std::uint16_t crc16(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ detail::kCrcTable[(crc ^ b) & 0xFFU]);
    }
    return crc;
}

namespace detail {
constexpr std::uint16_t crcOfText(std::string_view text) {
    std::uint16_t crc = 0xFFFF;
    for (char c : text) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^
                                         kCrcTable[(crc ^ static_cast<std::uint8_t>(c)) & 0xFFU]);
    }
    return crc;
}
static_assert(crcOfText("123456789") == 0x4B37, "CRC-16/MODBUS check value");
}  // namespace detail

}  // namespace dalmora
