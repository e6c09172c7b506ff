#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace dalmora::sim {

inline constexpr std::uint16_t kLiveBase = 4096;           // first input register of the live block
inline constexpr std::uint16_t kModelCodeRegister = 7936;  // model code in the high byte

// What a holding register means to the simulated controller. Registers without a role are
// plain storage: they read back what was written.
enum class Hold : std::uint8_t {
    Sv, PvOffset, SvOffset, OutLimit, Run, CycleTime, Band,
    A1Sp, A1Hy, A1Fu, A1Md, A1Dt, A2Sp, A2Hy, A2Fu, A2Md, A2Dt,
    Dp, Id, Baud,
};

// What an input register of the live block shows.
enum class Live : std::uint8_t {
    Zero, Pv, Sv, Out1, Out2, WorkNo, Flag, ModelCode, AlarmFlag,
    RampTimeLow, RampTimeHigh, Alarm1TimeLow, Alarm1TimeHigh, Alarm2TimeLow, Alarm2TimeHigh,
    Sv0, Pv0, Error0, Error1, Pout, Iout, Dout, CoolOut, Pband, Arw, Ad0, Ad1, RoomTemp,
};

// How the family writes its choices: T3, N5, Q71 and ZC37 count list positions from 0;
// HM15 and RWN5D8 store codes from a base (DP 82..85, baud 60..63, RUN 68..70, alarms 71..).
enum class Coding : std::uint8_t { Indexed, Based };

struct HoldingRole {
    std::uint16_t reg;
    Hold role;
};

// A value range a register accepts; several rows for one register are alternatives.
struct Limit {
    std::uint16_t reg;
    std::uint16_t low;
    std::uint16_t high;
};

struct InitialValue {
    std::uint16_t reg;
    std::uint16_t value;
};

// Bit numbers of the lamps in the status word.
struct LampBits {
    std::uint8_t c1;
    std::uint8_t c2;
    std::uint8_t a1;
    std::uint8_t a2;
};

struct ModelMap {
    std::string_view name;
    std::uint8_t code;                    // the code reported in register 7936
    std::uint16_t holdingCount;           // holding registers 0 .. holdingCount-1
    std::span<const Live> live;           // input registers from 4096, in order
    std::span<const HoldingRole> roles;
    std::span<const Limit> limits;
    std::span<const InitialValue> initial;
    Coding coding;
    LampBits lamps;
};

enum class AlarmKind : std::uint8_t { None, High, Low, DeviationHigh, DeviationLow, BandOut, BandIn };
enum class AlarmMode : std::uint8_t { Plain, Standby, Latch, StandbyLatch };

// The six driven models, in the console's order: T3, N5, Q71, HM15, RWN5D8, ZC37.
[[nodiscard]] std::span<const ModelMap> allModels();
[[nodiscard]] const ModelMap* findModel(std::string_view name);
// The map a meter reporting `code` uses: a driven model's own, otherwise the T3 layout.
[[nodiscard]] const ModelMap& mapForCode(std::uint8_t code);

[[nodiscard]] std::optional<std::uint16_t> roleRegister(const ModelMap& map, Hold role);
[[nodiscard]] bool valueAllowed(const ModelMap& map, std::uint16_t reg, std::uint16_t value);

// Decoding of the coded registers by family.
[[nodiscard]] int decimalsOf(const ModelMap& map, std::uint16_t raw);   // 0..3
[[nodiscard]] std::optional<int> baudOf(const ModelMap& map, std::uint16_t raw);
[[nodiscard]] std::optional<std::uint16_t> baudCode(const ModelMap& map, int baud);
[[nodiscard]] std::uint16_t decimalsCode(const ModelMap& map, int decimals);
[[nodiscard]] bool runs(const ModelMap& map, std::uint16_t raw);
[[nodiscard]] AlarmKind alarmKindOf(const ModelMap& map, std::uint16_t raw);
[[nodiscard]] AlarmMode alarmModeOf(const ModelMap& map, std::uint16_t raw);

}  // namespace dalmora::sim
