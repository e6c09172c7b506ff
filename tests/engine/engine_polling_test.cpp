#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "engine_world.h"

namespace dalmora {
namespace {

using testing::answer;
using testing::EngineWorld;
using testing::exceptionAnswer;
using testing::FakeParameterView;
using testing::request;
using testing::withCrc;
namespace es = engine_state;

// Starts polling: state 9 sets the interval, state 10 sends the first request.
void startPolling(EngineWorld& w) {
    w.state.Engine_State = es::kStartPolling;
    w.tick(2);
}

TEST(Polling, walksThePollableSlotsInTurnAndWrapsAround) {
    EngineWorld w;
    w.setSlot(2, "T3", "002");
    w.setSlot(9, "ZC37", "009");
    startPolling(w);
    for (int round = 0; round < 3; ++round) {
        w.port.queue(answer(2, 4, 22));
        w.tick();
        w.port.queue(answer(9, 4, 17));
        w.tick();
    }
    const std::vector<Bytes> expected{request(2, 4, 4096, 22), request(9, 4, 4096, 17), request(2, 4, 4096, 22),
                                      request(9, 4, 4096, 17), request(2, 4, 4096, 22), request(9, 4, 4096, 17),
                                      request(2, 4, 4096, 22)};
    EXPECT_EQ(w.port.written, expected);
    ASSERT_EQ(w.t3.calls.size(), 6U);
    ASSERT_EQ(w.zc37.calls.size(), 6U);
    for (const auto& call : w.t3.calls) EXPECT_EQ(call.pollSlot, 2);
    for (const auto& call : w.zc37.calls) EXPECT_EQ(call.pollSlot, 9);
    EXPECT_EQ(w.t3.operations()[0], "Decode_Values_Block");
    EXPECT_EQ(w.t3.operations()[1], "Paint_Panel");
}

struct QuietLineRow {
    const char* name;
    std::vector<std::tuple<int, const char*, const char*>> slots;  // index, model, ID
};

void PrintTo(const QuietLineRow& row, std::ostream* os) { *os << row.name; }

class NoPollableSlot : public ::testing::TestWithParam<QuietLineRow> {};

TEST_P(NoPollableSlot, sendsNothingAndWaitsInStateTen) {
    EngineWorld w;
    for (const auto& [index, model, id] : GetParam().slots) w.setSlot(index, model, id);
    startPolling(w);
    w.tick(20);
    EXPECT_TRUE(w.port.written.empty());
    EXPECT_EQ(w.state.Engine_State, es::kValuesSend);
    EXPECT_TRUE(w.host.panels.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Engine, NoPollableSlot,
    ::testing::Values(QuietLineRow{"allSlotsEmpty", {}},
                      QuietLineRow{"idWithoutModelAndModelWithoutId", {{1, "---", "001"}, {4, "T3", "---"}}},
                      QuietLineRow{"broadcastStation", {{0, "T3", "000"}}},
                      QuietLineRow{"idNotANumber", {{0, "T3", "abc"}}},
                      QuietLineRow{"idBeyondAByte", {{0, "T3", "256"}}},
                      QuietLineRow{"modelNameNotExact", {{0, "t3", "001"}, {1, "N5", "002"}, {2, "T3 ", "003"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Polling, slotsEmptiedWhilePollingAreJudgedButNothingIsSent) {
    EngineWorld w;
    w.setSlot(2, "T3", "002");
    startPolling(w);
    w.setSlot(2, "---", "---");
    w.tick();
    EXPECT_EQ(w.host.panel(1), "No.3 Slot ; ID = ---");
    EXPECT_EQ(w.host.panel(2), "Read PV ,No Response !");
    w.tick(5);
    EXPECT_EQ(w.port.written.size(), 1U);
    EXPECT_EQ(w.state.Engine_State, es::kValuesCheck);
}

TEST(Polling, q71IsPolledAndReportedButNotDecodedOrPainted) {
    EngineWorld w;
    w.setSlot(5, "Q71", "017");
    startPolling(w);
    EXPECT_EQ(w.lastWritten(), request(17, 4, 4096, 22));
    w.port.queue(answer(17, 4, 22));
    w.tick();
    EXPECT_EQ(w.host.panel(1), "No.6 Slot ; ID = 017");
    EXPECT_EQ(w.host.panel(2), "Read PV ,CRC Ok !");
    EXPECT_TRUE(w.q71.calls.empty());
}

// The live-values answer judged, as the main window's status bar tells it.
struct LiveAnswerRow {
    const char* name;
    Bytes incoming;
    const char* text;
    bool decoded;
};

void PrintTo(const LiveAnswerRow& row, std::ostream* os) { *os << row.name; }

Bytes brokenCrc() {
    Bytes bytes = answer(5, 4, 22);
    bytes.back() ^= 0x01;
    return bytes;
}

class LiveAnswer : public ::testing::TestWithParam<LiveAnswerRow> {};

TEST_P(LiveAnswer, isToldInTheStatusBarAndDecodedOnlyWhenGood) {
    const LiveAnswerRow& row = GetParam();
    EngineWorld w;
    w.setSlot(2, "T3", "005");
    startPolling(w);
    if (!row.incoming.empty()) w.port.queue(row.incoming);
    w.tick();
    EXPECT_EQ(w.host.panel(1), "No.3 Slot ; ID = 005");
    EXPECT_EQ(w.host.panel(2), row.text);
    EXPECT_EQ(w.t3.calls.size(), row.decoded ? 2U : 0U);
    EXPECT_EQ(w.state.Engine_State, es::kValuesCheck);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, LiveAnswer,
    ::testing::Values(LiveAnswerRow{"good", answer(5, 4, 22), "Read PV ,CRC Ok !", true},
                      LiveAnswerRow{"crcBroken", brokenCrc(), "Read PV ,CRC Error !", false},
                      LiveAnswerRow{"illegalFunction", exceptionAnswer(5, 4, 1), "Read PV ,Function Error !", false},
                      LiveAnswerRow{"illegalAddress", exceptionAnswer(5, 4, 2), "Read PV ,Address Error !", false},
                      LiveAnswerRow{"illegalValue", exceptionAnswer(5, 4, 3), "Read PV ,Data Error !", false},
                      LiveAnswerRow{"otherException", exceptionAnswer(5, 4, 4), "Read PV ,??? Error !", false},
                      LiveAnswerRow{"sixBytes", Bytes{5, 4, 2, 0, 1, 2}, "Read PV ,??? Error !", false},
                      LiveAnswerRow{"silence", {}, "Read PV ,No Response !", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The open parameter window shows live values only of its own meter.
TEST(Polling, liveDecodeGetsTheWindowOnlyForTheWindowsSlot) {
    EngineWorld w;
    w.setSlot(2, "T3", "002");
    w.setSlot(9, "T3", "009");
    FakeParameterView view;
    w.views.open("T3", view);
    w.state.Window_Slot = 9;
    startPolling(w);
    w.port.queue(answer(2, 4, 22));
    w.tick();
    w.port.queue(answer(9, 4, 22));
    w.tick();
    ASSERT_EQ(w.t3.calls.size(), 4U);
    EXPECT_EQ(w.t3.calls[0].view, nullptr);
    EXPECT_EQ(w.t3.calls[2].view, &view);
    EXPECT_EQ(w.t3.calls[2].pollSlot, 9);
}

// A meter whose answer its driver cannot read (here 1 register where 22 were asked) is reported,
// and the meters after it go on being watched.
TEST(Polling, shortAnswerIsReportedAndTheNextSlotIsPolledNext) {
    EngineWorld w;
    w.setSlot(2, "T3", "002");
    w.setSlot(9, "ZC37", "009");
    w.t3.readsRegisters = 22;
    startPolling(w);
    w.port.queue(answer(2, 4, 1));
    w.tick();
    EXPECT_EQ(w.host.panel(1), "No.3 Slot ; ID = 002");
    EXPECT_EQ(w.host.panel(2), "at Timer_Read_Timer() ;Wrong code: 9 ;Wrong reasons: Subscript out of range");
    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
    EXPECT_TRUE(w.state.Receive_Buffer.empty());
    EXPECT_EQ(w.t3.operations(), std::vector<std::string>{"Decode_Values_Block"});

    w.tick(2);
    EXPECT_EQ(w.lastWritten(), request(9, 4, 4096, 17));
    w.port.queue(answer(9, 4, 17));
    w.tick();
    EXPECT_EQ(w.lastWritten(), request(2, 4, 4096, 22));  // the faulty meter keeps its turn
}

TEST(Polling, requestSizesFollowTheModel) {
    for (const ModelInfo& model : kModels) {
        EngineWorld w;
        w.setSlot(0, std::string(model.name), "001");
        startPolling(w);
        EXPECT_EQ(w.lastWritten(), request(1, 4, 4096, model.liveCount)) << model.name;

        FakeParameterView view;
        w.views.open(std::string(model.name), view);
        w.state.Window_Slot = 0;
        w.state.Engine_State = es::kReadAllSend;
        w.tick();
        EXPECT_EQ(w.lastWritten(), request(1, 3, 0, model.allParamCount)) << model.name;
    }
}

}  // namespace
}  // namespace dalmora
