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

// Slot 2 (T3, ID 005) with its parameter window open on register 1 ("SV"), at 9600 baud.
class ParameterTransaction : public ::testing::Test {
protected:
    ParameterTransaction() {
        w.state.serial.Baud_Rate = "9600";
        w.setSlot(2, "T3", "005");
        w.state.Poll_Slot = 2;
        view.captions[1] = "SV";
        w.views.open("T3", view);
        w.state.Window_Slot = 2;
        w.state.Current_Register = 1;
        w.state.Write_Value = 100;
    }

    EngineWorld w;
    FakeParameterView view;
};

TEST_F(ParameterTransaction, acceptedWriteIsReadBackAndPollingResumes) {
    w.state.Engine_State = es::kWrite;
    w.tick(2);
    EXPECT_EQ(w.port.written, std::vector<Bytes>{request(5, 6, 1, 100)});
    w.port.queue(request(5, 6, 1, 100));  // the meter echoes a write it took
    w.tick();
    EXPECT_EQ(w.state.Engine_State, es::kReadBack);
    w.tick(2);
    EXPECT_EQ(w.lastWritten(), request(5, 3, 1, 1));
    w.port.queue(answer(5, 3, 1));
    w.tick();

    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
    EXPECT_EQ(w.host.intervals, (std::vector<int>{120, 40}));
    EXPECT_EQ(w.t3.operations(), std::vector<std::string>{"Decode_Read_One"});
    EXPECT_EQ(w.t3.calls[0].view, &view);
    EXPECT_EQ(view.statusLog, (std::vector<std::string>{"Write SV ,Please Wait ... ", "Write SV ,CRC Ok !",
                                                        "Read SV ,Please Wait ... ", "Read SV ,CRC Ok !"}));
}

TEST_F(ParameterTransaction, refusedWriteReadsAllParametersAgain) {
    w.state.Engine_State = es::kWrite;
    w.tick(2);
    w.port.queue(exceptionAnswer(5, 6, 2));
    w.tick();
    EXPECT_EQ(view.status(), "Write SV ,Address Error !");
    EXPECT_EQ(w.state.Engine_State, es::kReadAll);
    w.tick(2);
    EXPECT_EQ(w.lastWritten(), request(5, 3, 0, 68));
    EXPECT_EQ(view.status(), "Read All Parameters ,Please Wait ... ");
    w.port.queue(answer(5, 3, 68));
    w.tick();

    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
    EXPECT_EQ(w.host.intervals, (std::vector<int>{120, 200, 800}));
    EXPECT_EQ(w.t3.operations(), std::vector<std::string>{"Decode_Read_All"});
    EXPECT_EQ(view.status(), "Read All Parameters ,CRC Ok !");
    EXPECT_EQ(w.host.panel(1), "No.3 Slot ; ID = 5");
}

TEST_F(ParameterTransaction, writeWithThePortClosedBeepsAndReadsAllInstead) {
    w.port.setOpen(false);
    w.state.Engine_State = es::kWriteSend;
    w.tick();
    EXPECT_EQ(w.state.Engine_State, es::kReadAll);
    EXPECT_EQ(w.host.beeps, 1);
    EXPECT_EQ(w.host.panel(2), "Serial port is not open !");
    EXPECT_TRUE(w.port.written.empty());
    EXPECT_TRUE(view.statusLog.empty());
}

TEST_F(ParameterTransaction, unansweredReadAllIsToldAndCallsNoDriver) {
    w.state.Engine_State = es::kReadAll;
    w.tick(3);
    EXPECT_EQ(view.status(), "Read All Parameters ,No Response !");
    EXPECT_TRUE(w.t3.calls.empty());
    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
}

TEST_F(ParameterTransaction, commitLetsTheDriverSetTheValueBeforeTheWriteIsQueued) {
    w.t3.writeValue = 65535 - 4;  // -5 as the line carries it
    w.state.Engine_State = es::kValuesCheck;
    EXPECT_TRUE(w.engine.commitParameter(17, view));
    EXPECT_EQ(w.state.Current_Register, 17);
    EXPECT_EQ(w.state.Write_Value, 65531);
    EXPECT_EQ(w.state.Engine_State, es::kWrite);
    ASSERT_EQ(w.t3.operations(), std::vector<std::string>{"Write_Parameter"});
    EXPECT_EQ(w.t3.calls[0].view, &view);
    w.tick(2);
    EXPECT_EQ(w.lastWritten(), request(5, 6, 17, 65531));
}

TEST_F(ParameterTransaction, failedCommitStoresNoState) {
    struct Refusing : ModelDriver {
        void Write_Parameter(DriverContext&) override { throw Error(13, "Type mismatch"); }
    } refusing;
    w.drivers.registerDriver("T3", refusing);
    w.state.Engine_State = es::kValuesCheck;
    EXPECT_THROW(w.engine.commitParameter(1, view), Error);
    EXPECT_EQ(w.state.Engine_State, es::kValuesCheck);

    w.state.Window_Slot = kNoWindowSlot;
    EXPECT_FALSE(w.engine.commitParameter(1, view));
    EXPECT_EQ(w.state.Engine_State, es::kValuesCheck);
}

// A window's work pre-empts live polling: the live answer in flight is never judged, and polling
// resumes with the slot it had asked.
struct PreEmptionRow {
    std::uint8_t state;
    std::vector<std::string> operations;  // what the window's work hands to the driver
};

void PrintTo(const PreEmptionRow& row, std::ostream* os) { *os << "state " << int(row.state); }

class PreEmption : public ::testing::TestWithParam<PreEmptionRow> {};

TEST_P(PreEmption, liveAnswerInFlightIsDroppedAndThatSlotIsAskedFirstAfterwards) {
    EngineWorld w;
    w.setSlot(2, "T3", "002");
    w.setSlot(9, "T3", "009");
    FakeParameterView view;
    w.views.open("T3", view);
    w.state.Window_Slot = 2;
    w.state.Current_Register = 1;
    w.state.Write_Value = 7;
    FakeScanList list;
    w.scanLists.list = &list;
    w.state.Saved_Baud = "19200";

    w.state.Engine_State = es::kStartPolling;
    w.tick(2);
    w.port.queue(answer(2, 4, 22));
    w.tick();
    ASSERT_EQ(w.lastWritten(), request(9, 4, 4096, 22));
    w.t3.calls.clear();

    w.port.queue(answer(9, 4, 22));  // arrives while the window's work runs
    w.state.Engine_State = GetParam().state;
    // The meters answer every request; a scan is stopped by the operator after a few probes.
    for (int ticks = 0; w.state.Engine_State != es::kStartPolling && ticks < 50; ++ticks) {
        const std::size_t sent = w.port.written.size();
        w.tick();
        if (w.port.written.size() > sent) {
            const Bytes& frame = w.lastWritten();
            w.port.queue(frame[1] == 6 ? frame : answer(frame[0], frame[1], frame[5]));
        }
        if (GetParam().state == es::kScanStart && ticks == 5) {
            w.state.serial.Baud_Rate = w.state.Saved_Baud;
            Open_Port(w.port, w.state.serial);
            w.state.Engine_State = es::kStartPolling;
            w.port.incoming.clear();
        }
    }
    ASSERT_EQ(w.state.Engine_State, es::kStartPolling);
    for (const auto& call : w.t3.calls) EXPECT_EQ(call.windowSlot, 2) << call.operation;
    EXPECT_EQ(w.t3.operations(), GetParam().operations);

    w.tick(2);
    EXPECT_EQ(w.lastWritten(), request(9, 4, 4096, 22));
}

INSTANTIATE_TEST_SUITE_P(Engine, PreEmption,
                         ::testing::Values(PreEmptionRow{es::kReadAll, {"Decode_Read_All"}},
                                           PreEmptionRow{es::kWrite, {"Decode_Read_One"}},
                                           PreEmptionRow{es::kScanStart, {}}),
                         [](const auto& info) { return "state" + std::to_string(info.param.state); });

}  // namespace
}  // namespace dalmora
