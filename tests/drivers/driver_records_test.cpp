#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "driver_world.h"
#include "drivers/model_drivers.h"
#include "drivers/record_file_system_os.h"
#include "records/records_world.h"

namespace dalmora {
namespace {

using testing::EngineWorld;
using testing::FakeLocalClock;
using testing::FakeNotifier;
using testing::FakeRecordIndicator;
using testing::FakeTileCanvas;
using testing::kT3Block;
using testing::kZC37Block;
using testing::readAnswer;
using testing::readText;
using testing::RecordFolder;
namespace maps = register_maps;

// Table drivers writing real files into a program folder of their own; the clock stands at
// 11 Dec 2026 12:30:05.
struct RecordedDrivers {
    RecordFolder folder;
    SharedState state;
    FakeTileCanvas tiles;
    FakeNotifier notifier;
    OsRecordFileSystem files;
    FakeLocalClock clock;
    FakeRecordIndicator indicator;
    RecordWriter writer{state, files, clock, notifier, indicator, folder.path().string()};

    void meter(int slot, const char* model, const char* station, std::int32_t dp) {
        Slot& s = state.slots.at(static_cast<std::size_t>(slot));
        s.Slot_Model = model;
        s.Slot_ID = station;
        s.Slot_Station = station;
        s.Decimal_Point_Code = dp;
        s.Record_On = true;
    }

    void poll(TableDriver& driver, int slot, const std::vector<std::uint16_t>& block) {
        state.Poll_Slot = static_cast<std::int16_t>(slot);
        state.Receive_Buffer = readAnswer(1, 4, block);
        DriverContext context{state, tiles, nullptr, notifier};
        driver.Decode_Values_Block(context);
        driver.Paint_Panel(context);
    }
};

TEST(RecordFilesThroughTheDrivers, firstRowStartsAFileNamedAfterModelStationAndMinute) {
    RecordedDrivers r;
    TableDriver t3(maps::kT3, r.writer);
    TableDriver zc37(maps::kZC37, r.writer);
    r.meter(7, "T3", "7", 1);
    r.meter(8, "ZC37", "12", 2);
    r.poll(t3, 7, kT3Block);
    r.poll(zc37, 8, kZC37Block);
    r.clock.time.second = 6;
    r.poll(t3, 7, kT3Block);

    EXPECT_EQ(r.folder.names(), (std::set<std::string>{"T3 7 2612111230.Csv", "ZC37 12 2612111230.Csv"}));
    EXPECT_EQ(readText(r.folder.file("T3 7 2612111230.Csv")),
              "Time,PV0,SV0,OUT1,WKNO,FLAG,POUT,IOUT,DOUT,PBAND,ARW,RAMP_T,ALM1_T,ALM2_T,AD0,AD1\r\n"
              "12:30:05,23.5,150.0,45.6,00FF,0005,100.0,0.5,-0.5,3.0,123.4,20:34,-1,109:13,32767,-32768\r\n"
              "12:30:06,23.5,150.0,45.6,00FF,0005,100.0,0.5,-0.5,3.0,123.4,20:34,-1,109:13,32767,-32768\r\n");
    EXPECT_EQ(readText(r.folder.file("ZC37 12 2612111230.Csv")),
              "Time,PV,SV,OUTL,WKNO,FLAG,POUT,IOUT,DOUT,PBAND,ALM1_T,AD0,AD1\r\n"
              "12:30:05,400.0,10.0,25.0,1234,000A,0.3,0.4,0.5,0.6,01:00,100,200\r\n");
    EXPECT_TRUE(r.notifier.messages.empty());
}

TEST(RecordFilesThroughTheDrivers, aSlotWithRecordingOffGetsNoFile) {
    RecordedDrivers r;
    TableDriver t3(maps::kT3, r.writer);
    r.meter(0, "T3", "7", 1);
    r.state.slots[0].Record_On = false;
    for (int i = 0; i < 5; ++i) r.poll(t3, 0, kT3Block);
    EXPECT_TRUE(r.folder.names().empty());
}

// The console's own drivers, as the main window owns them, behind the engine: a Q71 meter is
// polled beside a T3 meter, both with recording on.
TEST(RecordFilesThroughTheEngine, aQ71SlotNeverGetsAFileNorATilePicture) {
    RecordFolder folder;
    EngineWorld e;
    FakeRecordIndicator indicator;
    ModelDrivers drivers(e.state, e.notifier, indicator, folder.path().string());
    drivers.registerInto(e.drivers);
    e.setSlot(0, "Q71", "001");
    e.setSlot(1, "T3", "007");
    e.state.slots[0].Record_On = true;
    e.state.slots[1].Record_On = true;
    e.state.Engine_State = engine_state::kStartPolling;
    e.tick(2);
    for (int round = 0; round < 3; ++round) {
        e.port.queue(readAnswer(1, 4, kT3Block));
        e.tick();
        e.port.queue(readAnswer(7, 4, kT3Block));
        e.tick();
    }
    const std::set<std::string> names = folder.names();
    ASSERT_EQ(names.size(), 1U);
    EXPECT_TRUE(std::regex_match(*names.begin(), std::regex(R"(T3 7 \d{10}\.Csv)"))) << *names.begin();
    EXPECT_EQ(drivers.records().Record_File_Name(0), "");
    EXPECT_EQ(drivers.records().Record_Row_Count(1), 3);
    for (const auto& drawn : e.tiles.drawn) EXPECT_EQ(drawn.slot, 1);
    EXPECT_EQ(e.tiles.drawn.size(), 3U * 12U);  // four cells per row, no dot at DP 0, four lamps
    EXPECT_EQ(drivers.driver("Q71")->Live_Value_Table().text(4096), "");
    EXPECT_EQ(drivers.driver("T3")->Live_Value_Table().text(4096), "235");
    EXPECT_TRUE(e.notifier.messages.empty());
}

}  // namespace
}  // namespace dalmora
