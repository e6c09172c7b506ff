#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string_view>
#include <vector>

#include "link/bytes.h"
#include "sim/register_map.h"

namespace dalmora::sim {

// How a station misbehaves on purpose, so that the console's handling of a bad line can be seen.
enum class FaultKind : std::uint8_t { None, Silent, CrcError, Short, Exception, Late, Garbage };

struct Fault {
    FaultKind kind = FaultKind::None;
    std::uint8_t exceptionCode = 2;  // Exception: the code sent back
    int delayMs = 300;               // Late: added before the reply starts
    int registers = 0;               // Short: registers in the shortened read reply
};

[[nodiscard]] std::optional<FaultKind> faultKindNamed(std::string_view name);
[[nodiscard]] std::string_view faultName(FaultKind kind);

struct MeterSetup {
    int station = 1;
    std::uint8_t modelCode = 64;
    int baud = 19200;
    std::optional<double> pv;    // starting process value in display units; the room otherwise
    double noise = 0.1;          // standard deviation of the PV jitter, display units
    double ambient = 25.0;       // where PV drifts when the control is off
    double timeConstantS = 10.0;
    std::vector<InitialValue> registers;  // holding registers over the model's defaults
    Fault fault;
};

// One reply as the meter puts it on the wire, and how much later than usual it starts.
struct Reply {
    Bytes bytes;
    int delayMs = 0;
};

// One controller: its holding registers, a crude heating loop behind them and the live block
// computed from that loop. Plain data and arithmetic; the line and the clock belong to the caller.
class Meter {
public:
    explicit Meter(const MeterSetup& setup);

    [[nodiscard]] int station() const;   // the ID register: a written ID takes effect at once
    [[nodiscard]] int baud() const;      // the baud register; 0 when it holds no valid code
    [[nodiscard]] const ModelMap& map() const { return *map_; }
    [[nodiscard]] std::uint8_t modelCode() const { return code_; }

    // The answer to a request frame addressed to this meter (CRC already checked), with the
    // station's fault applied; nothing when the meter stays silent.
    [[nodiscard]] std::optional<Reply> respond(std::span<const std::uint8_t> request);
    // The answer of a sound meter: a normal reply or an exception reply. A write is applied.
    [[nodiscard]] Bytes answer(std::span<const std::uint8_t> request);

    // Holding register, live register or the model-code register; nothing when unmapped.
    [[nodiscard]] std::optional<std::uint16_t> readRegister(std::uint16_t reg) const;
    // Sets a holding register as the front keys would: no range check. False when unmapped.
    bool setRegister(std::uint16_t reg, std::uint16_t value);
    void setProcessValue(double pv);
    // Lets `seconds` of process time pass.
    void advance(double seconds);

    Fault fault;

private:
    struct Alarm {
        bool lit = false;
        bool standby = true;     // waits for PV to leave the alarm zone once before it may light
        double remainingS = -1;  // delay still to run; -1 while no delay is counting
    };

    [[nodiscard]] std::uint16_t holding(Hold role, std::uint16_t otherwise = 0) const;
    [[nodiscard]] double scale() const;
    [[nodiscard]] double display(Hold role) const;  // a DP-scaled register in display units
    [[nodiscard]] std::uint16_t live(Live role) const;
    [[nodiscard]] std::uint16_t statusWord() const;
    [[nodiscard]] bool running() const;
    void control();
    void updateAlarms(double seconds);
    void updateAlarm(Alarm& alarm, Hold sp, Hold hy, Hold fu, Hold md, Hold dt, double seconds);

    const ModelMap* map_;
    std::uint8_t code_;
    std::vector<std::uint16_t> holding_;
    double pv_;          // the process itself
    double shownPv_;     // what the sensor reads, jitter included
    double noise_;
    double ambient_;
    double timeConstantS_;
    double out_ = 0;     // heating output, percent
    double cool_ = 0;    // cooling output, percent
    double cyclePhase_ = 0;
    std::array<Alarm, 2> alarms_{};
    std::mt19937 random_;
};

// A Modbus frame with its CRC appended, low byte first.
[[nodiscard]] Bytes withCrc(Bytes frame);

}  // namespace dalmora::sim
