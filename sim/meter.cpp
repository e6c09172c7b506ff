#include "sim/meter.h"

#include <algorithm>
#include <cmath>

#include "link/crc.h"
#include "link/modbus.h"

namespace dalmora::sim {

namespace {

constexpr std::array<std::string_view, 7> kFaultNames{
    "none", "silent", "crc", "short", "exception", "late", "garbage"};

std::uint16_t wordAt(std::span<const std::uint8_t> frame, std::size_t index) {
    return static_cast<std::uint16_t>((byteAt(frame, index) << 8) | byteAt(frame, index + 1));
}

std::uint16_t toRegister(double value) {
    const double clamped = std::clamp(std::nearbyint(value), -32768.0, 32767.0);
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(clamped));
}

double signedValue(std::uint16_t raw) { return static_cast<std::int16_t>(raw); }

Bytes exceptionReply(std::span<const std::uint8_t> request, std::uint8_t code) {
    return withCrc({byteAt(request, 0), static_cast<std::uint8_t>(byteAt(request, 1) | 0x80), code});
}

}  // namespace

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = crc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

std::optional<FaultKind> faultKindNamed(std::string_view name) {
    const auto it = std::ranges::find(kFaultNames, name);
    if (it == kFaultNames.end()) {
        return std::nullopt;
    }
    return static_cast<FaultKind>(it - kFaultNames.begin());
}

std::string_view faultName(FaultKind kind) { return kFaultNames.at(static_cast<std::size_t>(kind)); }

Meter::Meter(const MeterSetup& setup)
    : fault(setup.fault),
      map_(&mapForCode(setup.modelCode)),
      code_(setup.modelCode),
      holding_(map_->holdingCount, 0),
      noise_(setup.noise),
      ambient_(setup.ambient),
      timeConstantS_(std::max(setup.timeConstantS, 0.1)),
      random_(static_cast<std::mt19937::result_type>(setup.station)) {
    for (const InitialValue& v : map_->initial) {
        holding_.at(v.reg) = v.value;
    }
    if (const auto id = roleRegister(*map_, Hold::Id)) {
        holding_.at(*id) = static_cast<std::uint16_t>(setup.station);
    }
    if (const auto reg = roleRegister(*map_, Hold::Baud)) {
        holding_.at(*reg) = baudCode(*map_, setup.baud).value_or(0xFFFF);
    }
    // All at once: a delay written after its alarm would otherwise come too late.
    for (const InitialValue& v : setup.registers) {
        if (v.reg < holding_.size()) {
            holding_[v.reg] = v.value;
        }
    }
    pv_ = setup.pv.value_or(ambient_);
    shownPv_ = pv_;
    control();
    updateAlarms(0);
}

int Meter::station() const { return holding(Hold::Id); }

int Meter::baud() const { return baudOf(*map_, holding(Hold::Baud, 0xFFFF)).value_or(0); }

std::uint16_t Meter::holding(Hold role, std::uint16_t otherwise) const {
    const auto reg = roleRegister(*map_, role);
    return reg ? holding_.at(*reg) : otherwise;
}

double Meter::scale() const { return std::pow(10.0, decimalsOf(*map_, holding(Hold::Dp))); }

double Meter::display(Hold role) const { return signedValue(holding(role)) / scale(); }

bool Meter::running() const { return runs(*map_, holding(Hold::Run)); }

std::optional<Reply> Meter::respond(std::span<const std::uint8_t> request) {
    switch (fault.kind) {
        case FaultKind::None:
            return Reply{answer(request)};
        case FaultKind::Silent:
            return std::nullopt;
        case FaultKind::Exception:
            return Reply{exceptionReply(request, fault.exceptionCode)};
        case FaultKind::Late:
            return Reply{answer(request), fault.delayMs};
        case FaultKind::CrcError: {
            Bytes bytes = answer(request);
            bytes.back() ^= 0xFF;
            return Reply{bytes};
        }
        case FaultKind::Short: {
            Bytes bytes = answer(request);
            const std::uint8_t function = byteAt(request, 1);
            const bool read = function == kReadHolding || function == kReadInput;
            // A frame that is well formed but carries fewer registers than asked for; a write
            // gets its echo cut after the address's high byte.
            const std::size_t keep =
                read ? 3 + 2 * static_cast<std::size_t>(std::max(fault.registers, 0)) : 3;
            Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(keep, bytes.size() - 2)));
            if (read && cut.size() >= 3 && (cut[1] & 0x80) == 0) {
                cut[2] = static_cast<std::uint8_t>(cut.size() - 3);
            }
            return Reply{withCrc(cut)};
        }
        case FaultKind::Garbage: {
            (void)answer(request);  // the meter did its work; the line mangled the reply
            std::uniform_int_distribution<int> length(1, 24);
            std::uniform_int_distribution<int> byte(0, 255);
            Bytes noise(static_cast<std::size_t>(length(random_)));
            for (auto& b : noise) {
                b = static_cast<std::uint8_t>(byte(random_));
            }
            if (noise.size() >= 3) {
                const std::uint16_t crc = crc16(std::span(noise).first(noise.size() - 2));
                if (noise[noise.size() - 2] == (crc & 0xFF) && noise.back() == (crc >> 8)) {
                    noise.back() ^= 0xFF;  // noise never passes for a frame
                }
            }
            return Reply{noise};
        }
    }
    return std::nullopt;
}

Bytes Meter::answer(std::span<const std::uint8_t> request) {
    const std::uint8_t station = byteAt(request, 0);
    const std::uint8_t function = byteAt(request, 1);
    const std::uint16_t address = wordAt(request, 2);
    const std::uint16_t word = wordAt(request, 4);

    if (function == kReadHolding || function == kReadInput) {
        if (word == 0) {
            return exceptionReply(request, kIllegalValue);
        }
        const unsigned last = unsigned{address} + word;  // one past the last register read
        const bool mapped =
            function == kReadHolding
                ? last <= map_->holdingCount
                : (address >= kLiveBase && last <= kLiveBase + map_->live.size()) ||
                      (address == kModelCodeRegister && word == 1);
        if (!mapped) {
            return exceptionReply(request, kIllegalAddress);
        }
        // The byte count of a 140-register answer does not fit its byte; the meter sends the
        // low byte and the console goes by position, not by count.
        Bytes reply{station, function, static_cast<std::uint8_t>((2U * word) & 0xFF)};
        for (unsigned reg = address; reg < last; ++reg) {
            const std::uint16_t value = *readRegister(static_cast<std::uint16_t>(reg));
            reply.push_back(static_cast<std::uint8_t>(value >> 8));
            reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
        }
        return withCrc(reply);
    }
    if (function == kWriteSingle) {
        if (address >= map_->holdingCount) {
            return exceptionReply(request, kIllegalAddress);
        }
        if (!valueAllowed(*map_, address, word)) {
            return exceptionReply(request, kIllegalValue);
        }
        setRegister(address, word);
        return withCrc(Bytes(request.begin(), request.begin() + 6));
    }
    return exceptionReply(request, kIllegalFunction);
}

std::optional<std::uint16_t> Meter::readRegister(std::uint16_t reg) const {
    if (reg < holding_.size()) {
        return holding_[reg];
    }
    if (reg >= kLiveBase && reg < kLiveBase + map_->live.size()) {
        return live(map_->live[reg - kLiveBase]);
    }
    if (reg == kModelCodeRegister) {
        return static_cast<std::uint16_t>(code_ << 8);
    }
    return std::nullopt;
}

bool Meter::setRegister(std::uint16_t reg, std::uint16_t value) {
    if (reg >= holding_.size()) {
        return false;
    }
    holding_[reg] = value;
    // SV, DP and alarm settings show on the very next poll, not only after the next step.
    control();
    updateAlarms(0);
    return true;
}

void Meter::setProcessValue(double pv) {
    pv_ = pv;
    shownPv_ = pv;
    control();
    updateAlarms(0);
}

void Meter::advance(double seconds) {
    const double target = running() ? display(Hold::Sv) : ambient_;
    pv_ += (target - pv_) * (1.0 - std::exp(-seconds / timeConstantS_));
    shownPv_ = pv_;
    if (noise_ > 0) {
        shownPv_ += std::normal_distribution<double>(0.0, noise_)(random_);
    }
    const double cycle = holding(Hold::CycleTime);
    cyclePhase_ = cycle > 0 ? std::fmod(cyclePhase_ + seconds / cycle, 1.0) : 0.0;
    control();
    updateAlarms(seconds);
}

// A proportional loop around a fixed bias: enough for the output bar and the C lamps to move
// with the error the way the operator expects.
void Meter::control() {
    if (!running()) {
        out_ = 0;
        cool_ = 0;
        return;
    }
    const double band = std::max(signedValue(holding(Hold::Band, 300)) / 10.0, 0.1);
    const double error = display(Hold::Sv) - shownPv_;
    const double limit = std::clamp(signedValue(holding(Hold::OutLimit, 1000)) / 10.0, 0.0, 100.0);
    const double bias = display(Hold::Sv) > ambient_ ? 30.0 : 0.0;
    out_ = std::clamp(bias + error * 100.0 / band, 0.0, limit);
    cool_ = std::clamp(-error * 100.0 / band, 0.0, 100.0);
}

void Meter::updateAlarms(double seconds) {
    using enum Hold;
    updateAlarm(alarms_[0], A1Sp, A1Hy, A1Fu, A1Md, A1Dt, seconds);
    updateAlarm(alarms_[1], A2Sp, A2Hy, A2Fu, A2Md, A2Dt, seconds);
}

void Meter::updateAlarm(Alarm& alarm, Hold sp, Hold hy, Hold fu, Hold md, Hold dt, double seconds) {
    if (!roleRegister(*map_, sp) || !roleRegister(*map_, fu)) {
        return;
    }
    const double pv = shownPv_;
    const double sv = display(Hold::Sv);
    const double setpoint = display(sp);
    double excess = 0;  // above 0: the alarm condition holds
    switch (alarmKindOf(*map_, holding(fu))) {
        case AlarmKind::None: excess = -1; break;
        case AlarmKind::High: excess = pv - setpoint; break;
        case AlarmKind::Low: excess = setpoint - pv; break;
        case AlarmKind::DeviationHigh: excess = (pv - sv) - setpoint; break;
        case AlarmKind::DeviationLow: excess = (sv - pv) - setpoint; break;
        case AlarmKind::BandOut: excess = std::abs(pv - sv) - setpoint; break;
        case AlarmKind::BandIn: excess = setpoint - std::abs(pv - sv); break;
    }
    const AlarmMode mode = alarmModeOf(*map_, holding(md));
    const bool standbyMode = mode == AlarmMode::Standby || mode == AlarmMode::StandbyLatch;
    const bool latching = mode == AlarmMode::Latch || mode == AlarmMode::StandbyLatch;
    const double hysteresis = std::max(display(hy), 0.0);
    const bool condition = alarm.lit ? excess > -hysteresis : excess > 0;

    if (!condition) {
        alarm.standby = false;
        alarm.remainingS = -1;
        if (!latching) {
            alarm.lit = false;
        }
        return;
    }
    if (alarm.lit || (standbyMode && alarm.standby)) {
        return;
    }
    if (alarm.remainingS < 0) {
        alarm.remainingS = signedValue(holding(dt));
    }
    alarm.remainingS -= seconds;
    if (alarm.remainingS <= 0) {
        alarm.lit = true;
        alarm.remainingS = -1;
    }
}

std::uint16_t Meter::statusWord() const {
    const LampBits bits = map_->lamps;
    const double cycle = holding(Hold::CycleTime);
    const bool heating = cycle > 0 ? cyclePhase_ < out_ / 100.0 : out_ > 0;
    unsigned word = 0;
    word |= (heating ? 1U : 0U) << bits.c1;
    word |= (cool_ > 0 ? 1U : 0U) << bits.c2;
    word |= (alarms_[0].lit ? 1U : 0U) << bits.a1;
    word |= (alarms_[1].lit ? 1U : 0U) << bits.a2;
    return static_cast<std::uint16_t>(word);
}

std::uint16_t Meter::live(Live role) const {
    const double s = scale();
    const auto timer = [](const Alarm& alarm) {
        // Tenths of a second in a 32-bit pair; all ones while no delay is counting.
        return alarm.remainingS < 0 ? 0xFFFFFFFFU
                                    : static_cast<std::uint32_t>(std::ceil(alarm.remainingS * 10));
    };
    const double sv = display(Hold::Sv);
    switch (role) {
        case Live::Zero: return 0;
        case Live::Pv:
            return toRegister(shownPv_ * s + signedValue(holding(Hold::PvOffset)));
        case Live::Sv:
            return toRegister(signedValue(holding(Hold::Sv)) + signedValue(holding(Hold::SvOffset)));
        case Live::Out1: return toRegister(out_ * 10);
        case Live::Out2:
        case Live::CoolOut: return toRegister(cool_ * 10);
        case Live::WorkNo: return 0;
        case Live::Flag: return statusWord();
        case Live::ModelCode: return static_cast<std::uint16_t>(code_ << 8);
        case Live::AlarmFlag:
            return static_cast<std::uint16_t>((alarms_[0].lit ? 1U : 0U) | (alarms_[1].lit ? 2U : 0U));
        case Live::RampTimeLow:
        case Live::RampTimeHigh: return 0xFFFF;
        case Live::Alarm1TimeLow: return static_cast<std::uint16_t>(timer(alarms_[0]) & 0xFFFF);
        case Live::Alarm1TimeHigh: return static_cast<std::uint16_t>(timer(alarms_[0]) >> 16);
        case Live::Alarm2TimeLow: return static_cast<std::uint16_t>(timer(alarms_[1]) & 0xFFFF);
        case Live::Alarm2TimeHigh: return static_cast<std::uint16_t>(timer(alarms_[1]) >> 16);
        case Live::Sv0: return toRegister(sv * 10);
        case Live::Pv0: return toRegister(shownPv_ * 10);
        case Live::Error0:
        case Live::Error1: return toRegister((sv - shownPv_) * 10);
        case Live::Pout: return toRegister((out_ - (sv > ambient_ ? 30.0 : 0.0)) * 10);
        case Live::Iout: return toRegister((sv > ambient_ && running() ? 30.0 : 0.0) * 10);
        case Live::Dout: return 0;
        case Live::Pband: return holding(Hold::Band, 300);
        case Live::Arw: return 1000;
        case Live::Ad0: return toRegister(4000 + shownPv_ * 20);
        case Live::Ad1: return toRegister(2000 + ambient_ * 8);
        case Live::RoomTemp: return toRegister(ambient_ * 10);
    }
    return 0;
}

}  // namespace dalmora::sim
