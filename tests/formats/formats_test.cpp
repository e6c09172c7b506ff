#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/formats.h"
#include "link/bytes.h"
#include "link/error.h"

namespace dalmora {
namespace {

constexpr std::array<std::string_view, 7> kRunChoices{"OFF", "ON", "AT1", "AT2", "MAN", "PROG", "HOLD"};

// ---------------------------------------------------------------- decoding

struct DecodeCase {
    const char* name;
    Format format;
    std::vector<std::uint16_t> words;  // first register first
    std::int32_t dp;
    const char* text;
};

class DecodeText : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeText, readsAsTheMeterMeansIt) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(decodeValue(c.format, c.words, c.dp, kRunChoices), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodeText,
    ::testing::Values(
        DecodeCase{"integerAllOnesIsMinusOne", Format::Fmt_Integer, {0xFFFF}, 0, "-1"},
        DecodeCase{"integerHighest", Format::Fmt_Integer, {0x7FFF}, 0, "32767"},
        DecodeCase{"integerLowest", Format::Fmt_Integer, {0x8000}, 0, "-32768"},
        DecodeCase{"integerZero", Format::Fmt_Integer, {0x0000}, 0, "0"},
        DecodeCase{"integerIgnoresDp", Format::Fmt_Integer, {0x04D2}, 3, "1234"},
        DecodeCase{"tenths", Format::Fmt_Tenths, {0x04D2}, 0, "123.4"},
        DecodeCase{"tenthsNegativeBelowOne", Format::Fmt_Tenths, {0xFFFB}, 0, "-0.5"},
        DecodeCase{"tenthsZero", Format::Fmt_Tenths, {0x0000}, 0, "0.0"},
        DecodeCase{"tenthsLowest", Format::Fmt_Tenths, {0x8000}, 0, "-3276.8"},
        DecodeCase{"hundredths", Format::Fmt_Hundredths, {0x04D2}, 0, "12.34"},
        DecodeCase{"hundredthsKeepsInnerZero", Format::Fmt_Hundredths, {0x0005}, 0, "0.05"},
        DecodeCase{"hundredthsMinusOne", Format::Fmt_Hundredths, {0xFFFF}, 0, "-0.01"},
        DecodeCase{"dp3", Format::Fmt_DP, {0x04D2}, 3, "1.234"},
        DecodeCase{"dp2", Format::Fmt_DP, {0x04D2}, 2, "12.34"},
        DecodeCase{"dp1", Format::Fmt_DP, {0x04D2}, 1, "123.4"},
        DecodeCase{"dp0", Format::Fmt_DP, {0x04D2}, 0, "1234"},
        DecodeCase{"dp5StoredReadsInteger", Format::Fmt_DP, {0x04D2}, 5, "1234"},
        DecodeCase{"dpNegativeStoredReadsInteger", Format::Fmt_DP, {0x04D2}, -1, "1234"},
        DecodeCase{"dp3Negative", Format::Fmt_DP, {0xFFFB}, 3, "-0.005"},
        DecodeCase{"hex16", Format::Fmt_Hex16, {0x0A0B}, 0, "0A0B"},
        DecodeCase{"hex16PadsEachByte", Format::Fmt_Hex16, {0x00FF}, 0, "00FF"},
        DecodeCase{"hex16Uppercase", Format::Fmt_Hex16, {0xBEEF}, 0, "BEEF"},
        DecodeCase{"hex32SecondRegisterFirst", Format::Fmt_Hex32, {0x0A0B, 0x0C0D}, 0, "0C0D0A0B"},
        DecodeCase{"time32AllOnesIsMinusOne", Format::Fmt_Time32, {0xFFFF, 0xFFFF}, 0, "-1"},
        DecodeCase{"time32LowWordFirst", Format::Fmt_Time32, {0x3039, 0x0000}, 0, "20:34"},
        DecodeCase{"time32HighWord", Format::Fmt_Time32, {0x0000, 0x0001}, 0, "109:13"},
        DecodeCase{"time32Zero", Format::Fmt_Time32, {0x0000, 0x0000}, 0, "00:00"},
        DecodeCase{"time32OneMinute", Format::Fmt_Time32, {600, 0x0000}, 0, "01:00"},
        DecodeCase{"time32MinusTwoTruncatesToZero", Format::Fmt_Time32, {0xFFFE, 0xFFFF}, 0, "00:00"},
        DecodeCase{"time32NegativeMinutes", Format::Fmt_Time32, {0xF448, 0xFFFF}, 0, "-05:00"},
        DecodeCase{"time32RemainderTakesSign", Format::Fmt_Time32, {0xFF9C, 0xFFFF}, 0, "00:-10"},
        DecodeCase{"time32Largest", Format::Fmt_Time32, {0xFFFF, 0x7FFF}, 0, "3579139:24"},
        DecodeCase{"time32Smallest", Format::Fmt_Time32, {0x0000, 0x8000}, 0, "-3579139:-24"},
        DecodeCase{"choiceLastEntry", Format::Fmt_Choice, {6}, 0, "HOLD"},
        DecodeCase{"choicePastTheEndIsFirst", Format::Fmt_Choice, {7}, 0, "OFF"},
        DecodeCase{"choiceIsUnsigned", Format::Fmt_Choice, {0xFFFF}, 0, "OFF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChoiceIndex, selectsTheValueUpToTheHighestIndexElseTheFirst) {
    struct Row {
        std::uint16_t word;
        int highest;
        int index;
    };
    for (const Row& row : {Row{4, 3, 0}, Row{3, 3, 3}, Row{0, 3, 0}, Row{0xFFFF, 13, 0},
                           Row{1, 1, 1}, Row{0, -1, 0}, Row{1, -1, 0}}) {
        EXPECT_EQ(choiceIndex(row.word, row.highest), row.index) << row.word << " of " << row.highest;
    }
}

TEST(DecodeChoice, anEmptyListGivesAnEmptyText) {
    EXPECT_EQ(decodeValue(Format::Fmt_Choice, std::vector<std::uint16_t>{0}, 0, {}), "");
}

TEST(DecodeRegister, readsRegisterKOfAnAnswer) {
    // 01 04 08 | reg0 04 D2 | reg1 30 39 | reg2 00 00 | reg3 FF FF | CRC (not looked at)
    const Bytes answer = {0x01, 0x04, 0x08, 0x04, 0xD2, 0x30, 0x39, 0x00, 0x00,
                          0xFF, 0xFF, 0x12, 0x34};
    EXPECT_EQ(decodeRegister(Format::Fmt_DP, answer, 0, 2), "12.34");
    EXPECT_EQ(decodeRegister(Format::Fmt_Time32, answer, 1, 0), "20:34");
    EXPECT_EQ(decodeRegister(Format::Fmt_Hex32, answer, 2, 0), "FFFF0000");
    EXPECT_EQ(decodeRegister(Format::Fmt_Integer, answer, 3, 0), "-1");
}

TEST(DecodeRegister, aMissingByteIsError9) {
    const Bytes answer = {0x01, 0x04, 0x04, 0x04, 0xD2, 0x30};  // register 1 lacks its low byte
    for (const auto& [format, k] : {std::pair{Format::Fmt_Integer, std::size_t{1}},
                                    std::pair{Format::Fmt_Time32, std::size_t{0}},
                                    std::pair{Format::Fmt_Hex32, std::size_t{0}},
                                    std::pair{Format::Fmt_Hex16, std::size_t{40}}}) {
        try {
            (void)decodeRegister(format, answer, k, 0);
            ADD_FAILURE() << "no error for register " << k;
        } catch (const Error& error) {
            EXPECT_EQ(error.number(), error_number::kSubscriptOutOfRange);
            EXPECT_EQ(error.description(), "Subscript out of range");
        }
    }
}

TEST(DecodeValue, tooFewWordsForAPairIsError9) {
    const std::vector<std::uint16_t> one{0x1234};
    EXPECT_THROW((void)decodeValue(Format::Fmt_Time32, one, 0), Error);
    EXPECT_THROW((void)decodeValue(Format::Fmt_Integer, std::vector<std::uint16_t>{}, 0), Error);
}

// ---------------------------------------------------------------- the number of an edited text

struct NumberCase {
    const char* text;
    double value;
};

TEST(LeadingNumber, readsTheNumberTheTextBeginsWith) {
    const double inf = std::numeric_limits<double>::infinity();
    const NumberCase cases[] = {
        {"12.5abc", 12.5}, {"00:30", 0.0},   {"&H1F", 31.0},   {"&h1f", 31.0},
        {"&O17", 15.0},    {"&o78", 7.0},    {"&H1G", 1.0},    {"&HFFFF", 65535.0},
        {"&H", 0.0},       {"&X1", 0.0},     {"&", 0.0},       {"", 0.0},
        {"abc", 0.0},      {" 1 2 . 5 ", 12.5}, {"\t-\n7", -7.0}, {"+3", 3.0},
        {"-1.5", -1.5},    {".5", 0.5},      {"5.", 5.0},      {"1.2.3", 1.2},
        {"1e3", 1000.0},   {"1D2", 100.0},   {"2E-1", 0.2},    {"1 e 3", 1000.0},
        {"1e", 1.0},       {"1e+", 1.0},     {"e5", 0.0},      {"--5", 0.0},
        {"-", 0.0},        {".", 0.0},       {"1,5", 1.0},     {"\r12", 0.0},
        {"1e400", inf},    {"-1e400", -inf}, {"1e-400", 0.0},  {"0.25", 0.25},
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(leadingNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(RoundHalfEven, takesTheEvenNeighbourOfAHalfAndSaturates) {
    const double inf = std::numeric_limits<double>::infinity();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    const std::pair<double, std::int32_t> cases[] = {
        {2.5, 2},       {3.5, 4},        {-2.5, -2},      {-3.5, -4},   {0.5, 0},
        {-0.5, 0},      {1.5, 2},        {2.4999, 2},     {2.5001, 3},  {-2.5001, -3},
        {123.00000000000001, 123},       {1e300, kMax},   {-1e300, kMin},
        {inf, kMax},    {-inf, kMin},    {2147483646.5, 2147483646},
        {std::nan(""), 0},
    };
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(roundHalfEven(value), rounded) << value;
    }
}

// ---------------------------------------------------------------- encoding

struct EncodeCase {
    const char* name;
    Format format;
    const char* text;
    std::int32_t dp;
    std::optional<std::int32_t> value;
};

class EncodeText : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeText, givesTheWriteValue) {
    const EncodeCase& c = GetParam();
    EXPECT_EQ(encodeValue(c.format, c.text, c.dp, kRunChoices), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EncodeText,
    ::testing::Values(
        EncodeCase{"tenthsNegativeTwosComplement", Format::Fmt_Tenths, "-1.5", 0, 65521},
        EncodeCase{"dp1HalfGoesToEven", Format::Fmt_DP, "0.25", 1, 2},
        EncodeCase{"dp1", Format::Fmt_DP, "12.3", 1, 123},
        EncodeCase{"dp0", Format::Fmt_DP, "12.3", 0, 12},
        EncodeCase{"dp3", Format::Fmt_DP, "1.5", 3, 1500},
        EncodeCase{"dpOtherIsTimesOne", Format::Fmt_DP, "7", 9, 7},
        EncodeCase{"integerNegative", Format::Fmt_Integer, "-5", 0, 65531},
        EncodeCase{"integerIgnoresDp", Format::Fmt_Integer, "5", 3, 5},
        EncodeCase{"numberEndsAtColon", Format::Fmt_Integer, "00:30", 0, 0},
        EncodeCase{"trailingLetters", Format::Fmt_Tenths, "12.5abc", 0, 125},
        EncodeCase{"hexText", Format::Fmt_Integer, "&H1F", 0, 31},
        EncodeCase{"hundredths", Format::Fmt_Hundredths, "-0.01", 0, 65535},
        EncodeCase{"halfBelowZeroRoundsToZero", Format::Fmt_Integer, "-0.5", 0, 0},
        EncodeCase{"negativeHalfToEven", Format::Fmt_Integer, "-2.5", 0, 65534},
        EncodeCase{"lowest16Bit", Format::Fmt_Integer, "-32768", 0, 32768},
        EncodeCase{"highestUnsigned", Format::Fmt_Integer, "65535", 0, 65535},
        EncodeCase{"aboveRangeUnchanged", Format::Fmt_DP, "9999", 1, 99990},
        EncodeCase{"belowRangeNotWrapped", Format::Fmt_Integer, "-32769", 0, -32769},
        EncodeCase{"farBelowRangeNotWrapped", Format::Fmt_Tenths, "-4000", 0, -40000},
        EncodeCase{"hugeSaturates", Format::Fmt_Integer, "1e400", 0,
                   std::numeric_limits<std::int32_t>::max()},
        EncodeCase{"hugeNegativeSaturates", Format::Fmt_Integer, "-1e20", 0,
                   std::numeric_limits<std::int32_t>::min()},
        EncodeCase{"noNumberIsZero", Format::Fmt_DP, "abc", 2, 0},
        EncodeCase{"choiceByEntry", Format::Fmt_Choice, "HOLD", 0, 6},
        EncodeCase{"choiceFirstEntry", Format::Fmt_Choice, "OFF", 0, 0},
        EncodeCase{"choiceNoMatchIsMinusOne", Format::Fmt_Choice, "hold", 0, -1},
        EncodeCase{"choiceEmptyIsMinusOne", Format::Fmt_Choice, "", 0, -1},
        EncodeCase{"hex16NeverWritten", Format::Fmt_Hex16, "00FF", 0, std::nullopt},
        EncodeCase{"hex32NeverWritten", Format::Fmt_Hex32, "1", 0, std::nullopt},
        EncodeCase{"time32NeverWritten", Format::Fmt_Time32, "20:34", 0, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever a register shows, pressing Enter on the unedited box writes the same register value
// back: the text and the scaling agree for every 16-bit value.
TEST(RoundTrip, everyRegisterValueSurvivesDecodeAndEncode) {
    const std::pair<Format, std::int32_t> formats[] = {
        {Format::Fmt_Integer, 0}, {Format::Fmt_Tenths, 0}, {Format::Fmt_Hundredths, 0},
        {Format::Fmt_DP, 0},      {Format::Fmt_DP, 1},     {Format::Fmt_DP, 2},
        {Format::Fmt_DP, 3},      {Format::Fmt_DP, 4},
    };
    for (const auto& [format, dp] : formats) {
        int failures = 0;
        for (std::uint32_t word = 0; word <= 0xFFFF && failures < 5; ++word) {
            const std::vector<std::uint16_t> words{static_cast<std::uint16_t>(word)};
            const std::string text = decodeValue(format, words, dp);
            const auto written = encodeValue(format, text, dp);
            if (written != static_cast<std::int32_t>(word)) {
                ADD_FAILURE() << "format " << static_cast<int>(format) << " dp " << dp << ": "
                              << word << " reads " << text << " and writes "
                              << written.value_or(-999999);
                ++failures;
            }
        }
    }
}

}  // namespace
}  // namespace dalmora
