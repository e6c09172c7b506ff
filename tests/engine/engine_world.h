#pragma once

#include <cstdint>
#include <string>

#include "console/driver_table.h"
#include "console/engine.h"
#include "console/shared_state.h"
#include "fakes/fake_engine_host.h"
#include "fakes/fake_model_driver.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_tile_canvas.h"
#include "link/crc.h"

namespace dalmora::testing {

// Appends the CRC, low byte first, as a meter does.
inline Bytes withCrc(Bytes bytes) {
    const std::uint16_t crc = crc16(bytes);
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

// A request as the console puts it on the line.
inline Bytes request(std::uint8_t station, std::uint8_t function, int reg, int word) {
    return withCrc({station, function, static_cast<std::uint8_t>(reg >> 8), static_cast<std::uint8_t>(reg & 0xFF),
                    static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)});
}

// A meter's good answer to a read of `count` registers; register k holds `first` + k.
inline Bytes answer(std::uint8_t station, std::uint8_t function, int count, std::uint16_t first = 0x0100) {
    Bytes bytes{station, function, static_cast<std::uint8_t>(2 * count)};
    for (int k = 0; k < count; ++k) {
        const auto value = static_cast<std::uint16_t>(first + k);
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    return withCrc(bytes);
}

// A meter's exception answer: function with the high bit set, then the exception code.
inline Bytes exceptionAnswer(std::uint8_t station, std::uint8_t function, std::uint8_t code) {
    return withCrc({station, static_cast<std::uint8_t>(function | 0x80), code});
}

// The engine with fakes around it: the port open at 19200 baud, all slots empty, every model
// served by a recording driver, no parameter window and no scan list open.
struct EngineWorld {
    SharedState state;
    FakeSerialPort port;
    FakeEngineHost host;
    DriverTable drivers;
    FakeTileCanvas tiles;
    FakeNotifier notifier;
    FakeParameterViewProvider views;
    FakeScanListProvider scanLists;
    RecordingDriver t3, n5, q71, hm15, rwn5d8, zc37;
    PollEngine engine{state, port, host, drivers, tiles, notifier, views, scanLists};

    EngineWorld() {
        state.serial = SerialSettings{"COM1", "19200", "2", "8", "None"};
        port.setOpen(true);
        drivers.registerDriver("T3", t3);
        drivers.registerDriver("N5,N6,N8", n5);
        drivers.registerDriver("Q71", q71);
        drivers.registerDriver("HM15", hm15);
        drivers.registerDriver("RWN5D8", rwn5d8);
        drivers.registerDriver("ZC37", zc37);
    }

    // As the settings file leaves a slot: the station is the ID without leading zeros.
    void setSlot(int index, const std::string& model, const std::string& id) {
        Slot& slot = state.slots.at(static_cast<std::size_t>(index));
        slot.Slot_Model = model;
        slot.Slot_ID = id;
        const auto first = id.find_first_not_of('0');
        slot.Slot_Station = id == "---" ? "0" : (first == std::string::npos ? "0" : id.substr(first));
    }

    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) engine.tick();
    }

    [[nodiscard]] Bytes lastWritten() const { return port.written.empty() ? Bytes{} : port.written.back(); }
};

}  // namespace dalmora::testing
