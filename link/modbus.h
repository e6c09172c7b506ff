#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/bytes.h"
#include "link/serial_port.h"

namespace dalmora {

// What a response was judged to be.
enum class ResponseResult : std::uint8_t {
    Accepted = 0,
    CrcError = 1,
    IllegalFunction = 2,     // exception code 1
    IllegalAddress = 3,      // exception code 2
    IllegalValue = 4,        // exception code 3
    Other = 5,               // any other shape: wrong length, another exception code
    NoResponse = 6,
};

// The engine's word for a result: "CRC Ok !", "No Response !", ...
[[nodiscard]] std::string_view resultWord(ResponseResult result);

inline constexpr std::uint16_t kFirstLiveRegister = 4096;  // from here on: input registers, function 04

// The function codes on the line and the exception codes a meter answers with.
inline constexpr std::uint8_t kReadHolding = 0x03;
inline constexpr std::uint8_t kReadInput = 0x04;
inline constexpr std::uint8_t kWriteSingle = 0x06;
inline constexpr std::uint8_t kIllegalFunction = 1;
inline constexpr std::uint8_t kIllegalAddress = 2;
inline constexpr std::uint8_t kIllegalValue = 3;

// The request being built and the last answer as received. Receive_Buffer[0] is the first byte.
struct LinkBuffers {
    std::array<std::uint8_t, 8> Send_Buffer{};
    Bytes Receive_Buffer;
};

// Read `count` registers from `reg` of `station` (function 03 below 4096, 04 from 4096 on).
// Drops whatever is waiting on the port first. Reports nothing: a closed port or a count that
// does not fit two bytes sends no frame; the next Check_Response then tells.
void Send_Read_Request(SerialPort& port, LinkBuffers& buffers, std::uint8_t station,
                       std::int16_t reg, std::int32_t count);

// Write one register (function 06). `value` 0 to 65535; negative 16-bit values come as value + 65536.
void Send_Write_Request(SerialPort& port, LinkBuffers& buffers, std::uint8_t station,
                        std::int16_t reg, std::int32_t value);

// Reads everything received since the request into Receive_Buffer and judges it. No waiting.
// A port failure is thrown to the caller.
[[nodiscard]] ResponseResult Check_Response(SerialPort& port, LinkBuffers& buffers);

// Trims the text; a single digit 0-9 or A-F gets a leading "0".
void Pad_Hex_Digit(std::string& text);

}  // namespace dalmora
