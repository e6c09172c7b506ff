#include <gtest/gtest.h>

#include <vector>

#include "engine_world.h"

namespace dalmora {
namespace {

using testing::answer;
using testing::EngineWorld;
using testing::exceptionAnswer;
using testing::FakeParameterView;
using testing::FakeScanList;
using testing::request;
namespace es = engine_state;

// One tick in each state, at 9600 baud, with slot 2 (T3, ID 005) pollable and its parameter
// window open on register 1.
struct StateRow {
    const char* name;
    std::uint8_t state;
    Bytes incoming;     // what the meter has sent before the tick
    int interval;       // the one interval the tick sets, -1 for none
    std::uint8_t next;
    Bytes frame;        // the one request the tick sends, empty for none
};

void PrintTo(const StateRow& row, std::ostream* os) { *os << row.name; }

std::vector<StateRow> stateRows() {
    return {
        {"startPolling", es::kStartPolling, {}, 200, es::kValuesSend, {}},
        {"valuesSend", es::kValuesSend, {}, -1, es::kValuesCheck, request(5, 4, 4096, 22)},
        {"valuesCheck", es::kValuesCheck, answer(5, 4, 22), -1, es::kValuesCheck, request(5, 4, 4096, 22)},
        {"readAll", es::kReadAll, {}, 200, es::kReadAllSend, {}},
        {"readAllSend", es::kReadAllSend, {}, 800, es::kReadAllCheck, request(5, 3, 0, 68)},
        {"readAllCheck", es::kReadAllCheck, answer(5, 3, 68), -1, es::kStartPolling, {}},
        {"write", es::kWrite, {}, 120, es::kWriteSend, {}},
        {"writeFromFile", es::kWriteFromFile, {}, 70, es::kWriteSend, {}},
        {"writeSend", es::kWriteSend, {}, -1, es::kWriteCheck, request(5, 6, 1, 100)},
        {"writeCheckAccepted", es::kWriteCheck, request(5, 6, 1, 100), -1, es::kReadBack, {}},
        {"writeCheckUnanswered", es::kWriteCheck, {}, -1, es::kReadAll, {}},
        {"readBack", es::kReadBack, {}, 40, es::kReadOneSend, {}},
        {"readOneSend", es::kReadOneSend, {}, -1, es::kReadOneCheck, request(5, 3, 1, 1)},
        {"readOneCheck", es::kReadOneCheck, answer(5, 3, 1), -1, es::kStartPolling, {}},
        {"scanStart", es::kScanStart, {}, 40, es::kScanSend, {}},
        {"scanSend", es::kScanSend, {}, -1, es::kScanCheck, request(1, 4, 7936, 1)},
        {"scanCheck", es::kScanCheck, {}, -1, es::kScanCheck, request(2, 4, 7936, 1)},
        {"state0DoesNothing", 0, {}, -1, 0, {}},
        {"state1DoesNothing", 1, {}, -1, 1, {}},
        {"state2DoesNothing", 2, {}, -1, 2, {}},
        {"state16DoesNothing", 16, {}, -1, 16, {}},
        {"state17DoesNothing", 17, {}, -1, 17, {}},
        {"state21DoesNothing", 21, {}, -1, 21, {}},
        {"state200DoesNothing", 200, {}, -1, 200, {}},
    };
}

class StateTable : public ::testing::TestWithParam<StateRow> {};

TEST_P(StateTable, eachStateDoesItsOneRow) {
    const StateRow& row = GetParam();
    EngineWorld w;
    w.state.serial.Baud_Rate = "9600";
    w.state.Saved_Baud = "9600";
    w.setSlot(2, "T3", "005");
    w.state.Poll_Slot = 2;
    FakeParameterView view;
    view.captions[1] = "SV";
    w.views.open("T3", view);
    w.state.Window_Slot = 2;
    w.state.Current_Register = 1;
    w.state.Write_Value = 100;
    FakeScanList list;
    w.scanLists.list = &list;
    if (!row.incoming.empty()) w.port.queue(row.incoming);
    w.state.Engine_State = row.state;

    w.tick();

    EXPECT_EQ(w.state.Engine_State, row.next);
    EXPECT_EQ(w.host.intervals, row.interval < 0 ? std::vector<int>{} : std::vector<int>{row.interval});
    if (row.frame.empty()) {
        EXPECT_TRUE(w.port.written.empty());
    } else {
        ASSERT_EQ(w.port.written.size(), 1U);
        EXPECT_EQ(w.port.written[0], row.frame);
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, StateTable, ::testing::ValuesIn(stateRows()),
                         [](const auto& info) { return std::string(info.param.name); });

// The read-back and the scan probe wait for a one-register answer; at 2400 baud that answer
// needs longer than 80 ms. A baud the table does not know keeps the interval.
TEST(ProbeInterval, fitsAOneRegisterAnswerAtEveryBaud) {
    const struct {
        const char* baud;
        std::vector<int> intervals;
    } rows[] = {{"2400", {110}}, {"4800", {60}}, {"9600", {40}}, {"19200", {30}}, {"38400", {}}};
    for (std::uint8_t state : {es::kReadBack, es::kScanStart}) {
        for (const auto& row : rows) {
            EngineWorld w;
            w.state.serial.Baud_Rate = row.baud;
            w.state.Engine_State = state;
            w.tick();
            EXPECT_EQ(w.host.intervals, row.intervals) << row.baud << " in state " << int(state);
        }
    }
}

// A parameter window closed (or of another model) after its request was sent: the step talks to
// no meter and no window, and polling resumes. A check step still takes the answer off the port.
struct ClosedWindowRow {
    const char* name;
    std::uint8_t state;
    bool check;
    bool otherModelOpen;  // false: Window_Slot is 16
};

void PrintTo(const ClosedWindowRow& row, std::ostream* os) { *os << row.name; }

class ClosedWindow : public ::testing::TestWithParam<ClosedWindowRow> {};

TEST_P(ClosedWindow, stepSendsNothingCallsNoDriverAndResumesPolling) {
    const ClosedWindowRow& row = GetParam();
    EngineWorld w;
    w.setSlot(2, "T3", "005");
    FakeParameterView view;
    view.captions[1] = "SV";
    w.state.Current_Register = 1;
    if (row.otherModelOpen) {
        w.views.open("ZC37", view);
        w.state.Window_Slot = 2;
    } else {
        w.views.open("T3", view);
        w.state.Window_Slot = kNoWindowSlot;
    }
    w.port.queue(answer(5, 3, 1));
    w.state.Engine_State = row.state;

    w.tick();

    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
    EXPECT_TRUE(w.port.written.empty());
    EXPECT_TRUE(w.t3.calls.empty());
    EXPECT_TRUE(view.statusLog.empty());
    EXPECT_TRUE(w.host.panels.empty());
    EXPECT_EQ(w.port.incoming.empty(), row.check);
}

INSTANTIATE_TEST_SUITE_P(Engine, ClosedWindow,
                         ::testing::Values(ClosedWindowRow{"readAllSend", es::kReadAllSend, false, false},
                                           ClosedWindowRow{"readAllCheck", es::kReadAllCheck, true, false},
                                           ClosedWindowRow{"readOneSend", es::kReadOneSend, false, false},
                                           ClosedWindowRow{"readOneCheck", es::kReadOneCheck, true, false},
                                           ClosedWindowRow{"writeSend", es::kWriteSend, false, false},
                                           ClosedWindowRow{"writeCheck", es::kWriteCheck, true, false},
                                           ClosedWindowRow{"writeSendOtherWindow", es::kWriteSend, false, true},
                                           ClosedWindowRow{"readAllCheckOtherWindow", es::kReadAllCheck, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A write must never go to station 0: every meter on the line would take it.
TEST(ClosedWindow, writeForASlotWhoseIdBecameBroadcastIsNotSent) {
    EngineWorld w;
    w.setSlot(2, "T3", "000");
    FakeParameterView view;
    w.views.open("T3", view);
    w.state.Window_Slot = 2;
    w.state.Engine_State = es::kWriteSend;
    w.tick();
    EXPECT_TRUE(w.port.written.empty());
    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
}

// Every failure of a tick: back to state 9 with an empty answer, then the port's recovery.
struct FailureRow {
    const char* name;
    int number;
    bool portOpen;
    const char* text;
    std::size_t opens;
    int closes;
};

void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class FailurePolicy : public ::testing::TestWithParam<FailureRow> {};

TEST_P(FailurePolicy, reportsAndRecoversThePort) {
    const FailureRow& row = GetParam();
    EngineWorld w;
    w.setSlot(2, "T3", "005");
    w.state.Poll_Slot = 2;
    w.port.setOpen(row.portOpen);
    w.port.readError = row.number;
    w.state.Receive_Buffer = {1, 2, 3};
    w.state.Engine_State = es::kValuesCheck;

    w.tick();

    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
    EXPECT_TRUE(w.state.Receive_Buffer.empty());
    EXPECT_EQ(w.host.panel(2), row.text);
    EXPECT_EQ(w.port.opened.size(), row.opens);
    EXPECT_EQ(w.port.closeCount, row.closes);
    EXPECT_TRUE(w.port.written.empty());
    EXPECT_EQ(w.state.Poll_Slot, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, FailurePolicy,
    ::testing::Values(
        FailureRow{"noSuchPortReopens", 8002, true, "Serial port error ! ;error number = 8002", 1, 1},
        FailureRow{"notOpenDeviceCloses", 8012, true, "Serial port error ! ;error number = 8012", 0, 1},
        FailureRow{"notOpenDeviceAlreadyClosed", 8012, false, "Serial port error ! ;error number = 8012", 0, 0},
        FailureRow{"portNotOpenReopens", 8018, false, "Serial port error ! ;error number = 8018", 1, 0},
        FailureRow{"readErrorReopens", 8020, true, "Serial port error ! ;error number = 8020", 1, 1},
        FailureRow{"controlBlockReopens", 8021, true, "Serial port error ! ;error number = 8021", 1, 1},
        FailureRow{"otherErrorOnlyTold", 5, true, "at Timer_Read_Timer() ;Wrong code: 5 ;Wrong reasons: read failed", 0,
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

// At start-up a port that did not open is tried again on the first check.
TEST(FailurePolicy, portThatDidNotOpenIsOpenedByTheFirstCheck) {
    EngineWorld w;
    w.port.setOpen(false);
    w.state.Engine_State = es::kValuesCheck;
    w.tick();
    EXPECT_EQ(w.host.panel(2), "Serial port error ! ;error number = 8018");
    ASSERT_EQ(w.port.opened.size(), 1U);
    EXPECT_EQ(w.port.opened[0].number, 1);
    EXPECT_EQ(w.port.opened[0].settings, "19200,N,8,2");
    EXPECT_TRUE(w.port.isOpen());
}

}  // namespace
}  // namespace dalmora
