#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver_world.h"

namespace dalmora {
namespace {

using testing::DriverWorld;
using testing::EngineWorld;
using testing::FakeParameterView;
using testing::kT3Block;
using testing::kZC37Block;
using testing::readAnswer;
using testing::withCrc;
namespace maps = register_maps;

struct TextRow {
    int reg;
    const char* text;
};

// Every T3 live value as the console shows and records it, DP 1.
const std::vector<TextRow> kT3Texts{
    {4096, "23.5"},  {4097, "150.0"}, {4098, "45.6"},  {4099, "00FF"},   {4100, "0005"},
    {4102, "20:34"}, {4104, "-1"},    {4106, "109:13"}, {4107, "150.0"}, {4108, "23.5"},
    {4109, "-1.2"},  {4110, "0.0"},   {4111, "100.0"}, {4112, "0.5"},    {4113, "-0.5"},
    {4114, "3.0"},   {4115, "123.4"}, {4116, "32767"}, {4117, "-32768"},
};

TEST(T3LiveValues, everyRegisterOfTheBlockBecomesItsText) {
    DriverWorld w(maps::kT3);
    w.setSlot(4, "T3", "7", 1);
    w.decodeValues(4, readAnswer(7, 4, kT3Block));
    for (const TextRow& row : kT3Texts) EXPECT_EQ(w.liveText(row.reg), row.text) << "register " << row.reg;
    // The first register of a pair keeps no text of its own.
    for (const int first : {4101, 4103, 4105}) EXPECT_EQ(w.liveText(first), "") << first;
    EXPECT_TRUE(w.notifier.messages.empty());
}

TEST(T3LiveValues, pvAndSvFollowTheDecimalPointOfThePolledSlotOnly) {
    struct Row {
        std::int32_t dp;
        const char* pv;
        const char* sv;
    };
    for (const Row row : {Row{0, "235", "1500"}, Row{1, "23.5", "150.0"}, Row{2, "2.35", "15.00"},
                          Row{3, "0.235", "1.500"}, Row{7, "235", "1500"}}) {
        DriverWorld w(maps::kT3);
        w.setSlot(0, "T3", "1", 3);  // another meter's setting must not be used
        w.setSlot(5, "T3", "7", row.dp);
        w.state.Window_Slot = 0;
        w.decodeValues(5, readAnswer(7, 4, kT3Block));
        EXPECT_EQ(w.liveText(4096), row.pv) << "DP " << row.dp;
        EXPECT_EQ(w.liveText(4097), row.sv) << "DP " << row.dp;
        EXPECT_EQ(w.liveText(4108), "23.5") << "PV0 is always in tenths";
    }
}

TEST(ZC37LiveValues, blockOfSeventeenRegistersWithOnePair) {
    DriverWorld w(maps::kZC37);
    w.setSlot(2, "ZC37", "9", 2);
    w.decodeValues(2, readAnswer(9, 4, kZC37Block));
    const std::vector<TextRow> expected{{4096, "40.00"}, {4097, "1.00"}, {4098, "25.0"}, {4099, "1234"},
                                        {4100, "000A"},  {4102, "01:00"}, {4103, "10.0"}, {4104, "400.0"},
                                        {4110, "0.6"},   {4111, "100"},   {4112, "200"}};
    for (const TextRow& row : expected) EXPECT_EQ(w.liveText(row.reg), row.text) << "register " << row.reg;
}

// The window of a T3 meter is open for slot 3 while slots 0 and 3, both T3, are polled in turn
// by the engine.
TEST(LiveValuesInTheWindow, onlyThePolledMeterOfTheOpenWindowFillsItsBoxes) {
    EngineWorld e;
    DriverWorld w(maps::kT3);
    e.drivers.registerDriver("T3", w.driver);
    e.setSlot(0, "T3", "001");
    e.setSlot(3, "T3", "003");
    FakeParameterView window;
    e.views.open("T3", window);
    e.state.Window_Slot = 3;
    e.state.Engine_State = engine_state::kStartPolling;
    e.tick(2);  // asks slot 0

    std::vector<std::uint16_t> other = kT3Block;
    other[0] = 999;  // slot 0 shows PV 999
    e.port.queue(readAnswer(1, 4, other));
    e.tick();  // judges slot 0, asks slot 3
    EXPECT_TRUE(window.texts.empty()) << "another meter's values reached the window";
    EXPECT_EQ(w.liveText(4096), "999");

    e.port.queue(readAnswer(3, 4, kT3Block));
    e.tick();
    for (const TextRow& row : kT3Texts) {
        if (row.reg == 4096 || row.reg == 4097 || row.reg == 4107 || row.reg == 4108) continue;  // DP 0 here
        EXPECT_EQ(window.text(row.reg), row.text) << "register " << row.reg;
    }
    EXPECT_EQ(window.text(4096), "235");
    EXPECT_EQ(window.texts.count(4101), 0U) << "a pair writes only the box of its second register";
    EXPECT_EQ(w.liveText(4096), "235");

    // Polled again, slot 0 leaves the window as slot 3 left it.
    e.port.queue(readAnswer(1, 4, other));
    e.tick();
    EXPECT_EQ(window.text(4096), "235");
}

// A meter that answers 7 bytes (one register, right CRC) to the read of its whole block: every
// value past the first missing byte keeps its previous text, the first of them is reported the
// model's way (once per poll, not once per missing value), and the row is still written with
// what the table holds.
struct ShortAnswerRow {
    const ModelMap* model;
    std::vector<std::uint16_t> block;
    int beepsPerReport;
    const char* boxStart;       // title and first line of each box
    int firstFailingRegister;
};

void PrintTo(const ShortAnswerRow& row, std::ostream* os) { *os << row.model->name; }

class ShortAnswer : public ::testing::TestWithParam<ShortAnswerRow> {};

TEST_P(ShortAnswer, reportsTheFirstMissingValueOnceKeepsOldTextsAndStillWritesTheRow) {
    const ShortAnswerRow& row = GetParam();
    DriverWorld w(*row.model);
    w.setSlot(1, std::string(row.model->name), "7", 1);
    w.state.slots[1].Record_On = true;
    w.decodeValues(1, readAnswer(7, 4, row.block));  // a good poll first
    const std::string oldOutput = w.liveText(4098);
    ASSERT_FALSE(oldOutput.empty());
    w.notifier.messages.clear();

    const Bytes shortAnswer = withCrc({7, 4, 2, 0x01, 0x2C});  // PV 300 and the CRC, nothing else
    ASSERT_EQ(shortAnswer.size(), 7U);
    w.decodeValues(1, shortAnswer);

    EXPECT_EQ(w.liveText(4096), "30.0") << "the value that arrived is taken";
    EXPECT_EQ(w.liveText(4098), oldOutput);
    ASSERT_EQ(w.notifier.messages.size(), 1U);
    EXPECT_EQ(w.notifier.beeps, row.beepsPerReport);
    EXPECT_EQ(w.notifier.messages.front().rfind(row.boxStart + std::to_string(row.firstFailingRegister), 0), 0U)
        << w.notifier.messages.front();
    EXPECT_NE(w.notifier.messages.front().find(": 9\r\n"), std::string::npos) << "error 9, subscript out of range";

    ASSERT_EQ(w.files.files.size(), 1U);
    const std::string& file = w.files.files.begin()->second;
    const auto lastRow = file.substr(file.rfind("\r\n", file.size() - 3) + 2);
    EXPECT_EQ(lastRow.rfind("12:30:05,", 0), 0U) << lastRow;
    EXPECT_NE(lastRow.find("," + oldOutput + ","), std::string::npos) << lastRow;
    EXPECT_EQ(w.writer.Record_Row_Count(1), 2);
}

// With 7 bytes, bytes 5 and 6 (the CRC) still stand where register 4097 is read; the first
// missing one is 4098.
INSTANTIATE_TEST_SUITE_P(
    Models, ShortAnswer,
    ::testing::Values(
        ShortAnswerRow{&maps::kT3, kT3Block, 0, "注意!發生錯誤|錯誤行號: ", 4098},
        ShortAnswerRow{&maps::kN5, kT3Block, 2, "Attention! Wrong|Wrong line: ", 4098},
        ShortAnswerRow{&maps::kZC37, kZC37Block, 0, "注意!發生錯誤|錯誤行號: ", 4098}),
    [](const auto& info) { return info.param.model == &maps::kN5 ? std::string("N5") : std::string(info.param.model->name); });

// Through the engine: the decode carries on, the painter meets the same short answer, draws
// nothing and the engine reports it.
TEST(ShortAnswerThroughTheEngine, tileKeepsItsPictureAndTheEngineReportsTheError) {
    EngineWorld e;
    DriverWorld w(maps::kT3);
    e.drivers.registerDriver("T3", w.driver);
    e.setSlot(0, "T3", "007");
    e.state.Engine_State = engine_state::kStartPolling;
    e.tick(2);
    e.port.queue(withCrc({7, 4, 2, 0x01, 0x2C}));
    e.tick();
    EXPECT_TRUE(e.tiles.drawn.empty());
    EXPECT_EQ(w.notifier.messages.size(), 0U) << "the engine's notifier is the one the driver uses";
    EXPECT_EQ(e.notifier.messages.size(), 1U);
    EXPECT_NE(e.host.panel(2).find("Wrong code: 9"), std::string::npos) << e.host.panel(2);
}

TEST(Q71LiveValues, aPolledQ71MeterIsNeitherDecodedNorPaintedNorRecorded) {
    DriverWorld w(maps::kQ71);
    w.setSlot(0, "Q71", "7", 1);
    w.state.slots[0].Record_On = true;
    FakeParameterView window;
    w.state.Window_Slot = 0;
    w.decodeValues(0, readAnswer(7, 4, kT3Block), &window);
    DriverContext c = w.context(&window);
    w.driver.Paint_Panel(c);
    EXPECT_EQ(w.liveText(4096), "");
    EXPECT_TRUE(window.texts.empty());
    EXPECT_TRUE(w.tiles.drawn.empty());
    EXPECT_TRUE(w.files.files.empty());
    EXPECT_EQ(w.files.appendCalls, 0);
}

TEST(LiveValueTables, aT3AndAnN5MeterPolledInTurnKeepTheirOwnTables) {
    DriverWorld t3(maps::kT3);
    DriverWorld n5(maps::kN5);
    std::vector<std::uint16_t> n5Block = kT3Block;
    n5Block[2] = 111;
    t3.decodeValues(0, readAnswer(1, 4, kT3Block));
    n5.decodeValues(1, readAnswer(2, 4, n5Block));
    EXPECT_EQ(t3.liveText(4098), "45.6");
    EXPECT_EQ(n5.liveText(4098), "11.1");
}

}  // namespace
}  // namespace dalmora
