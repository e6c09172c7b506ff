#pragma once

#include <cstdint>

#include "console/driver_table.h"
#include "console/engine_host.h"
#include "console/notifier.h"
#include "console/shared_state.h"
#include "link/serial_port.h"

namespace dalmora {

class TileCanvas;

// Engine_State codes. A window obtains work by storing one of kReadAll, kWrite, kWriteFromFile,
// kScanStart or kStartPolling; the others are the engine's own steps.
namespace engine_state {
inline constexpr std::uint8_t kReadBack = 3;        // interval: probe row
inline constexpr std::uint8_t kReadOneSend = 4;
inline constexpr std::uint8_t kReadOneCheck = 5;
inline constexpr std::uint8_t kReadAll = 6;         // interval: poll row
inline constexpr std::uint8_t kReadAllSend = 7;     // interval: read-all row, then send
inline constexpr std::uint8_t kReadAllCheck = 8;
inline constexpr std::uint8_t kStartPolling = 9;    // interval: poll row
inline constexpr std::uint8_t kValuesSend = 10;
inline constexpr std::uint8_t kValuesCheck = 11;
inline constexpr std::uint8_t kWrite = 12;          // interval: write row
inline constexpr std::uint8_t kWriteSend = 13;
inline constexpr std::uint8_t kWriteCheck = 14;
inline constexpr std::uint8_t kWriteFromFile = 15;  // interval: parameter-file row
inline constexpr std::uint8_t kScanStart = 18;      // interval: probe row
inline constexpr std::uint8_t kScanSend = 19;
inline constexpr std::uint8_t kScanCheck = 20;
}  // namespace engine_state

inline constexpr std::int16_t kModelCodeRegister = 7936;  // the scan probe: high byte = model code

// The one state machine behind all traffic on the line. Each tick of the main window's poll
// timer is one step: send a request, or judge the answer to the previous tick's request (often
// both). There is never more than one request on the line and nothing waits inside a tick: the
// timer interval is the meter's time to answer.
class PollEngine {
public:
    PollEngine(SharedState& state, SerialPort& port, EngineHost& host, DriverTable& drivers,
               TileCanvas& tiles, Notifier& notifier, ParameterViewProvider& views,
               ScanListProvider& scanLists);

    // One step, chosen by Engine_State. Never throws: a failure is reported in the main
    // window's status bar and polling starts again (state 9).
    void tick();

    // The parameter window's commit of one value (Enter in its box for `reg`): Current_Register
    // = reg, the window slot's model driver sets Write_Value from the window, and only then
    // state 12 is stored. An error of Write_Parameter goes to the window, with no state stored.
    // Returns false, and stores nothing, when Window_Slot holds no known model.
    bool commitParameter(int reg, ParameterView& view);

private:
    void step();
    void handleFailure(int number, const std::string& description);

    void Values_Send();
    void Values_Check();
    void Read_All_Send();
    void Read_All_Check();
    void Read_One_Send();
    void Read_One_Check();
    void Write_Send();
    void Write_Check();
    void Scan_Send();
    void Scan_Check();

    struct WindowTarget;
    [[nodiscard]] bool findWindowTarget(WindowTarget& target);
    void setInterval(const TimingRow& row);
    void advancePollSlot();

    SharedState& state_;
    SerialPort& port_;
    EngineHost& host_;
    DriverTable& drivers_;
    TileCanvas& tiles_;
    Notifier& notifier_;
    ParameterViewProvider& views_;
    ScanListProvider& scanLists_;
};

}  // namespace dalmora
