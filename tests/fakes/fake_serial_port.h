#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace dalmora::testing {

// A serial port that records what was written and hands out prepared bytes.
class FakeSerialPort : public SerialPort {
public:
    void open(int number, const std::string& settings) override {
        if (openError) throw Error(*openError, "open failed");
        opened.push_back({number, settings});
        open_ = true;
    }
    void close() override {
        if (closeError) throw Error(*closeError, "close failed");
        ++closeCount;
        open_ = false;
    }
    [[nodiscard]] bool isOpen() const override { return open_; }
    void write(const Bytes& bytes) override {
        if (!open_) throw Error(error_number::kPortNotOpen, "Operation valid only when the port is open");
        written.push_back(bytes);
    }
    [[nodiscard]] Bytes readAll() override {
        if (readError) throw Error(*readError, "read failed");
        if (!open_) throw Error(error_number::kPortNotOpen, "Operation valid only when the port is open");
        Bytes bytes;
        if (!incoming.empty()) {
            bytes = std::move(incoming.front());
            incoming.pop_front();
        }
        return bytes;
    }

    // What the next readAll calls return, one entry per call.
    void queue(Bytes bytes) { incoming.push_back(std::move(bytes)); }
    void setOpen(bool open) { open_ = open; }

    struct OpenCall {
        int number;
        std::string settings;
    };
    std::vector<OpenCall> opened;
    std::vector<Bytes> written;
    std::deque<Bytes> incoming;
    std::optional<int> openError;
    std::optional<int> closeError;
    std::optional<int> readError;
    int closeCount = 0;

private:
    bool open_ = false;
};

// "01 03 00 00" -> bytes
inline Bytes hexBytes(const std::string& text) {
    Bytes bytes;
    std::string digits;
    for (char c : text) {
        if (c != ' ') digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace dalmora::testing
