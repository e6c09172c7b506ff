#include "sim/register_map.h"

#include <algorithm>
#include <array>

namespace dalmora::sim {

namespace {

namespace live_blocks {
using enum Live;

// The live block of T3, N5 and Q71: 22 registers from 4096.
constexpr std::array kT3Live{
    Pv, Sv, Out1, WorkNo, Flag, RampTimeLow, RampTimeHigh, Alarm1TimeLow, Alarm1TimeHigh,
    Alarm2TimeLow, Alarm2TimeHigh, Sv0, Pv0, Error0, Error1, Pout, Iout, Dout, Pband, Arw, Ad0, Ad1,
};
static_assert(kT3Live.size() == 22);

// ZC37 has one alarm and no ramp: 17 registers.
constexpr std::array kZc37Live{
    Pv, Sv, Out1, WorkNo, Flag, Alarm1TimeLow, Alarm1TimeHigh, Sv0, Pv0, Error0, Error1,
    Pout, Iout, Dout, Pband, Ad0, Ad1,
};
static_assert(kZc37Live.size() == 17);

// HM15 and RWN5D8: 29 registers, SV in the middle of the block.
constexpr std::array kHm15Live{
    Pv, Out1, Out2, Flag, ModelCode, AlarmFlag, Alarm1TimeLow, Alarm1TimeHigh, Alarm2TimeLow,
    Alarm2TimeHigh, RoomTemp, Pv0, Sv0, Sv, Error0, Error1, Zero, Pband, Arw, Pout, Iout, Dout,
    CoolOut, Ad0, Ad1, Zero, Zero, Zero, Zero,
};
static_assert(kHm15Live.size() == 29);
}  // namespace live_blocks
using live_blocks::kHm15Live;
using live_blocks::kT3Live;
using live_blocks::kZc37Live;

namespace roles {
using enum Hold;

constexpr std::array<HoldingRole, 20> kT3Roles{{
    {0, Sv}, {1, PvOffset}, {2, OutLimit}, {3, Run}, {4, A1Sp}, {5, A1Hy}, {6, A1Fu}, {7, A1Md},
    {8, A1Dt}, {9, A2Sp}, {10, A2Hy}, {11, A2Fu}, {12, A2Md}, {13, A2Dt}, {17, Band},
    {23, CycleTime}, {33, Dp}, {41, SvOffset}, {42, Id}, {43, Baud},
}};

constexpr std::array<HoldingRole, 15> kZc37Roles{{
    {0, Sv}, {1, PvOffset}, {2, OutLimit}, {3, Run}, {4, A1Sp}, {5, A1Hy}, {6, A1Fu}, {7, A1Md},
    {8, A1Dt}, {9, Band}, {18, CycleTime}, {24, Dp}, {31, SvOffset}, {32, Id}, {33, Baud},
}};

constexpr std::array<HoldingRole, 18> kHm15Roles{{
    {0, Sv}, {1, A1Sp}, {2, A2Sp}, {5, OutLimit}, {6, Run}, {8, Band}, {11, CycleTime},
    {18, A1Hy}, {19, A2Hy}, {21, SvOffset}, {22, PvOffset}, {26, Dp}, {32, A1Fu}, {33, A1Md},
    {34, A2Fu}, {35, A2Md}, {36, Id}, {37, Baud},
}};
}  // namespace roles
using roles::kHm15Roles;
using roles::kT3Roles;
using roles::kZc37Roles;

// Choice registers only take the positions of their list.
constexpr std::array<Limit, 15> kT3Limits{{
    {3, 0, 6}, {6, 0, 13}, {7, 0, 3}, {11, 0, 13}, {12, 0, 3}, {28, 0, 13}, {31, 0, 3},
    {32, 0, 2}, {33, 0, 3}, {34, 0, 1}, {38, 0, 1}, {39, 0, 3}, {40, 0, 6}, {42, 1, 255},
    {43, 0, 3},
}};
constexpr std::array<Limit, 15> kN5Limits{{
    {3, 0, 4}, {6, 0, 13}, {7, 0, 3}, {11, 0, 13}, {12, 0, 3}, {28, 0, 13}, {31, 0, 3},
    {32, 0, 2}, {33, 0, 3}, {34, 0, 1}, {38, 0, 1}, {39, 0, 7}, {40, 0, 6}, {42, 1, 255},
    {43, 0, 3},
}};
constexpr std::array<Limit, 15> kQ71Limits{{
    {3, 0, 4}, {6, 0, 13}, {7, 0, 3}, {11, 0, 13}, {12, 0, 3}, {28, 0, 13}, {31, 0, 3},
    {32, 0, 2}, {33, 0, 3}, {34, 0, 1}, {38, 0, 1}, {39, 0, 15}, {40, 0, 6}, {42, 1, 255},
    {43, 0, 3},
}};
constexpr std::array<Limit, 12> kZc37Limits{{
    {3, 0, 4}, {6, 0, 13}, {7, 0, 3}, {19, 0, 13}, {22, 0, 3}, {23, 0, 2}, {24, 0, 3},
    {28, 0, 1}, {29, 0, 3}, {30, 0, 5}, {32, 1, 255}, {33, 0, 3},
}};

template <std::size_t A, std::size_t B>
constexpr std::array<Limit, A + B> join(const std::array<Limit, A>& a, const std::array<Limit, B>& b) {
    std::array<Limit, A + B> all{};
    std::ranges::copy(a, all.begin());
    std::ranges::copy(b, all.begin() + A);
    return all;
}

// Limits shared by HM15 and RWN5D8. Alarm functions take two ranges (A and B lists); the
// key lists take positions 0..22 and the codes 144..146.
constexpr std::array<Limit, 49> kHm15CommonLimits{{
    {3, 26, 28}, {4, 64, 65}, {6, 68, 70}, {23, 32, 47}, {24, 48, 59}, {25, 23, 25},
    {26, 82, 85}, {27, 66, 67}, {31, 80, 81}, {32, 71, 79}, {32, 151, 159}, {33, 90, 93},
    {34, 71, 79}, {34, 151, 159}, {35, 90, 93}, {36, 1, 255}, {37, 60, 63}, {94, 88, 89},
    {95, 86, 87}, {104, 0, 22}, {104, 144, 146}, {105, 0, 22}, {105, 144, 146},
    {106, 0, 22}, {106, 144, 146}, {107, 0, 22}, {107, 144, 146}, {108, 0, 22},
    {108, 144, 146}, {109, 0, 22}, {109, 144, 146}, {110, 0, 22}, {110, 144, 146},
    {111, 0, 22}, {112, 0, 22}, {113, 0, 22}, {114, 0, 22}, {115, 0, 22}, {116, 0, 22},
    {117, 0, 22}, {118, 0, 22}, {119, 0, 22}, {120, 0, 22}, {121, 0, 22}, {122, 0, 22},
    {123, 0, 22}, {124, 0, 22}, {125, 0, 22}, {139, 147, 150},
}};
// HM15 runs ten programs and picks a pattern from a list; RWN5D8 has four patterns and
// takes the pattern number as a plain number.
constexpr auto kHm15Limits =
    join(std::array<Limit, 2>{{{7, 102, 111}, {38, 29, 31}}}, kHm15CommonLimits);
constexpr auto kRwn5d8Limits = join(std::array<Limit, 1>{{{7, 103, 106}}}, kHm15CommonLimits);

// A meter fresh from the factory as the simulator shows it: SV 100.0, one decimal, alarm 1
// high at 120.0, alarm 2 low at 20.0, running. ID and baud come from the configuration.
constexpr std::array<InitialValue, 18> kT3Initial{{
    {0, 1000}, {2, 1000}, {3, 1}, {4, 1200}, {5, 10}, {6, 1}, {9, 200}, {10, 10}, {11, 2},
    {17, 300}, {18, 240}, {19, 60}, {23, 2}, {28, 1}, {30, 4000}, {33, 1}, {36, 4000}, {37, 10},
}};
constexpr std::array<InitialValue, 13> kZc37Initial{{
    {0, 1000}, {2, 1000}, {3, 1}, {4, 1200}, {5, 10}, {6, 1}, {9, 300}, {10, 240}, {11, 60},
    {18, 2}, {19, 1}, {24, 1}, {26, 4000},
}};
constexpr std::array<InitialValue, 28> kHm15Initial{{
    {0, 1000}, {1, 1200}, {2, 200}, {3, 26}, {4, 64}, {5, 1000}, {6, 69}, {7, 102}, {8, 300},
    {9, 240}, {10, 60}, {11, 2}, {18, 10}, {19, 10}, {23, 32}, {24, 49}, {25, 23}, {26, 83},
    {27, 66}, {29, 4000}, {31, 80}, {32, 72}, {33, 90}, {34, 73}, {35, 90}, {38, 29}, {94, 88},
    {95, 86},
}};
constexpr std::array<InitialValue, 28> kRwn5d8Initial{{
    {0, 1000}, {1, 1200}, {2, 200}, {3, 26}, {4, 64}, {5, 1000}, {6, 69}, {7, 103}, {8, 300},
    {9, 240}, {10, 60}, {11, 2}, {18, 10}, {19, 10}, {23, 32}, {24, 49}, {25, 23}, {26, 83},
    {27, 66}, {29, 4000}, {31, 80}, {32, 72}, {33, 90}, {34, 73}, {35, 90}, {38, 1}, {94, 88},
    {95, 86},
}};

constexpr LampBits kT3Lamps{.c1 = 0, .c2 = 1, .a1 = 2, .a2 = 3};
constexpr LampBits kHm15Lamps{.c1 = 2, .c2 = 3, .a1 = 0, .a2 = 1};

const std::array<ModelMap, 6> kModels{{
    {"T3", 64, 68, kT3Live, kT3Roles, kT3Limits, kT3Initial, Coding::Indexed, kT3Lamps},
    {"N5,N6,N8", 65, 68, kT3Live, kT3Roles, kN5Limits, kT3Initial, Coding::Indexed, kT3Lamps},
    {"Q71", 66, 70, kT3Live, kT3Roles, kQ71Limits, kT3Initial, Coding::Indexed, kT3Lamps},
    {"HM15", 67, 140, kHm15Live, kHm15Roles, kHm15Limits, kHm15Initial, Coding::Based, kHm15Lamps},
    {"RWN5D8", 69, 140, kHm15Live, kHm15Roles, kRwn5d8Limits, kRwn5d8Initial, Coding::Based,
     kHm15Lamps},
    {"ZC37", 70, 58, kZc37Live, kZc37Roles, kZc37Limits, kZc37Initial, Coding::Indexed, kT3Lamps},
}};

constexpr std::array<int, 4> kBauds{2400, 4800, 9600, 19200};
constexpr std::uint16_t kBasedDecimals = 82;
constexpr std::uint16_t kBasedBaud = 60;
constexpr std::uint16_t kBasedRunStop = 68;
constexpr std::uint16_t kBasedModePlain = 90;

}  // namespace

std::span<const ModelMap> allModels() { return kModels; }

const ModelMap* findModel(std::string_view name) {
    const auto it = std::ranges::find(kModels, name, &ModelMap::name);
    return it == kModels.end() ? nullptr : &*it;
}

const ModelMap& mapForCode(std::uint8_t code) {
    const auto it = std::ranges::find(kModels, code, &ModelMap::code);
    return it == kModels.end() ? kModels[0] : *it;
}

std::optional<std::uint16_t> roleRegister(const ModelMap& map, Hold role) {
    const auto it = std::ranges::find(map.roles, role, &HoldingRole::role);
    if (it == map.roles.end()) {
        return std::nullopt;
    }
    return it->reg;
}

bool valueAllowed(const ModelMap& map, std::uint16_t reg, std::uint16_t value) {
    bool limited = false;
    for (const Limit& limit : map.limits) {
        if (limit.reg != reg) {
            continue;
        }
        limited = true;
        if (value >= limit.low && value <= limit.high) {
            return true;
        }
    }
    return !limited;
}

int decimalsOf(const ModelMap& map, std::uint16_t raw) {
    if (map.coding == Coding::Based) {
        return raw >= kBasedDecimals && raw <= kBasedDecimals + 3 ? raw - kBasedDecimals : 0;
    }
    return raw <= 3 ? raw : 0;
}

std::uint16_t decimalsCode(const ModelMap& map, int decimals) {
    const auto d = static_cast<std::uint16_t>(std::clamp(decimals, 0, 3));
    return map.coding == Coding::Based ? static_cast<std::uint16_t>(kBasedDecimals + d) : d;
}

std::optional<int> baudOf(const ModelMap& map, std::uint16_t raw) {
    const int index = map.coding == Coding::Based ? raw - kBasedBaud : raw;
    if (index < 0 || index >= static_cast<int>(kBauds.size())) {
        return std::nullopt;
    }
    return kBauds[static_cast<std::size_t>(index)];
}

std::optional<std::uint16_t> baudCode(const ModelMap& map, int baud) {
    const auto it = std::ranges::find(kBauds, baud);
    if (it == kBauds.end()) {
        return std::nullopt;
    }
    const auto index = static_cast<std::uint16_t>(it - kBauds.begin());
    return map.coding == Coding::Based ? static_cast<std::uint16_t>(kBasedBaud + index) : index;
}

bool runs(const ModelMap& map, std::uint16_t raw) {
    return map.coding == Coding::Based ? raw != kBasedRunStop : raw != 0;
}

AlarmKind alarmKindOf(const ModelMap& map, std::uint16_t raw) {
    using enum AlarmKind;
    if (map.coding == Coding::Indexed) {
        // A.* and B.* lists: the same seven functions twice.
        constexpr std::array kKinds{None, High, Low, DeviationHigh, DeviationLow, BandOut, BandIn};
        return raw <= 13 ? kKinds[raw % kKinds.size()] : None;
    }
    // 71..79 and 151..159: nine functions, the last two timer outputs that no value lights.
    constexpr std::array kKinds{None, High, Low, DeviationHigh, DeviationLow, BandOut, BandIn,
                                None, None};
    if (raw >= 71 && raw <= 79) {
        return kKinds[raw - 71U];
    }
    if (raw >= 151 && raw <= 159) {
        return kKinds[raw - 151U];
    }
    return None;
}

AlarmMode alarmModeOf(const ModelMap& map, std::uint16_t raw) {
    const int index = map.coding == Coding::Based ? raw - kBasedModePlain : raw;
    switch (index) {
        case 1: return AlarmMode::Standby;
        case 2: return AlarmMode::Latch;
        case 3: return AlarmMode::StandbyLatch;
        default: return AlarmMode::Plain;
    }
}

}  // namespace dalmora::sim
