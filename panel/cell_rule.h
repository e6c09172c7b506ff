#pragma once

#include <array>
#include <cstdint>

namespace dalmora {

// Glyph indexes of the red and green seven-segment sets: digits 1 to 9 are 1 to 9.
namespace glyph {
inline constexpr int kZero = 10;
inline constexpr int kMinus = 11;
inline constexpr int kMinusOne = 12;  // minus sign and digit 1 in one cell
inline constexpr int kBlank = 13;
}  // namespace glyph

// The four cells show -1999 to 9999; a register value outside is pinned to the nearer end.
inline constexpr int kLowestShown = -1999;
inline constexpr int kHighestShown = 9999;

// A register value as the four cells show it.
struct DisplayValue {
    int shown = 0;                  // the signed register value clamped to -1999..9999
    std::array<int, 4> digits{};    // d3, d2, d1, d0 of |shown|, thousands first
    bool negative = false;
    friend bool operator==(const DisplayValue&, const DisplayValue&) = default;
};

// The register's two bytes as a signed 16-bit number, clamped and split into digits.
[[nodiscard]] DisplayValue displayValue(std::uint16_t raw) noexcept;

// Glyph of one digit 0 to 9 (0 has its own glyph after the 9).
[[nodiscard]] constexpr int digitGlyph(int digit) noexcept {
    return digit == 0 ? glyph::kZero : digit;
}

// The decimal-point setting as the panel uses it: 1, 2 or 3 digits after the point, anything
// else none.
[[nodiscard]] constexpr int panelDp(std::int32_t dp) noexcept {
    return (dp >= 1 && dp <= 3) ? static_cast<int>(dp) : 0;
}

// The glyphs of cells 1 to 4 (left to right) for a register value and a decimal-point setting.
// Leading zeros are blank up to the digit just before the point; the sign takes cell 1.
[[nodiscard]] std::array<int, 4> cellGlyphs(std::uint16_t raw, std::int32_t dp) noexcept;

// Which bit of the status word lights each lamp, in the order A1, A2, C1, C2.
struct LampBits {
    std::array<int, 4> bit;
};

// T3, N5 and ZC37: A1 bit 2, A2 bit 3, C1 bit 0, C2 bit 1.
inline constexpr LampBits kT3LampBits{{2, 3, 0, 1}};

// The lamp pictures of A1, A2, C1, C2 for a status word: lamp n (0-based) is picture 2n + 2 when
// its bit is set and 2n + 1 when it is clear. Bits no lamp uses are ignored.
[[nodiscard]] std::array<int, 4> lampPictures(std::uint16_t status,
                                              const LampBits& bits = kT3LampBits) noexcept;

}  // namespace dalmora
