#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "console/notifier.h"
#include "console/settings_record.h"
#include "console/shared_state.h"

namespace dalmora {

inline constexpr const char* kSettingsFileName = "User Setting.ini";
inline constexpr std::string_view kMainLoadPlace = "At FM_Main_Load()";

// File failures of the settings file, numbered as the console reports them.
namespace settings_error {
inline constexpr int kDeviceIoError = 57;         // a read or write that failed part way
inline constexpr int kBadRecordNumber = 63;       // a record other than 1 to 8
inline constexpr int kPathFileAccessError = 75;   // the file cannot be opened or created
inline constexpr int kPathNotFound = 76;          // the program folder is not there
}  // namespace settings_error

// "<program folder>/User Setting.ini".
[[nodiscard]] std::filesystem::path settingsFilePath(const std::filesystem::path& programFolder);

// Texts in record n: five serial settings in record 1, one text per slot in the others.
[[nodiscard]] std::size_t recordTextCount(int record);

// The station a slot's ID stands for: "0" for "---" (blanks around it ignored) and for an ID
// that does not start with a digit, otherwise its leading number without leading zeros
// ("007" -> "7").
[[nodiscard]] std::string slotStationOf(const std::string& slotId);

// A decimal-point code from its record-7 text: the leading number rounded to an integer with
// halves to even; 0 for an empty or non-numeric text and for a number beyond 32 bits.
[[nodiscard]] std::int32_t decimalPointCodeOf(const std::string& text);

// Start-up: reads records 1 to 8 (creating the file when missing), fills in the defaults,
// writes the eight records back in place and runs Load_Slot_Table. Failures are reported
// "At FM_Main_Load()" and start-up goes on with what was read plus defaults. When the file is
// there but cannot be read, nothing is written back, so that records never seen are not lost.
void Load_Settings(SharedState& state, const std::filesystem::path& programFolder, Notifier& notifier);

// Gives every empty text its default: serial "COM1", "19200", "2", "8", "None"; models, IDs and
// descriptions "---". A reserved record (4 to 6) with an empty text gets "0" for its empty texts
// and is written from its texts from then on; record 7 keeps empty texts (they read as code 0).
void Apply_Default_Settings(SharedState& state);

// Per slot: Slot_Station from Slot_ID, Record_On off, Decimal_Point_Code from record 7.
void Load_Slot_Table(SharedState& state);

// Writes record n (1 to 8) of the file in place, creating the file when missing: 1, 2, 3, 8 from
// the serial settings and slots, 7 from the Decimal_Point_Code values, 4 to 6 as they were read.
// A record that does not fit 128 bytes is reported as error 59 and leaves the file's record as
// it was. Failures are reported with `place` (e.g. "At FM_TableSetting_Load()"); returns whether
// the record was written.
bool Save_Record(const SharedState& state, const std::filesystem::path& programFolder, int record,
                 Notifier& notifier, std::string_view place);

// Reads record n (1 to 8) of the file into the state, without defaults: a missing or short file
// gives empty texts. Record 7 goes to Decimal_Point_Texts (Load_Slot_Table makes codes of them). Failures are reported with `place` and leave the state as it was; returns
// whether the record was read.
bool Read_Record(SharedState& state, const std::filesystem::path& programFolder, int record,
                 Notifier& notifier, std::string_view place);

}  // namespace dalmora
