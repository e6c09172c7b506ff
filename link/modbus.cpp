#include "link/modbus.h"

#include "link/crc.h"
#include "link/text.h"

namespace dalmora {

namespace {

constexpr std::size_t kExceptionLength = 5;
constexpr std::size_t kShortestData = 7;

// Builds and sends one 8-byte frame. Any failure ends it silently before the single write, so
// the line never carries half a request.
void sendFrame(SerialPort& port, LinkBuffers& buffers, std::uint8_t station, std::uint8_t function,
               std::int16_t reg, std::int32_t word) {
    try {
        (void)port.readAll();  // a late answer to an earlier request must not be judged as ours
        buffers.Receive_Buffer.clear();
        if (word < 0 || word > 0xFFFF) {
            return;
        }
        const auto address = static_cast<std::uint16_t>(reg);
        auto& frame = buffers.Send_Buffer;
        frame[0] = station;
        frame[1] = function;
        frame[2] = static_cast<std::uint8_t>(address >> 8);
        frame[3] = static_cast<std::uint8_t>(address & 0xFF);
        frame[4] = static_cast<std::uint8_t>(word >> 8);
        frame[5] = static_cast<std::uint8_t>(word & 0xFF);
        const std::uint16_t crc = crc16(std::span(frame).first(6));
        frame[6] = static_cast<std::uint8_t>(crc & 0xFF);
        frame[7] = static_cast<std::uint8_t>(crc >> 8);
        port.write(Bytes(frame.begin(), frame.end()));
    } catch (const Error&) {
        // Reported by the next Check_Response as no response or as the port's error.
    }
}

}  // namespace

std::string_view resultWord(ResponseResult result) {
    switch (result) {
        case ResponseResult::Accepted: return "CRC Ok !";
        case ResponseResult::CrcError: return "CRC Error !";
        case ResponseResult::IllegalFunction: return "Function Error !";
        case ResponseResult::IllegalAddress: return "Address Error !";
        case ResponseResult::IllegalValue: return "Data Error !";
        case ResponseResult::Other: return "??? Error !";
        case ResponseResult::NoResponse: return "No Response !";
    }
    return "??? Error !";
}

void Send_Read_Request(SerialPort& port, LinkBuffers& buffers, std::uint8_t station,
                       std::int16_t reg, std::int32_t count) {
    const bool parameter = reg < static_cast<std::int32_t>(kFirstLiveRegister);
    sendFrame(port, buffers, station, parameter ? kReadHolding : kReadInput, reg, count);
}

void Send_Write_Request(SerialPort& port, LinkBuffers& buffers, std::uint8_t station,
                        std::int16_t reg, std::int32_t value) {
    sendFrame(port, buffers, station, kWriteSingle, reg, value);
}

ResponseResult Check_Response(SerialPort& port, LinkBuffers& buffers) {
    buffers.Receive_Buffer = port.readAll();
    const Bytes& answer = buffers.Receive_Buffer;
    const std::size_t n = answer.size();

    if (n == 0) {
        return ResponseResult::NoResponse;
    }
    if (n != kExceptionLength && n < kShortestData) {
        return ResponseResult::Other;
    }
    const std::uint16_t crc = crc16(std::span(answer).first(n - 2));
    if (answer[n - 1] != (crc >> 8) || answer[n - 2] != (crc & 0xFF)) {
        return ResponseResult::CrcError;
    }
    if (n >= kShortestData) {
        return ResponseResult::Accepted;
    }
    if ((answer[1] & 0xF0) == 0x80) {
        switch (answer[2]) {
            case kIllegalFunction: return ResponseResult::IllegalFunction;
            case kIllegalAddress: return ResponseResult::IllegalAddress;
            case kIllegalValue: return ResponseResult::IllegalValue;
            default: break;
        }
    }
    return ResponseResult::Other;
}

void Pad_Hex_Digit(std::string& text) {
    text = std::string(trimmed(text));
    if (text.size() == 1) {
        const char c = text[0];
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
            text.insert(text.begin(), '0');
        }
    }
}

}  // namespace dalmora
