#include "console/engine.h"

#include <exception>
#include <string>

#include "console/slot_rules.h"
#include "link/modbus.h"
#include "link/text.h"

namespace dalmora {

namespace es = engine_state;

namespace {

constexpr std::string_view kScanBauds[] = {"19200", "9600", "4800", "2400"};
constexpr int kLastScanBaudIndex = 3;
constexpr std::uint8_t kLastScanStationIndex = 254;
// A failure that is no Error of ours (a library's exception) is told with this number.
constexpr int kInternalError = 51;

std::string slotText(int slot, std::string_view id) {
    return "No." + std::to_string(slot + 1) + " Slot ; ID = " + std::string(id);
}

bool isPortFailure(int number) {
    return number == error_number::kInvalidPortNumber || number == error_number::kPortNotOpen ||
           number == error_number::kReadError || number == error_number::kDeviceControlBlock;
}

}  // namespace

// The meter a parameter step talks to: the slot of the open parameter window, its model and
// that model's window.
struct PollEngine::WindowTarget {
    const DriverTable::Entry* entry = nullptr;
    ParameterView* view = nullptr;
    std::uint8_t station = 0;
};

PollEngine::PollEngine(SharedState& state, SerialPort& port, EngineHost& host, DriverTable& drivers,
                       TileCanvas& tiles, Notifier& notifier, ParameterViewProvider& views,
                       ScanListProvider& scanLists)
    : state_(state),
      port_(port),
      host_(host),
      drivers_(drivers),
      tiles_(tiles),
      notifier_(notifier),
      views_(views),
      scanLists_(scanLists) {}

void PollEngine::tick() {
    try {
        step();
    } catch (const Error& error) {
        handleFailure(error.number(), error.description());
    } catch (const std::exception& error) {
        handleFailure(kInternalError, error.what());
    } catch (...) {
        handleFailure(kInternalError, "Internal error");
    }
}

bool PollEngine::commitParameter(int reg, ParameterView& view) {
    if (state_.Window_Slot < 0 || state_.Window_Slot >= kSlotCount) return false;
    const DriverTable::Entry* entry =
        drivers_.find(state_.slots[static_cast<std::size_t>(state_.Window_Slot)].Slot_Model);
    if (entry == nullptr) return false;
    state_.Current_Register = static_cast<std::int16_t>(reg);
    DriverContext context{state_, tiles_, &view, notifier_};
    entry->driver->Write_Parameter(context);
    state_.Engine_State = es::kWrite;
    return true;
}

// Each state does one row; the next state is stored before the row's procedure runs, so a
// procedure that decides otherwise (a closed port, the end of a scan) has the last word.
void PollEngine::step() {
    switch (state_.Engine_State) {
        case es::kStartPolling:
            state_.Engine_State = es::kValuesSend;
            setInterval(kPollRow);
            break;
        case es::kValuesSend:
            Values_Send();
            break;
        case es::kValuesCheck:
            state_.Engine_State = es::kValuesCheck;
            Values_Check();
            break;
        case es::kReadAll:
            state_.Engine_State = es::kReadAllSend;
            setInterval(kPollRow);
            break;
        case es::kReadAllSend:
            state_.Engine_State = es::kReadAllCheck;
            setInterval(kReadAllRow);
            Read_All_Send();
            break;
        case es::kReadAllCheck:
            state_.Engine_State = es::kStartPolling;
            Read_All_Check();
            break;
        case es::kWrite:
            state_.Engine_State = es::kWriteSend;
            setInterval(kWriteRow);
            break;
        case es::kWriteFromFile:
            state_.Engine_State = es::kWriteSend;
            setInterval(kParameterFileRow);
            break;
        case es::kWriteSend:
            state_.Engine_State = es::kWriteCheck;
            Write_Send();
            break;
        case es::kWriteCheck:
            Write_Check();
            break;
        case es::kReadBack:
            state_.Engine_State = es::kReadOneSend;
            setInterval(kProbeRow);
            break;
        case es::kReadOneSend:
            state_.Engine_State = es::kReadOneCheck;
            Read_One_Send();
            break;
        case es::kReadOneCheck:
            state_.Engine_State = es::kStartPolling;
            Read_One_Check();
            break;
        case es::kScanStart:
            state_.Engine_State = es::kScanSend;
            state_.Scan_Baud_Index = 0;
            state_.Scan_Station_Index = 0;
            setInterval(kProbeRow);
            break;
        case es::kScanSend:
            state_.Engine_State = es::kScanCheck;
            Scan_Send();
            break;
        case es::kScanCheck:
            state_.Engine_State = es::kScanCheck;
            Scan_Check();
            break;
        default:
            break;
    }
}

// One handler for every failure of a tick: back to polling with an empty answer, then the
// port's own recovery. The rest of the failed step is dropped.
void PollEngine::handleFailure(int number, const std::string& description) {
    state_.Engine_State = es::kStartPolling;
    state_.Receive_Buffer.clear();
    try {
        if (isPortFailure(number) || number == error_number::kPortNotOpenDevice) {
            host_.setMainStatus(EngineHost::kStatusPanel,
                                "Serial port error ! ;error number = " + std::to_string(number));
            if (number == error_number::kPortNotOpenDevice) {
                if (port_.isOpen()) port_.close();
            } else {
                Open_Port(port_, state_.serial);
            }
        } else {
            host_.setMainStatus(EngineHost::kStatusPanel,
                                "at Timer_Read_Timer() ;Wrong code: " + std::to_string(number) +
                                    " ;Wrong reasons: " + description);
        }
    } catch (...) {
        // The recovery itself failed (a port that will not even close): the next tick tries again.
    }
}

void PollEngine::setInterval(const TimingRow& row) {
    Set_Poll_Interval(host_, state_.serial.Baud_Rate, row);
}

void PollEngine::advancePollSlot() {
    state_.Poll_Slot = static_cast<std::int16_t>((state_.Poll_Slot + 1) % kSlotCount);
}

void PollEngine::Values_Send() {
    if (state_.Poll_Slot < 0 || state_.Poll_Slot >= kSlotCount) state_.Poll_Slot = 0;
    for (int looked = 0; looked < kSlotCount; ++looked) {
        const int index = (state_.Poll_Slot + looked) % kSlotCount;
        const Slot& slot = state_.slots[static_cast<std::size_t>(index)];
        if (!isPollable(slot)) continue;
        state_.Poll_Slot = static_cast<std::int16_t>(index);
        state_.Engine_State = es::kValuesCheck;
        const DriverTable::Entry* entry = drivers_.find(slot.Slot_Model);
        Send_Read_Request(port_, state_, *stationOf(slot), static_cast<std::int16_t>(kFirstLiveRegister),
                          entry->model->liveCount);
        return;
    }
}

void PollEngine::Values_Check() {
    const ResponseResult result = Check_Response(port_, state_);
    const int slotIndex = state_.Poll_Slot;
    const Slot& slot = state_.slots.at(static_cast<std::size_t>(slotIndex));
    host_.setMainStatus(EngineHost::kSlotPanel, slotText(slotIndex, trimmed(slot.Slot_ID)));
    host_.setMainStatus(EngineHost::kStatusPanel, "Read PV ," + std::string(resultWord(result)));

    if (result == ResponseResult::Accepted) {
        const DriverTable::Entry* entry = drivers_.find(slot.Slot_Model);
        if (entry != nullptr && entry->model->hasLiveValues) {
            ParameterView* view =
                state_.Window_Slot == slotIndex ? views_.parameterView(entry->model->name) : nullptr;
            DriverContext context{state_, tiles_, view, notifier_};
            try {
                entry->driver->Decode_Values_Block(context);
                entry->driver->Paint_Panel(context);
            } catch (...) {
                // A meter whose answers its driver cannot read must not hold up the others:
                // after the recovery polling goes on with the next slot.
                advancePollSlot();
                throw;
            }
        }
    }
    advancePollSlot();
    Values_Send();
}

// The slot of the open parameter window, when a window is open for a meter that can be asked.
// A window closed after its request (Window_Slot 16), or a slot that lost its model or station
// meanwhile, leaves nothing to talk to: the step is dropped and polling resumes.
bool PollEngine::findWindowTarget(WindowTarget& target) {
    if (state_.Window_Slot < 0 || state_.Window_Slot >= kSlotCount) return false;
    const Slot& slot = state_.slots[static_cast<std::size_t>(state_.Window_Slot)];
    target.entry = drivers_.find(slot.Slot_Model);
    const auto station = stationOf(slot);
    if (target.entry == nullptr || !station) return false;
    target.view = views_.parameterView(target.entry->model->name);
    if (target.view == nullptr) return false;
    target.station = *station;
    return true;
}

void PollEngine::Read_All_Send() {
    WindowTarget target;
    if (!findWindowTarget(target)) {
        state_.Engine_State = es::kStartPolling;
        return;
    }
    target.view->setStatus("Read All Parameters ,Please Wait ... ");
    Send_Read_Request(port_, state_, target.station, 0, target.entry->model->allParamCount);
}

void PollEngine::Read_All_Check() {
    const ResponseResult result = Check_Response(port_, state_);
    WindowTarget target;
    if (!findWindowTarget(target)) {
        state_.Engine_State = es::kStartPolling;
        return;
    }
    const int pollSlot = state_.Poll_Slot;
    host_.setMainStatus(EngineHost::kSlotPanel,
                        slotText(pollSlot, state_.slots.at(static_cast<std::size_t>(pollSlot)).Slot_Station));
    if (result == ResponseResult::Accepted) {
        DriverContext context{state_, tiles_, target.view, notifier_};
        target.entry->driver->Decode_Read_All(context);
    }
    target.view->setStatus("Read All Parameters ," + std::string(resultWord(result)));
}

void PollEngine::Read_One_Send() {
    WindowTarget target;
    if (!findWindowTarget(target)) {
        state_.Engine_State = es::kStartPolling;
        return;
    }
    target.view->setStatus("Read " + target.view->caption(state_.Current_Register) + " ,Please Wait ... ");
    Send_Read_Request(port_, state_, target.station, state_.Current_Register, 1);
}

void PollEngine::Read_One_Check() {
    const ResponseResult result = Check_Response(port_, state_);
    WindowTarget target;
    if (!findWindowTarget(target)) {
        state_.Engine_State = es::kStartPolling;
        return;
    }
    if (result == ResponseResult::Accepted) {
        DriverContext context{state_, tiles_, target.view, notifier_};
        target.entry->driver->Decode_Read_One(context);
    }
    target.view->setStatus("Read " + target.view->caption(state_.Current_Register) + " ," +
                           std::string(resultWord(result)));
}

void PollEngine::Write_Send() {
    WindowTarget target;
    if (!findWindowTarget(target)) {
        state_.Engine_State = es::kStartPolling;
        return;
    }
    if (!port_.isOpen()) {
        // The operator's value cannot go out: show the meter's values as they stand.
        state_.Engine_State = es::kReadAll;
        host_.beep();
        host_.setMainStatus(EngineHost::kStatusPanel, "Serial port is not open !");
        return;
    }
    target.view->setStatus("Write " + target.view->caption(state_.Current_Register) + " ,Please Wait ... ");
    Send_Write_Request(port_, state_, target.station, state_.Current_Register, state_.Write_Value);
}

void PollEngine::Write_Check() {
    const ResponseResult result = Check_Response(port_, state_);
    WindowTarget target;
    if (!findWindowTarget(target)) {
        state_.Engine_State = es::kStartPolling;
        return;
    }
    // A write the meter took is read back; after any other answer all parameters are read
    // again, so the window shows what the meter really holds.
    state_.Engine_State = result == ResponseResult::Accepted ? es::kReadBack : es::kReadAll;
    target.view->setStatus("Write " + target.view->caption(state_.Current_Register) + " ," +
                           std::string(resultWord(result)));
}

void PollEngine::Scan_Send() {
    if (state_.Scan_Baud_Index < 0 || state_.Scan_Baud_Index > kLastScanBaudIndex) {
        state_.Engine_State = es::kStartPolling;
        return;
    }
    state_.serial.Baud_Rate = std::string(kScanBauds[state_.Scan_Baud_Index]);
    Open_Port(port_, state_.serial);
    Send_Read_Request(port_, state_, static_cast<std::uint8_t>(state_.Scan_Station_Index + 1),
                      kModelCodeRegister, 1);
}

void PollEngine::Scan_Check() {
    const ResponseResult result = Check_Response(port_, state_);
    const int row = state_.Scan_Station_Index + 1;
    std::string text;
    int beeps = 0;
    switch (result) {
        case ResponseResult::Accepted:
            text = state_.Model_Code_Table[byteAt(state_.Receive_Buffer, 3)];
            beeps = 1;
            break;
        case ResponseResult::CrcError:
            text = "CRC Error !";
            beeps = 2;
            break;
        case ResponseResult::IllegalFunction:
            text = "??? Error !";
            beeps = 2;
            break;
        default:
            text = "---";
            break;
    }
    ScanList* list = scanLists_.scanList();
    if (list != nullptr) list->setCell(row, state_.Scan_Baud_Index, text);
    for (int i = 0; i < beeps; ++i) host_.beep();
    if (list != nullptr) {
        list->selectRow(row);
        list->scrollToRow(row);
    }

    if (state_.Scan_Station_Index < kLastScanStationIndex) {
        ++state_.Scan_Station_Index;
        Send_Read_Request(port_, state_, static_cast<std::uint8_t>(state_.Scan_Station_Index + 1),
                          kModelCodeRegister, 1);
    } else if (state_.Scan_Baud_Index >= kLastScanBaudIndex) {
        if (list != nullptr) list->setStartStopCaption("Start");
        state_.serial.Baud_Rate = state_.Saved_Baud;
        Open_Port(port_, state_.serial);
        state_.Engine_State = es::kStartPolling;
    } else {
        ++state_.Scan_Baud_Index;
        state_.Scan_Station_Index = 0;
        state_.Engine_State = es::kScanSend;
    }
}

}  // namespace dalmora
