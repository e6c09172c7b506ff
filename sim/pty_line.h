#pragma once

#include <termios.h>

#include <chrono>
#include <span>
#include <string>

#include "link/bytes.h"

namespace dalmora::sim {

// The line settings the console gave its end of the line.
struct LineSettings {
    int baud = 0;        // 0: a speed the meters never run at
    char parity = 'N';   // N, E, O, M or S
    int dataBits = 8;
    int stopBits = 1;

    // Start bit, data bits, parity bit, stop bits.
    [[nodiscard]] int bitsPerChar() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
    // Time one character takes on the wire; zero when the speed is unknown.
    [[nodiscard]] std::chrono::microseconds charTime() const {
        return baud > 0 ? std::chrono::microseconds(1'000'000LL * bitsPerChar() / baud)
                        : std::chrono::microseconds(0);
    }
};

[[nodiscard]] LineSettings settingsOf(const termios& t);

// The simulator's end of the line: the master side of a pseudo-terminal whose slave device is
// reached through a symbolic link, so that the console opens it like a serial port.
// The simulator keeps a descriptor of the slave open itself: when the console closes the port
// the line does not hang up, its settings stay, and the console can open it again.
class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Creates the pseudo-terminal and (re)places the link. Throws std::runtime_error.
    void open(const std::string& link);
    // Closes both sides and removes the link.
    void close();
    // Closes both sides and leaves the link leading nowhere: for the console the line is gone
    // and its port cannot be opened. Without the link the console's COMn would be the
    // computer's own n-th serial device, which opens and stays silent, so that the console
    // never sees the line fail and never comes back to it. close() or open() takes it away.
    void hangUp();
    [[nodiscard]] bool isOpen() const { return master_ >= 0; }
    [[nodiscard]] int masterFd() const { return master_; }
    [[nodiscard]] const std::string& device() const { return device_; }

    [[nodiscard]] LineSettings settings() const;
    // Everything the console has sent and the simulator not yet read.
    [[nodiscard]] Bytes read();
    // Puts bytes on the line; bytes the line cannot take are lost, as on a wire nobody reads.
    void write(std::span<const std::uint8_t> bytes);

private:
    void closeDevice();

    int master_ = -1;
    int slave_ = -1;
    std::string device_;
    std::string link_;
    std::string linkTarget_;  // what our link points at: the device, or nowhere after hangUp()
};

}  // namespace dalmora::sim
