#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "driver_world.h"

namespace dalmora {
namespace {

using testing::DriverWorld;
using testing::FakeParameterView;
using testing::readAnswer;
namespace maps = register_maps;

// A read-all answer of the model's size, every register 0 except those given.
Bytes readAllAnswer(const ModelMap& model, const std::vector<std::pair<int, std::uint16_t>>& values) {
    const ModelInfo* info = findModel(model.name);
    std::vector<std::uint16_t> words(static_cast<std::size_t>(info->allParamCount), 0);
    for (const auto& [reg, value] : values) words.at(static_cast<std::size_t>(reg)) = value;
    return readAnswer(1, 3, words);
}

// ---- Read all -----------------------------------------------------------------------------------

struct DpRow {
    const ModelMap* model;
    std::vector<std::pair<int, std::uint16_t>> registers;
    std::int32_t dp;      // Decimal_Point_Code of Window_Slot afterwards
    const char* svText;   // register 0 holds 1234
};

TEST(ReadAll, decimalPointComesFirstAndScalesTheSameAnswer) {
    const std::vector<DpRow> rows{
        {&maps::kT3, {{33, 2}}, 2, "12.34"},
        {&maps::kT3, {{33, 9}}, 0, "1234"},
        {&maps::kT3, {{33, 0xFF01}}, 0, "1234"},
        {&maps::kN5, {{33, 3}}, 3, "1.234"},
        {&maps::kQ71, {{33, 1}}, 1, "123.4"},
        // ZC37 keeps its setting in 24; its 33 is the baud rate.
        {&maps::kZC37, {{24, 1}, {33, 3}}, 1, "123.4"},
    };
    for (const DpRow& row : rows) {
        DriverWorld w(*row.model);
        w.setSlot(6, std::string(row.model->name), "1", 5);
        w.setSlot(2, std::string(row.model->name), "2", 3);
        w.state.Poll_Slot = 2;
        auto registers = row.registers;
        registers.emplace_back(0, 1234);
        FakeParameterView window;
        w.readAll(6, readAllAnswer(*row.model, registers), window);
        EXPECT_EQ(w.state.slots[6].Decimal_Point_Code, row.dp) << row.model->name;
        EXPECT_EQ(w.state.slots[2].Decimal_Point_Code, 3) << "only the window's slot changes";
        EXPECT_EQ(window.text(0), row.svText) << row.model->name;
        EXPECT_EQ(window.selectedIndex(row.model->dpRegister), row.dp) << row.model->name;
    }
}

struct ChoiceRow {
    const ModelMap* model;
    int reg;
    std::uint16_t value;
    int selected;
};

TEST(ReadAll, aChoicePastItsListSelectsTheFirstEntry) {
    const std::vector<ChoiceRow> rows{
        {&maps::kT3, 3, 6, 6},   {&maps::kT3, 3, 7, 0},   {&maps::kT3, 28, 13, 13}, {&maps::kT3, 28, 14, 0},
        {&maps::kT3, 43, 3, 3},  {&maps::kT3, 3, 0x8000, 0},
        {&maps::kN5, 3, 5, 0},   {&maps::kN5, 3, 6, 0},   {&maps::kN5, 39, 7, 7},   {&maps::kN5, 39, 8, 0},
        {&maps::kQ71, 39, 15, 15}, {&maps::kQ71, 39, 16, 0},
        {&maps::kZC37, 30, 5, 5}, {&maps::kZC37, 30, 6, 0},
    };
    for (const ChoiceRow& row : rows) {
        DriverWorld w(*row.model);
        FakeParameterView window;
        window.texts[row.reg] = "untouched";
        w.readAll(0, readAllAnswer(*row.model, {{row.reg, row.value}}), window);
        EXPECT_EQ(window.selectedIndex(row.reg), row.selected)
            << row.model->name << " register " << row.reg << " = " << row.value;
        EXPECT_EQ(window.text(row.reg), "untouched") << "a list is selected, not written into";
    }
}

TEST(ReadAll, everyParameterGoesToItsBoxWithItsFormat) {
    DriverWorld w(maps::kT3);
    w.setSlot(0, "T3", "1");
    FakeParameterView window;
    w.readAll(0, readAllAnswer(maps::kT3, {{33, 1}, {1, 0xFFFB}, {2, 1000}, {8, 30}, {50, 0xFF9C}, {56, 0x0A0B}}),
              window);
    EXPECT_EQ(window.text(1), "-0.5");     // PVOF by DP 1
    EXPECT_EQ(window.text(2), "100.0");    // OUTL in tenths
    EXPECT_EQ(window.text(8), "30");       // A1DT as an integer
    EXPECT_EQ(window.text(50), "-1.00");   // mAL in hundredths
    EXPECT_EQ(window.text(56), "0A0B");    // TCZERO
    EXPECT_EQ(window.text(67), "0000");
    EXPECT_EQ(window.selectedIndex(38), 0);
    EXPECT_EQ(window.texts.size() + window.selected.size(), 68U);
}

TEST(ReadAll, zc37ShowsItsPositionGainAndOffsetPairsUnderTheSecondRegister) {
    DriverWorld w(maps::kZC37);
    FakeParameterView window;
    w.readAll(0, readAllAnswer(maps::kZC37, {{48, 0x1234}, {49, 0xABCD}, {50, 0x0001}, {51, 0x0002}, {52, 0xBEEF}}),
              window);
    EXPECT_EQ(window.text(49), "ABCD1234");
    EXPECT_EQ(window.text(51), "00020001");
    EXPECT_EQ(window.texts.count(48), 0U);
    EXPECT_EQ(window.texts.count(50), 0U);
    EXPECT_EQ(window.text(52), "BEEF");
}

TEST(ReadAll, aShortAnswerStopsAtTheFirstMissingRegisterAndReachesTheEngine) {
    DriverWorld w(maps::kT3);
    FakeParameterView window;
    window.texts[46] = "old";
    std::vector<std::uint16_t> words(45, 0);  // registers 0 to 44; the CRC reads as register 45
    words[33] = 2;
    words[44] = 77;
    EXPECT_THROW(w.readAll(0, readAnswer(1, 3, words), window), Error);
    EXPECT_EQ(w.state.slots[0].Decimal_Point_Code, 2);
    EXPECT_EQ(window.text(44), "77");
    EXPECT_EQ(window.text(46), "old");
    EXPECT_TRUE(w.notifier.messages.empty()) << "read-all reports nothing itself";

    // Too short even for the decimal point: nothing at all changes.
    DriverWorld v(maps::kT3);
    v.setSlot(0, "T3", "1", 1);
    FakeParameterView untouched;
    EXPECT_THROW(v.readAll(0, readAnswer(1, 3, std::vector<std::uint16_t>(20, 0)), untouched), Error);
    EXPECT_EQ(v.state.slots[0].Decimal_Point_Code, 1);
    EXPECT_TRUE(untouched.texts.empty() && untouched.selected.empty());
}

// ---- Read one -----------------------------------------------------------------------------------

struct ReadOneRow {
    const ModelMap* model;
    int reg;
    std::uint16_t value;
    std::optional<std::string> text;  // box afterwards; nullopt: untouched
    int selected;                     // list afterwards (-1: untouched)
};

TEST(ReadOne, refreshesTheBoxOfAWrittenRegisterOnly) {
    const std::vector<ReadOneRow> rows{
        {&maps::kT3, 38, 1, std::nullopt, 1},   // PTME: HH:MM
        {&maps::kT3, 0, 1234, "123.4", -1},    // SV by the window slot's DP 1
        {&maps::kT3, 55, 250, "2.50", -1},
        {&maps::kT3, 56, 0x0A0B, std::nullopt, -1},  // calibration: not read back
        {&maps::kT3, 4096, 1, std::nullopt, -1},
        {&maps::kQ71, 57, 250, "2.50", -1},
        {&maps::kQ71, 58, 1, std::nullopt, -1},
        {&maps::kZC37, 43, 250, "2.50", -1},
        {&maps::kZC37, 44, 1, std::nullopt, -1},
    };
    for (const ReadOneRow& row : rows) {
        DriverWorld w(*row.model);
        w.setSlot(3, std::string(row.model->name), "1", 1);
        w.state.Window_Slot = 3;
        w.state.Current_Register = static_cast<std::int16_t>(row.reg);
        w.state.Receive_Buffer = readAnswer(1, 3, {row.value});
        FakeParameterView window;
        DriverContext c = w.context(&window);
        w.driver.Decode_Read_One(c);
        if (row.text) {
            EXPECT_EQ(window.text(row.reg), *row.text) << row.model->name << " " << row.reg;
        } else {
            EXPECT_TRUE(window.texts.empty()) << row.model->name << " " << row.reg;
        }
        EXPECT_EQ(window.selectedIndex(row.reg), row.selected) << row.model->name << " " << row.reg;
    }
}

TEST(ReadOne, aWrittenDecimalPointShowsButTakesEffectOnlyAtTheNextReadAll) {
    DriverWorld w(maps::kT3);
    w.setSlot(0, "T3", "1", 1);
    w.state.Window_Slot = 0;
    w.state.Current_Register = 33;
    w.state.Receive_Buffer = readAnswer(1, 3, {3});
    FakeParameterView window;
    DriverContext c = w.context(&window);
    w.driver.Decode_Read_One(c);
    EXPECT_EQ(window.selectedIndex(33), 3);
    EXPECT_EQ(w.state.slots[0].Decimal_Point_Code, 1);
}

// ---- Write --------------------------------------------------------------------------------------

struct WriteRow {
    const ModelMap* model;
    std::int32_t dp;
    int reg;
    const char* text;  // the box, or for a list: nullptr and `selected`
    int selected;
    std::optional<std::int32_t> value;  // nullopt: Write_Value untouched
};

class WriteParameter : public ::testing::TestWithParam<WriteRow> {};

TEST_P(WriteParameter, encodesTheBoxOfCurrentRegister) {
    const WriteRow& row = GetParam();
    DriverWorld w(*row.model);
    w.setSlot(9, std::string(row.model->name), "1", row.dp);
    w.setSlot(0, std::string(row.model->name), "2", 3);  // the polled meter's DP must not count
    w.state.Window_Slot = 9;
    w.state.Poll_Slot = 0;
    w.state.Current_Register = static_cast<std::int16_t>(row.reg);
    w.state.Write_Value = 4242;
    FakeParameterView window;
    if (row.text != nullptr) window.texts[row.reg] = row.text;
    window.selected[row.reg] = row.selected;
    DriverContext c = w.context(&window);
    w.driver.Write_Parameter(c);
    EXPECT_EQ(w.state.Write_Value, row.value.value_or(4242));
}

void PrintTo(const WriteRow& row, std::ostream* os) {
    *os << row.model->name << " reg " << row.reg << " DP " << row.dp << " \"" << (row.text ? row.text : "") << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Examples, WriteParameter,
    ::testing::Values(
        WriteRow{&maps::kT3, 1, 0, "12.3", -1, 123},
        WriteRow{&maps::kT3, 0, 0, "12.3", -1, 12},
        WriteRow{&maps::kT3, 0, 1, "-5", -1, 65531},
        WriteRow{&maps::kT3, 0, 8, "00:30", -1, 0},        // the number ends at the colon
        WriteRow{&maps::kT3, 0, 2, "-1.5", -1, 65521},
        WriteRow{&maps::kT3, 1, 0, "0.25", -1, 2},         // 2.5 rounds to even
        WriteRow{&maps::kT3, 1, 0, "9999", -1, 99990},     // no range check here
        WriteRow{&maps::kT3, 3, 35, "-1.5", -1, 64036},
        WriteRow{&maps::kT3, 0, 50, "12.345", -1, 1234},
        WriteRow{&maps::kT3, 0, 3, nullptr, 4, 4},         // RUN: the list position
        WriteRow{&maps::kT3, 0, 3, "PROG?", -1, -1},       // typed text that is no entry
        WriteRow{&maps::kT3, 0, 43, nullptr, 1, std::nullopt},   // BAUD is never written
        WriteRow{&maps::kT3, 0, 56, "0A0B", -1, std::nullopt},   // nor the calibration
        WriteRow{&maps::kT3, 0, 67, "1", -1, std::nullopt},
        WriteRow{&maps::kT3, 0, 4096, "1", -1, std::nullopt},    // nor a live value
        WriteRow{&maps::kN5, 2, 9, "1.5", -1, 150},
        WriteRow{&maps::kN5, 0, 43, nullptr, 2, std::nullopt},
        WriteRow{&maps::kQ71, 0, 46, "5", -1, 5},          // CH02
        WriteRow{&maps::kQ71, 1, 10, "2.5", -1, 25},       // A2HY
        WriteRow{&maps::kQ71, 2, 48, "1", -1, 100},        // TCL by DP, moved up from 46
        WriteRow{&maps::kQ71, 0, 57, "1.5", -1, 150},      // VH in hundredths
        WriteRow{&maps::kQ71, 0, 58, "1", -1, std::nullopt},
        WriteRow{&maps::kZC37, 2, 0, "1.5", -1, 150},
        WriteRow{&maps::kZC37, 0, 16, "12.5", -1, 125},    // POSL in tenths
        WriteRow{&maps::kZC37, 0, 33, nullptr, 3, std::nullopt},
        WriteRow{&maps::kZC37, 0, 44, "1", -1, std::nullopt}));

TEST(WriteParameterWithoutWindow, leavesWriteValueAlone) {
    DriverWorld w(maps::kT3);
    w.state.Window_Slot = 0;
    w.state.Current_Register = 0;
    w.state.Write_Value = 7;
    DriverContext c = w.context(nullptr);
    w.driver.Write_Parameter(c);
    EXPECT_EQ(w.state.Write_Value, 7);
}

// ---- The maps -----------------------------------------------------------------------------------

TEST(RegisterMaps, foundByTheExactModelName) {
    EXPECT_EQ(maps::findModelMap("T3"), &maps::kT3);
    EXPECT_EQ(maps::findModelMap("N5,N6,N8"), &maps::kN5);
    EXPECT_EQ(maps::findModelMap("Q71"), &maps::kQ71);
    EXPECT_EQ(maps::findModelMap("ZC37"), &maps::kZC37);
    for (const char* name : {"N5", "t3", "T3 ", "HM15", "---"}) EXPECT_EQ(maps::findModelMap(name), nullptr) << name;
}

TEST(RegisterMaps, n5DiffersFromT3OnlyInRunAndErop) {
    ASSERT_EQ(maps::kN5.parameters.size(), maps::kT3.parameters.size());
    for (std::size_t i = 0; i < maps::kT3.parameters.size(); ++i) {
        const RegisterSpec& t3 = maps::kT3.parameters[i];
        const RegisterSpec& n5 = maps::kN5.parameters[i];
        EXPECT_EQ(n5.caption, t3.caption);
        EXPECT_EQ(n5.format, t3.format);
        EXPECT_EQ(n5.writable, t3.writable);
        const bool sameList = std::equal(n5.choices.begin(), n5.choices.end(), t3.choices.begin(), t3.choices.end());
        EXPECT_EQ(sameList, t3.address != 3 && t3.address != 39) << t3.caption;
    }
}

}  // namespace
}  // namespace dalmora
