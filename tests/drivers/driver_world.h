#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "console/driver.h"
#include "console/shared_state.h"
#include "drivers/record_files.h"
#include "drivers/register_maps.h"
#include "drivers/table_driver.h"
#include "engine/engine_world.h"
#include "fakes/fake_engine_host.h"
#include "fakes/fake_record_fs.h"
#include "fakes/fake_tile_canvas.h"

namespace dalmora::testing {

// A meter's answer to a read (function 03 or 04) holding `words`, CRC appended.
inline Bytes readAnswer(std::uint8_t station, std::uint8_t function, const std::vector<std::uint16_t>& words) {
    Bytes bytes{station, function, static_cast<std::uint8_t>(2 * words.size())};
    for (const std::uint16_t word : words) {
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return withCrc(bytes);
}

// A T3 meter's live values, 4096 to 4117, with a known text for every register.
inline const std::vector<std::uint16_t> kT3Block{
    235,     // 4096 PV
    1500,    // 4097 SV
    456,     // 4098 output level
    0x00FF,  // 4099 work number
    0x0005,  // 4100 status: A1 and C1
    12345, 0,            // 4101-4102 ramp time: 1234.5 s
    0xFFFF, 0xFFFF,      // 4103-4104 alarm 1 delay: not running
    0, 1,                // 4105-4106 alarm 2 delay: 65536 tenths
    1500,    // 4107 SV0
    235,     // 4108 PV0
    0xFFF4,  // 4109 ET0 = -12
    0,       // 4110 ET1
    1000,    // 4111 Pout
    5,       // 4112 Iout
    0xFFFB,  // 4113 Dout = -5
    30,      // 4114 Pband
    1234,    // 4115 Arw
    32767,   // 4116 A/D 0
    0x8000,  // 4117 A/D 1 = -32768
};

// A ZC37 meter's live values, 4096 to 4112.
inline const std::vector<std::uint16_t> kZC37Block{
    0x0FA0,  // 4096 PV 4000
    0x0064,  // 4097 SV 100
    250,     // 4098 output level
    0x1234,  // 4099 work number
    0x000A,  // 4100 status
    600, 0,  // 4101-4102 alarm 1 delay: 60 s
    100,     // 4103 SV0
    4000,    // 4104 PV0
    1, 2, 3, 4, 5, 6,  // 4105 ET0 .. 4110 Pband
    100, 200,          // 4111, 4112 A/D
};

// One table driver with everything around it in memory: the clock stands at 11 Dec 2026
// 12:30:05, the record files are kept in a map.
struct DriverWorld {
    explicit DriverWorld(const ModelMap& model) : driver(model, writer) {}

    DriverContext context(ParameterView* view = nullptr) { return DriverContext{state, tiles, view, notifier}; }

    void setSlot(int index, const std::string& model, const std::string& station, std::int32_t dp = 0) {
        Slot& slot = state.slots.at(static_cast<std::size_t>(index));
        slot.Slot_Model = model;
        slot.Slot_ID = station;
        slot.Slot_Station = station;
        slot.Decimal_Point_Code = dp;
    }

    void decodeValues(int pollSlot, Bytes answer, ParameterView* view = nullptr) {
        state.Poll_Slot = static_cast<std::int16_t>(pollSlot);
        state.Receive_Buffer = std::move(answer);
        DriverContext c = context(view);
        driver.Decode_Values_Block(c);
    }

    void readAll(int windowSlot, Bytes answer, ParameterView& view) {
        state.Window_Slot = static_cast<std::int16_t>(windowSlot);
        state.Receive_Buffer = std::move(answer);
        DriverContext c = context(&view);
        driver.Decode_Read_All(c);
    }

    [[nodiscard]] std::string liveText(int reg) const { return driver.Live_Value_Table().text(reg); }

    SharedState state;
    FakeTileCanvas tiles;
    FakeNotifier notifier;
    FakeRecordFileSystem files;
    FakeLocalClock clock;
    FakeRecordIndicator indicator;
    RecordWriter writer{state, files, clock, notifier, indicator, "/meters"};
    TableDriver driver;
};

}  // namespace dalmora::testing
