#pragma once

#include <cstdint>
#include <string>

#include "console/shared_state.h"
#include "link/serial_port.h"

namespace dalmora {

// The engine timer, as far as the core needs it.
class IntervalTimer {
public:
    virtual ~IntervalTimer() = default;
    virtual void setInterval(int milliseconds) = 0;
};

// One row of waiting times in ms, by baud rate.
struct TimingRow {
    std::uint16_t at2400;
    std::uint16_t at4800;
    std::uint16_t at9600;
    std::uint16_t at19200;
};

// The probe reads back one register, and at 2400 baud request, the meter's 3.5-character
// silence and the 7-byte reply take 85 ms with 8 data and 2 stop bits: 80 ms would cut every
// read-back short, so the probe waits 110 ms there.
inline constexpr TimingRow kProbeRow{110, 60, 40, 30};
inline constexpr TimingRow kPollRow{600, 400, 200, 100};
inline constexpr TimingRow kReadAllRow{3200, 1600, 800, 400};
inline constexpr TimingRow kWriteRow{160, 140, 120, 100};
inline constexpr TimingRow kParameterFileRow{100, 80, 70, 60};

// Applies the serial settings to the port. "CLOSE" leaves the port as it is; otherwise the port
// is closed and opened again as COMn with "baud,P,data,stop". Failures are ignored: a port that
// does not open stays closed and the engine finds out on its next use.
void Open_Port(SerialPort& port, const SerialSettings& serial);

// The settings text Open_Port opens the port with, e.g. "9600,E,7,1".
[[nodiscard]] std::string portSettingsText(const SerialSettings& serial);

// Sets the interval of the row's value for the baud rate; another baud text keeps the interval.
void Set_Poll_Interval(IntervalTimer& timer, const std::string& baudRate, const TimingRow& row);

}  // namespace dalmora
