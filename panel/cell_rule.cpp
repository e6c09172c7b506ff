#include "panel/cell_rule.h"

#include <algorithm>

namespace dalmora {

DisplayValue displayValue(std::uint16_t raw) noexcept {
    DisplayValue value;
    value.shown = std::clamp(static_cast<int>(static_cast<std::int16_t>(raw)), kLowestShown,
                             kHighestShown);
    value.negative = value.shown < 0;
    int magnitude = value.negative ? -value.shown : value.shown;
    for (int i = 3; i >= 0; --i) {
        value.digits[static_cast<std::size_t>(i)] = magnitude % 10;
        magnitude /= 10;
    }
    return value;
}

std::array<int, 4> cellGlyphs(std::uint16_t raw, std::int32_t dp) noexcept {
    const DisplayValue value = displayValue(raw);
    const int decimals = panelDp(dp);
    std::array<int, 4> cells{};
    for (std::size_t i = 0; i < 4; ++i) {
        cells[i] = digitGlyph(value.digits[i]);
    }
    // Blank the leading zeros of cells 1 to 3, but never the units digit (cell 4 - decimals)
    // nor anything after it: "0.5" keeps its 0, "0.005" keeps all three.
    const std::size_t unitsCell = 3 - static_cast<std::size_t>(decimals);
    for (std::size_t i = 0; i < unitsCell && value.digits[i] == 0; ++i) {
        cells[i] = glyph::kBlank;
    }
    // The sign always takes cell 1; a thousands digit there can only be 1 (shown >= -1999),
    // which the minus-one glyph carries.
    if (value.negative) {
        cells[0] = value.digits[0] == 0 ? glyph::kMinus : glyph::kMinusOne;
    }
    return cells;
}

std::array<int, 4> lampPictures(std::uint16_t status, const LampBits& bits) noexcept {
    std::array<int, 4> pictures{};
    for (std::size_t lamp = 0; lamp < 4; ++lamp) {
        const int bit = bits.bit[lamp];
        const bool lit = bit >= 0 && bit < 16 && ((status >> bit) & 1U) != 0;
        pictures[lamp] = 2 * static_cast<int>(lamp) + (lit ? 2 : 1);
    }
    return pictures;
}

}  // namespace dalmora
