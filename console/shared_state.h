#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "link/modbus.h"

namespace dalmora {

inline constexpr int kSlotCount = 16;
inline constexpr std::int16_t kNoWindowSlot = 16;
inline constexpr const char* kNone = "---";

// The line settings as the operator chose them; all texts.
struct SerialSettings {
    std::string Port_Name;
    std::string Baud_Rate;
    std::string Stop_Bits;
    std::string Data_Bits;
    std::string Parity_Name;
};

// One of the sixteen meter places of the console.
struct Slot {
    std::string Slot_Model{kNone};
    std::string Slot_ID{kNone};
    std::string Slot_Description{kNone};
    std::string Slot_Station{"0"};       // derived from Slot_ID; "0" = no station
    bool Record_On = false;
    std::int32_t Decimal_Point_Code = 0;
};

// Everything the engine, the windows and the drivers share. It lives for the whole run, on the
// one GUI thread, and is handed around by reference.
struct SharedState : LinkBuffers {
    SerialSettings serial;
    std::array<Slot, kSlotCount> slots;

    // The settings file as read at start-up, where the texts are not kept in the slots. Record 7
    // (decimal-point codes as texts) turns into Decimal_Point_Code in Load_Slot_Table. Records 4
    // to 6 mean nothing here; their texts and their 128 bytes as read go back to the file
    // unchanged, so that files written by other versions keep them (an empty image = none kept).
    std::array<std::string, kSlotCount> Decimal_Point_Texts;
    std::array<std::array<std::string, kSlotCount>, 3> Reserved_Texts;
    std::array<std::vector<std::uint8_t>, 3> Reserved_Images;

    // Engine variables.
    std::uint8_t Engine_State = 0;
    std::int16_t Poll_Slot = 0;
    std::int16_t Window_Slot = kNoWindowSlot;
    std::int16_t Current_Register = 0;
    std::int32_t Write_Value = 0;
    int Scan_Baud_Index = 0;
    std::uint8_t Scan_Station_Index = 0;
    std::string Saved_Baud;

    std::array<std::string, 256> Model_Code_Table;
};

}  // namespace dalmora
