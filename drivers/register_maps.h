#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "console/driver_table.h"
#include "drivers/register_map.h"

// The register maps of T3, the N5/N6/N8 family, Q71 and ZC37. T3 is written out; N5 and Q71 are
// T3 with their differences, which are all that is stated of them here.
namespace dalmora::register_maps {

using sv = std::string_view;

// ---- Choice lists (value 0 first) -------------------------------------------------------------

inline constexpr std::array<sv, 7> kT3Run{"OFF", "ON", "AT1", "AT2", "MAN", "PROG", "HOLD"};
inline constexpr std::array<sv, 5> kShortRun{"OFF", "ON", "AT1", "AT2", "MAN"};  // no PROG, HOLD
inline constexpr std::array<sv, 14> kAlarmFunction{
    "A.OFF", "A.HI", "A.LO", "A.DIH", "A.DILl", "A.BDH", "A.BDL",
    "B.OFF", "B.HI", "B.LO", "B.DIH", "B.DIL", "B.BDH", "B.BDL"};
inline constexpr std::array<sv, 4> kAlarmMode{"NONE", "STDY", "LATH", "STAL"};
inline constexpr std::array<sv, 14> kInputType{
    "TC_J", "TC_K", "TC_T", "TC_E", "TC_B", "TC_R", "TC_S",
    "TC_N", "TC_C", "PT_DPT", "PT_JPT", "LINE_mA", "LINE_mV", "LINE_V"};
inline constexpr std::array<sv, 4> kCut{"NONE", "LO", "HI", "HILO"};
inline constexpr std::array<sv, 3> kUnit{"oC", "oF", "ENG"};
inline constexpr std::array<sv, 4> kDecimalPoint{"0000.", "000.0", "00.00", "0.000"};
inline constexpr std::array<sv, 2> kAction{"REV", "DIR"};
inline constexpr std::array<sv, 2> kTimeUnit{"MM:SS", "HH:MM"};
// Four-bit switch settings; each model offers the first n of them.
inline constexpr std::array<sv, 16> kBits{"0000", "0001", "0010", "0011", "0100", "0101",
                                          "0110", "0111", "1000", "1001", "1010", "1011",
                                          "1100", "1101", "1110", "1111"};
inline constexpr auto kBits4 = std::span(kBits).first<4>();
inline constexpr auto kBits6 = std::span(kBits).first<6>();
inline constexpr auto kBits7 = std::span(kBits).first<7>();
inline constexpr auto kBits8 = std::span(kBits).first<8>();
inline constexpr std::array<sv, 4> kBaud{"2400", "4800", "9600", "19200"};

// ---- T3 ---------------------------------------------------------------------------------------

using enum Format;

inline constexpr sv kControl = "Control Settings";
inline constexpr sv kAlarm1 = "Alarm 1";
inline constexpr sv kAlarm2 = "Alarm 2";
inline constexpr sv kHeating = "P.I.D Heating";
inline constexpr sv kCooling = "P.I.D Cooling";
inline constexpr sv kInput = "Input Type";
inline constexpr sv kMeasurement = "Measurement Unit";
inline constexpr sv kRange = "Measurement range";
inline constexpr sv kComm = "Communication settings";
inline constexpr sv kOutput = "Output Settings";

// Parameters 0 to 67: one read-all of 68 registers. The meter's baud rate (43) and its
// calibration (56 to 67) are shown but never written: a wrong baud rate would cut the meter off
// the line, and the calibration belongs to the factory.
inline constexpr std::array<RegisterSpec, 68> kT3Parameters{{
    {0, "SV", kControl, Fmt_DP},
    {1, "PVOF", kControl, Fmt_DP},
    {2, "OUTL", kControl, Fmt_Tenths},
    {3, "RUN", kControl, Fmt_Choice, kT3Run},
    {4, "A1SP", kAlarm1, Fmt_DP},
    {5, "A1HY", kAlarm1, Fmt_DP},
    {6, "A1FU", kAlarm1, Fmt_Choice, kAlarmFunction},
    {7, "A1MD", kAlarm1, Fmt_Choice, kAlarmMode},
    {8, "A1DT", kAlarm1, Fmt_Integer},
    {9, "A2SP", kAlarm2, Fmt_DP},
    {10, "A2HY", kAlarm2, Fmt_DP},
    {11, "A2FU", kAlarm2, Fmt_Choice, kAlarmFunction},
    {12, "A2MD", kAlarm2, Fmt_Choice, kAlarmMode},
    {13, "A2DT", kAlarm2, Fmt_Integer},
    {14, "RAMP", "Ramp", Fmt_DP},
    {15, "SOFT", "Soft-start", Fmt_Integer},
    {16, "SSV", "Soft-start", Fmt_DP},
    {17, "PB", kHeating, Fmt_Tenths},
    {18, "TI", kHeating, Fmt_Integer},
    {19, "TD", kHeating, Fmt_Integer},
    {20, "MR", kHeating, Fmt_Tenths},
    {21, "AR", kHeating, Fmt_Tenths},
    {22, "HYS", kHeating, Fmt_DP},
    {23, "CT", kHeating, Fmt_Integer},
    {24, "CPB", kCooling, Fmt_Tenths},
    {25, "CHYS", kCooling, Fmt_DP},
    {26, "DB", kCooling, Fmt_DP},
    {27, "CCT", kCooling, Fmt_Integer},
    {28, "TYPE", kInput, Fmt_Choice, kInputType},
    {29, "SCAL", kMeasurement, Fmt_DP},
    {30, "SCAH", kMeasurement, Fmt_DP},
    {31, "CUT", kMeasurement, Fmt_Choice, kCut},
    {32, "UNIT", kMeasurement, Fmt_Choice, kUnit},
    {33, "DP", kMeasurement, Fmt_Choice, kDecimalPoint},
    {34, "ACT", "Control Action", Fmt_Choice, kAction},
    {35, "LOLT", kRange, Fmt_DP},
    {36, "HILT", kRange, Fmt_DP},
    {37, "FILT", "Filter settings", Fmt_Tenths},
    {38, "PTME", "Time unit", Fmt_Choice, kTimeUnit},
    {39, "EROP", "Erop", Fmt_Choice, kBits4},
    {40, "LOCK", "Lock", Fmt_Choice, kBits7},
    {41, "SVOF", "SV Offset", Fmt_DP},
    {42, "ID", kComm, Fmt_Integer},
    {43, "BAUD", kComm, Fmt_Choice, kBaud, false},
    {44, "CH01", kOutput, Fmt_Integer},
    {45, "CL01", kOutput, Fmt_Integer},
    {46, "TCL", "T/C", Fmt_DP},
    {47, "TCH", "T/C", Fmt_DP},
    {48, "PTL", "PT", Fmt_DP},
    {49, "PTH", "PT", Fmt_DP},
    {50, "mAL", "mA", Fmt_Hundredths},
    {51, "mAH", "mA", Fmt_Hundredths},
    {52, "mVL", "mV", Fmt_Hundredths},
    {53, "mVH", "mV", Fmt_Hundredths},
    {54, "VL", "V", Fmt_Hundredths},
    {55, "VH", "V", Fmt_Hundredths},
    {56, "TCZERO", "T/C", Fmt_Hex16, {}, false},
    {57, "TCGAME", "T/C", Fmt_Hex16, {}, false},
    {58, "TCROOM", "T/C", Fmt_Hex16, {}, false},
    {59, "TCRCJC", "T/C", Fmt_Hex16, {}, false},
    {60, "PTGAIN", "PT", Fmt_Hex16, {}, false},
    {61, "PTRM", "PT", Fmt_Hex16, {}, false},
    {62, "mAGAIN", "mA", Fmt_Hex16, {}, false},
    {63, "mAOFFS", "mA", Fmt_Hex16, {}, false},
    {64, "mVGAIN", "mV", Fmt_Hex16, {}, false},
    {65, "mVOFFS", "mV", Fmt_Hex16, {}, false},
    {66, "VGAIN", "V", Fmt_Hex16, {}, false},
    {67, "VOFFS", "V", Fmt_Hex16, {}, false},
}};

// Live values 4096 to 4117: the block polled 22 registers at a time. The three times remaining
// are register pairs (low word first), kept under their second register.
inline constexpr std::array<RegisterSpec, 19> kT3LiveValues{{
    {4096, "PvPvof", {}, Fmt_DP, {}, false},   // red PV digits of the tile
    {4097, "SvSvof", {}, Fmt_DP, {}, false},   // green SV digits
    {4098, "Outl", {}, Fmt_Tenths, {}, false},
    {4099, "WkNo", {}, Fmt_Hex16, {}, false},
    {4100, "FLAG", {}, Fmt_Hex16, {}, false},  // status word: the lamps
    {4101, "Ramp_T", {}, Fmt_Time32, {}, false},
    {4103, "Alm1_T", {}, Fmt_Time32, {}, false},
    {4105, "Alm2_T", {}, Fmt_Time32, {}, false},
    {4107, "SV0", {}, Fmt_Tenths, {}, false},
    {4108, "PV0", {}, Fmt_Tenths, {}, false},
    {4109, "ET0", {}, Fmt_Tenths, {}, false},
    {4110, "ET1", {}, Fmt_Tenths, {}, false},
    {4111, "Pout", {}, Fmt_Tenths, {}, false},
    {4112, "Iout", {}, Fmt_Tenths, {}, false},
    {4113, "Dout", {}, Fmt_Tenths, {}, false},
    {4114, "Pband", {}, Fmt_Tenths, {}, false},
    {4115, "Arw", {}, Fmt_Tenths, {}, false},
    {4116, "A/D 0", {}, Fmt_Integer, {}, false},
    {4117, "A/D 1", {}, Fmt_Integer, {}, false},
}};

// ---- Differences --------------------------------------------------------------------------------

// A parameter of the base map with another choice list.
struct ChoiceChange {
    int address;
    std::span<const sv> choices;
};

// `base` with the choice lists of `changes` put in.
template <std::size_t N>
constexpr std::array<RegisterSpec, N> withChoices(const std::array<RegisterSpec, N>& base,
                                                  std::span<const ChoiceChange> changes) {
    std::array<RegisterSpec, N> table = base;
    for (const ChoiceChange& change : changes) {
        for (RegisterSpec& entry : table) {
            if (entry.address == change.address) entry.choices = change.choices;
        }
    }
    return table;
}

// N5, N6 and N8: no PROG and HOLD run modes; eight EROP settings.
inline constexpr std::array<ChoiceChange, 2> kN5Changes{{{3, kShortRun}, {39, kBits8}}};
inline constexpr auto kN5Parameters = withChoices(kT3Parameters, kN5Changes);

// Q71: T3's registers 0 to 45 with no PROG and HOLD and sixteen EROP settings; then a second
// output (46, 47); then T3's registers from 46 on, two places higher.
inline constexpr std::array<ChoiceChange, 2> kQ71Changes{{{3, kShortRun}, {39, kBits}}};
inline constexpr int kQ71FirstMoved = 46;
inline constexpr std::array<RegisterSpec, 2> kQ71SecondOutput{{
    {46, "CH02", kOutput, Fmt_Integer},
    {47, "CL02", kOutput, Fmt_Integer},
}};
inline constexpr auto kQ71Parameters = [] {
    constexpr std::size_t kCount = kT3Parameters.size() + kQ71SecondOutput.size();
    std::array<RegisterSpec, kCount> table{};
    const auto changed = withChoices(kT3Parameters, kQ71Changes);
    std::size_t at = 0;
    for (const RegisterSpec& entry : changed) {
        if (entry.address < kQ71FirstMoved) table[at++] = entry;
    }
    for (const RegisterSpec& entry : kQ71SecondOutput) table[at++] = entry;
    for (RegisterSpec entry : changed) {
        if (entry.address < kQ71FirstMoved) continue;
        entry.address += static_cast<int>(kQ71SecondOutput.size());
        table[at++] = entry;
    }
    return table;
}();

// ---- ZC37 -------------------------------------------------------------------------------------

// One alarm, the valve position limits POSL and POSH, no cooling. Parameters 0 to 57: one
// read-all of 58 registers; the baud rate (33) and the calibration (44 to 57) are never written.
inline constexpr std::array<RegisterSpec, 56> kZC37Parameters{{
    {0, "SV", kControl, Fmt_DP},
    {1, "PVOF", kControl, Fmt_DP},
    {2, "OUTL", kControl, Fmt_Tenths},
    {3, "RUN", kControl, Fmt_Choice, kShortRun},
    {4, "A1SP", kAlarm1, Fmt_DP},
    {5, "A1HY", kAlarm1, Fmt_DP},
    {6, "A1FU", kAlarm1, Fmt_Choice, kAlarmFunction},
    {7, "A1MD", kAlarm1, Fmt_Choice, kAlarmMode},
    {8, "A1DT", kAlarm1, Fmt_Integer},
    {9, "PB", kHeating, Fmt_Tenths},
    {10, "TI", kHeating, Fmt_Integer},
    {11, "TD", kHeating, Fmt_Integer},
    {12, "MR", kHeating, Fmt_Tenths},
    {13, "AR", kHeating, Fmt_Tenths},
    {14, "HYS", kHeating, Fmt_DP},
    {15, "DB", kHeating, Fmt_Tenths},
    {16, "POSL", kHeating, Fmt_Tenths},
    {17, "POSH", kHeating, Fmt_Tenths},
    {18, "CYCL", kHeating, Fmt_Integer},
    {19, "TYPE", kInput, Fmt_Choice, kInputType},
    {20, "SCAL", kMeasurement, Fmt_DP},
    {21, "SCAH", kMeasurement, Fmt_DP},
    {22, "CUT", kMeasurement, Fmt_Choice, kCut},
    {23, "UNIT", kMeasurement, Fmt_Choice, kUnit},
    {24, "DP", kMeasurement, Fmt_Choice, kDecimalPoint},
    {25, "LOLT", kRange, Fmt_DP},
    {26, "HILT", kRange, Fmt_DP},
    {27, "FILT", "Filter settings", Fmt_Tenths},
    {28, "PTME", "Time unit", Fmt_Choice, kTimeUnit},
    {29, "EROP", "Erop", Fmt_Choice, kBits4},
    {30, "LOCK", "Lock", Fmt_Choice, kBits6},
    {31, "SVOF", "SV Offset", Fmt_DP},
    {32, "ID", kComm, Fmt_Integer},
    {33, "BAUD", kComm, Fmt_Choice, kBaud, false},
    {34, "TCL", "T/C", Fmt_DP},
    {35, "TCH", "T/C", Fmt_DP},
    {36, "PTL", "PT", Fmt_DP},
    {37, "PTH", "PT", Fmt_DP},
    {38, "mAL", "mA", Fmt_Hundredths},
    {39, "mAH", "mA", Fmt_Hundredths},
    {40, "mVL", "mV", Fmt_Hundredths},
    {41, "mVH", "mV", Fmt_Hundredths},
    {42, "VL", "V", Fmt_Hundredths},
    {43, "VH", "V", Fmt_Hundredths},
    {44, "TCZERO", "T/C", Fmt_Hex16, {}, false},
    {45, "TCGAME", "T/C", Fmt_Hex16, {}, false},
    {46, "TCROOM", "T/C", Fmt_Hex16, {}, false},
    {47, "TCRCJC", "T/C", Fmt_Hex16, {}, false},
    {48, "PTGAIN", "PT", Fmt_Hex32, {}, false},  // 48-49, shown under 49
    {50, "PTRM", "PT", Fmt_Hex32, {}, false},    // 50-51, shown under 51
    {52, "mAGAIN", "mA", Fmt_Hex16, {}, false},
    {53, "mAOFFS", "mA", Fmt_Hex16, {}, false},
    {54, "mVGAIN", "mV", Fmt_Hex16, {}, false},
    {55, "mVOFFS", "mV", Fmt_Hex16, {}, false},
    {56, "VGAIN", "V", Fmt_Hex16, {}, false},
    {57, "VOFFS", "V", Fmt_Hex16, {}, false},
}};

// Live values 4096 to 4112: a block of 17 registers, one time remaining (the alarm's).
inline constexpr std::array<RegisterSpec, 16> kZC37LiveValues{{
    {4096, "PvPvof", {}, Fmt_DP, {}, false},
    {4097, "SvSvof", {}, Fmt_DP, {}, false},
    {4098, "Outl", {}, Fmt_Tenths, {}, false},
    {4099, "WkNo", {}, Fmt_Hex16, {}, false},
    {4100, "FLAG", {}, Fmt_Hex16, {}, false},
    {4101, "Alm1_T", {}, Fmt_Time32, {}, false},
    {4103, "SV0", {}, Fmt_Tenths, {}, false},
    {4104, "PV0", {}, Fmt_Tenths, {}, false},
    {4105, "ET0", {}, Fmt_Tenths, {}, false},
    {4106, "ET1", {}, Fmt_Tenths, {}, false},
    {4107, "Pout", {}, Fmt_Tenths, {}, false},
    {4108, "Iout", {}, Fmt_Tenths, {}, false},
    {4109, "Dout", {}, Fmt_Tenths, {}, false},
    {4110, "Pband", {}, Fmt_Tenths, {}, false},
    {4111, "A/D 0", {}, Fmt_Integer, {}, false},
    {4112, "A/D 1", {}, Fmt_Integer, {}, false},
}};

// ---- The models -------------------------------------------------------------------------------

inline constexpr ModelMap kT3{"T3", kT3Parameters, kT3LiveValues, 33, 55, kT3Record, kT3PanelInputs};
inline constexpr ModelMap kN5{"N5,N6,N8", kN5Parameters, kT3LiveValues, 33, 55, kN5Record, kT3PanelInputs};
// Q71 meters are polled like the others, but nothing is made of their live values.
inline constexpr ModelMap kQ71{"Q71", kQ71Parameters, {}, 33, 57, std::nullopt, std::nullopt};
inline constexpr ModelMap kZC37{"ZC37", kZC37Parameters, kZC37LiveValues, 24, 43, kZC37Record, kT3PanelInputs};

inline constexpr std::array<const ModelMap*, 4> kMaps{&kT3, &kN5, &kQ71, &kZC37};

// The map of that exact model name ("T3", "N5,N6,N8", "Q71", "ZC37"), or null for the models
// whose drivers are not table drivers and for no model at all.
[[nodiscard]] constexpr const ModelMap* findModelMap(std::string_view name) noexcept {
    for (const ModelMap* map : kMaps) {
        if (map->name == name) return map;
    }
    return nullptr;
}

// ---- Checks -----------------------------------------------------------------------------------

namespace checks {

// The entries follow each other without gap or overlap from `first`, and cover `count` registers.
constexpr bool contiguous(std::span<const RegisterSpec> table, int first, int count) {
    int next = first;
    for (const RegisterSpec& entry : table) {
        if (entry.address != next) return false;
        next += static_cast<int>(wordCount(entry.format));
    }
    return next == first + count;
}

// Lists exactly for the choice registers; writable only what a text or a list can give.
constexpr bool wellFormed(std::span<const RegisterSpec> table) {
    for (const RegisterSpec& entry : table) {
        if ((entry.format == Format::Fmt_Choice) != !entry.choices.empty()) return false;
        if (entry.writable && !isWritable(entry.format)) return false;
    }
    return true;
}

// Written are the registers 0 to `last` but `baud`; read back are the same and the baud rate.
constexpr bool writesUpToBut(const ModelMap& map, int last, int baud) {
    for (const RegisterSpec& entry : map.parameters) {
        const bool written = entry.address <= last && entry.address != baud;
        if (entry.writable != written) return false;
        if (entry.address <= map.lastReadBackRegister && wordCount(entry.format) != 1) return false;
    }
    return map.lastReadBackRegister == last;
}

// (The checks look registers up by value, not through pointers: the sanitizer build cannot
// evaluate pointer tests at compile time.)
constexpr int highestIndexOf(const ModelMap& map, int address) {
    for (const RegisterSpec& entry : map.parameters) {
        if (entry.address == address) return entry.highestIndex();
    }
    return -1;
}

constexpr std::string_view captionOf(const ModelMap& map, int address) {
    for (const RegisterSpec& entry : map.parameters) {
        if (entry.address == address) return entry.caption;
    }
    return {};
}

constexpr bool dpRegisterIsTheList(const ModelMap& map) {
    return captionOf(map, map.dpRegister) == "DP" && highestIndexOf(map, map.dpRegister) == 3;
}

// Every record column is a text the live-value decode makes.
constexpr bool recordsDecodedValues(const ModelMap& map) {
    if (!map.record) return map.liveValues.empty() && !map.panel;
    for (const int reg : map.record->Record_Columns.registers) {
        bool found = false;
        for (const RegisterSpec& entry : map.liveValues) found = found || entry.shownAt() == reg;
        if (!found) return false;
    }
    return true;
}

// The request sizes of the engine's model table.
constexpr bool matchesModelTable(const ModelMap& map) {
    for (const ModelInfo& info : kModels) {
        if (info.name != map.name) continue;
        return contiguous(map.parameters, 0, info.allParamCount) &&
               (map.liveValues.empty() ? !info.hasLiveValues
                                       : contiguous(map.liveValues, kFirstLiveRegister, info.liveCount));
    }
    return false;
}

constexpr bool allModels(bool (*check)(const ModelMap&)) {
    for (const ModelMap* map : kMaps) {
        if (!check(*map)) return false;
    }
    return true;
}

static_assert(allModels(matchesModelTable), "parameters and live values cover the blocks read");
static_assert(allModels([](const ModelMap& m) { return wellFormed(m.parameters) && wellFormed(m.liveValues); }));
static_assert(allModels(dpRegisterIsTheList));
static_assert(allModels(recordsDecodedValues));
static_assert(writesUpToBut(kT3, 55, 43) && writesUpToBut(kN5, 55, 43) && writesUpToBut(kQ71, 57, 43) &&
              writesUpToBut(kZC37, 43, 33));
static_assert(highestIndexOf(kT3, 3) == 6 && highestIndexOf(kT3, 28) == 13 && highestIndexOf(kT3, 38) == 1 &&
              highestIndexOf(kT3, 40) == 6);
static_assert(highestIndexOf(kN5, 3) == 4 && highestIndexOf(kN5, 39) == 7 && highestIndexOf(kN5, 40) == 6);
static_assert(highestIndexOf(kQ71, 3) == 4 && highestIndexOf(kQ71, 39) == 15);
static_assert(highestIndexOf(kZC37, 30) == 5 && highestIndexOf(kZC37, 3) == 4);
static_assert(captionOf(kQ71, 45) == "CL01" && captionOf(kQ71, 46) == "CH02" && captionOf(kQ71, 48) == "TCL" &&
              captionOf(kQ71, 69) == "VOFFS");

}  // namespace checks

}  // namespace dalmora::register_maps
