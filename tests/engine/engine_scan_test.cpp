#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_world.h"

namespace dalmora {
namespace {

using testing::answer;
using testing::EngineWorld;
using testing::exceptionAnswer;
using testing::FakeScanList;
using testing::request;
namespace es = engine_state;

TEST(Scan, fullScanProbesEveryStationAtFourBaudsAndGivesTheLineBack) {
    EngineWorld w;
    FakeScanList list;
    w.scanLists.list = &list;
    w.state.Saved_Baud = "19200";
    w.state.Scan_Baud_Index = 3;
    w.state.Scan_Station_Index = 99;
    w.state.Engine_State = es::kScanStart;

    int ticks = 0;
    do {
        w.tick();
        ++ticks;
    } while (w.state.Engine_State != es::kStartPolling && ticks < 5000);

    EXPECT_EQ(ticks, 1 + 4 * (1 + 255));
    ASSERT_EQ(w.port.written.size(), 4U * 255U);
    for (std::size_t k = 0; k < w.port.written.size(); ++k) {
        ASSERT_EQ(w.port.written[k], request(static_cast<std::uint8_t>(k % 255 + 1), 4, 7936, 1)) << k;
    }
    EXPECT_EQ(w.host.intervals, std::vector<int>{30});
    std::vector<std::string> settings;
    for (const auto& call : w.port.opened) settings.push_back(call.settings);
    EXPECT_EQ(settings, (std::vector<std::string>{"19200,N,8,2", "9600,N,8,2", "4800,N,8,2", "2400,N,8,2",
                                                  "19200,N,8,2"}));
    EXPECT_EQ(w.state.serial.Baud_Rate, "19200");
    EXPECT_EQ(list.caption, "Start");
    EXPECT_EQ(list.cellWrites, 4 * 255);
    EXPECT_EQ(list.cells.at({255, 3}), "---");
    EXPECT_EQ(w.host.beeps, 0);
}

// One probe judged: the cell of its station and baud, and the beeps the operator hears.
struct ProbeRow {
    const char* name;
    Bytes incoming;
    const char* cell;
    int beeps;
};

void PrintTo(const ProbeRow& row, std::ostream* os) { *os << row.name; }

Bytes probeWithBrokenCrc() {
    Bytes bytes = answer(7, 4, 1, 0x2100);
    bytes.back() ^= 0x40;
    return bytes;
}

class ScanProbe : public ::testing::TestWithParam<ProbeRow> {};

TEST_P(ScanProbe, fillsTheCellOfItsStationAndBaud) {
    const ProbeRow& row = GetParam();
    EngineWorld w;
    FakeScanList list;
    w.scanLists.list = &list;
    w.state.Model_Code_Table.fill("---");
    w.state.Model_Code_Table[0x21] = "HM15";
    w.state.Scan_Baud_Index = 2;
    w.state.Scan_Station_Index = 6;
    if (!row.incoming.empty()) w.port.queue(row.incoming);
    w.state.Engine_State = es::kScanCheck;

    w.tick();

    EXPECT_EQ(list.cells, (std::map<std::pair<int, int>, std::string>{{{7, 2}, row.cell}}));
    EXPECT_EQ(w.host.beeps, row.beeps);
    EXPECT_EQ(list.selectedRows, std::vector<int>{7});
    EXPECT_EQ(list.scrolledRows, std::vector<int>{7});
    EXPECT_EQ(w.port.written, std::vector<Bytes>{request(8, 4, 7936, 1)});
    EXPECT_EQ(w.state.Engine_State, es::kScanCheck);
}

INSTANTIATE_TEST_SUITE_P(
    Engine, ScanProbe,
    ::testing::Values(ProbeRow{"meterFound", answer(7, 4, 1, 0x2100), "HM15", 1},
                      ProbeRow{"crcError", probeWithBrokenCrc(), "CRC Error !", 2},
                      ProbeRow{"illegalFunction", exceptionAnswer(7, 4, 1), "??? Error !", 2},
                      ProbeRow{"illegalAddress", exceptionAnswer(7, 4, 2), "---", 0},
                      ProbeRow{"silence", {}, "---", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Scan, lastStationOfABaudMovesToTheNextBaud) {
    EngineWorld w;
    w.state.Scan_Baud_Index = 1;
    w.state.Scan_Station_Index = 254;
    w.state.Engine_State = es::kScanCheck;
    w.tick();
    EXPECT_EQ(w.state.Engine_State, es::kScanSend);
    EXPECT_EQ(w.state.Scan_Baud_Index, 2);
    EXPECT_EQ(w.state.Scan_Station_Index, 0);
    EXPECT_TRUE(w.port.written.empty());
    w.tick();
    EXPECT_EQ(w.state.serial.Baud_Rate, "4800");
    EXPECT_EQ(w.lastWritten(), request(1, 4, 7936, 1));
}

TEST(Scan, sendPastTheLastBaudGoesBackToPolling) {
    EngineWorld w;
    w.state.Scan_Baud_Index = 4;
    w.state.Engine_State = es::kScanSend;
    w.tick();
    EXPECT_EQ(w.state.Engine_State, es::kStartPolling);
    EXPECT_TRUE(w.port.written.empty());
    EXPECT_EQ(w.state.serial.Baud_Rate, "19200");
}

// The panel settings window may be closed while a scan runs; the probes go on without a list.
TEST(Scan, goesOnWithoutAnOpenScanList) {
    EngineWorld w;
    w.state.Scan_Station_Index = 3;
    w.port.queue(answer(4, 4, 1, 0x2100));
    w.state.Engine_State = es::kScanCheck;
    w.tick();
    EXPECT_EQ(w.host.beeps, 1);
    EXPECT_EQ(w.lastWritten(), request(5, 4, 7936, 1));
    EXPECT_EQ(w.state.Engine_State, es::kScanCheck);
}

}  // namespace
}  // namespace dalmora
