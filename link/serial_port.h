#pragma once

#include <string>

#include "link/bytes.h"

namespace dalmora {

// The one serial port of the console. Every failing operation throws Error with one of the
// port error numbers (8002, 8012, 8018, 8020, 8021) or another number with a description.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // number: the n of COMn; settings: "19200,N,8,2" (baud, parity letter, data bits, stop bits).
    virtual void open(int number, const std::string& settings) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;
    virtual void write(const Bytes& bytes) = 0;
    // Everything received since the last read, and forget it; empty when nothing arrived.
    [[nodiscard]] virtual Bytes readAll() = 0;
};

}  // namespace dalmora
