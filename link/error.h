#pragma once

#include <stdexcept>
#include <string>

namespace dalmora {

// A run-time error as the console reports it: a number and a description. Port failures,
// short answers and file failures all travel as this, so that one handler can word them.
class Error : public std::runtime_error {
public:
    Error(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    [[nodiscard]] int number() const noexcept { return number_; }
    [[nodiscard]] std::string description() const { return what(); }

private:
    int number_;
};

// The error numbers the console tells apart.
namespace error_number {
inline constexpr int kSubscriptOutOfRange = 9;     // a byte or text that is not there
inline constexpr int kBadRecordLength = 59;        // a settings record that does not fit 128 bytes
inline constexpr int kPermissionDenied = 70;       // a record file held by another program
inline constexpr int kInvalidPortNumber = 8002;    // no such port
inline constexpr int kPortNotOpenDevice = 8012;    // the device is not open
inline constexpr int kPortNotOpen = 8018;          // operation valid only when the port is open
inline constexpr int kReadError = 8020;            // error reading the device
inline constexpr int kDeviceControlBlock = 8021;   // could not get the port's line settings
}  // namespace error_number

}  // namespace dalmora
