#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "panel/cell_rule.h"

namespace dalmora {
namespace {

constexpr int B = glyph::kBlank;
constexpr int M = glyph::kMinus;
constexpr int M1 = glyph::kMinusOne;
constexpr int Z = glyph::kZero;

constexpr std::uint16_t word(int value) { return static_cast<std::uint16_t>(value); }

struct CellCase {
    const char* name;
    std::uint16_t raw;
    std::int32_t dp;
    std::array<int, 4> cells;
};

class Cells : public ::testing::TestWithParam<CellCase> {};

TEST_P(Cells, showTheValueWithLeadingZerosBlankedUpToTheUnitsDigit) {
    const CellCase& c = GetParam();
    EXPECT_EQ(cellGlyphs(c.raw, c.dp), c.cells);
}

INSTANTIATE_TEST_SUITE_P(
    Panel, Cells,
    ::testing::Values(
        // Clamping to what four cells can show.
        CellCase{"aboveRangeShows9999", 12345, 0, {9, 9, 9, 9}},
        CellCase{"just10000Shows9999", 10000, 0, {9, 9, 9, 9}},
        CellCase{"belowRangeShowsMinus1999", 0xF000, 0, {M1, 9, 9, 9}},
        CellCase{"lowest16BitShowsMinus1999", 0x8000, 2, {M1, 9, 9, 9}},
        // DP 0 and the numbers that paint like it.
        CellCase{"dp0Zero", 0, 0, {B, B, B, Z}},
        CellCase{"dp0MinusFive", word(-5), 0, {M, B, B, 5}},
        CellCase{"dp0MinusOne", 0xFFFF, 0, {M, B, B, 1}},
        CellCase{"dp0Minus123", word(-123), 0, {M, 1, 2, 3}},
        CellCase{"dp0Minus1234", word(-1234), 0, {M1, 2, 3, 4}},
        CellCase{"dp0InnerZerosStay", 105, 0, {B, 1, Z, 5}},
        CellCase{"dp0TensOnly", 40, 0, {B, B, 4, Z}},
        CellCase{"dp0FourDigits", 1050, 0, {1, Z, 5, Z}},
        CellCase{"dp7PaintsAsDp0", 5, 7, {B, B, B, 5}},
        CellCase{"dpNegativePaintsAsDp0", 5, -1, {B, B, B, 5}},
        CellCase{"dp83PaintsAsDp0", 5, 83, {B, B, B, 5}},
        // DP 1 to 3: the digit before the point always shows.
        CellCase{"dp1Five", 5, 1, {B, B, Z, 5}},
        CellCase{"dp1MinusFive", word(-5), 1, {M, B, Z, 5}},
        CellCase{"dp1TwoFifty", 250, 1, {B, 2, 5, Z}},
        CellCase{"dp1Minus1999", word(-1999), 1, {M1, 9, 9, 9}},
        CellCase{"dp2Five", 5, 2, {B, Z, Z, 5}},
        CellCase{"dp2Zero", 0, 2, {B, Z, Z, Z}},
        CellCase{"dp2MinusFifty", word(-50), 2, {M, Z, 5, Z}},
        CellCase{"dp3Five", 5, 3, {Z, Z, Z, 5}},
        CellCase{"dp3MinusFive", word(-5), 3, {M, Z, Z, 5}},
        CellCase{"dp3MinusThousands", word(-1005), 3, {M1, Z, Z, 5}},
        CellCase{"dp3Highest", 9999, 3, {9, 9, 9, 9}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DisplayValue, isTheSignedRegisterClampedAndSplit) {
    EXPECT_EQ(displayValue(0xF000), (DisplayValue{-1999, {1, 9, 9, 9}, true}));
    EXPECT_EQ(displayValue(12345), (DisplayValue{9999, {9, 9, 9, 9}, false}));
    EXPECT_EQ(displayValue(0x04D2), (DisplayValue{1234, {1, 2, 3, 4}, false}));
    EXPECT_EQ(displayValue(0xFFFB), (DisplayValue{-5, {0, 0, 0, 5}, true}));
    EXPECT_EQ(displayValue(0), (DisplayValue{0, {0, 0, 0, 0}, false}));
}

struct LampCase {
    const char* name;
    std::uint16_t status;
    LampBits bits;
    std::array<int, 4> pictures;  // A1, A2, C1, C2
};

class Lamps : public ::testing::TestWithParam<LampCase> {};

TEST_P(Lamps, lightByTheirStatusBits) {
    const LampCase& c = GetParam();
    EXPECT_EQ(lampPictures(c.status, c.bits), c.pictures);
}

INSTANTIATE_TEST_SUITE_P(
    Panel, Lamps,
    ::testing::Values(
        LampCase{"a1AndC1", 0x0005, kT3LampBits, {2, 3, 6, 7}},
        LampCase{"highBitsOnlyAllDark", 0xFFF0, kT3LampBits, {1, 3, 5, 7}},
        LampCase{"allFour", 0x000F, kT3LampBits, {2, 4, 6, 8}},
        LampCase{"c1IsBit0", 0x0001, kT3LampBits, {1, 3, 6, 7}},
        LampCase{"c2IsBit1", 0x0002, kT3LampBits, {1, 3, 5, 8}},
        LampCase{"a1IsBit2", 0x0004, kT3LampBits, {2, 3, 5, 7}},
        LampCase{"a2IsBit3", 0x0008, kT3LampBits, {1, 4, 5, 7}},
        LampCase{"otherBitTableBit0LightsA1", 0x0001, LampBits{{0, 1, 2, 3}}, {2, 3, 5, 7}},
        LampCase{"otherBitTableC1AndC2", 0x000C, LampBits{{0, 1, 2, 3}}, {1, 3, 6, 8}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dalmora
