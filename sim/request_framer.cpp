#include "sim/request_framer.h"

#include "link/crc.h"

namespace dalmora::sim {

namespace {
constexpr std::uint8_t kWriteMultipleCoils = 0x0F;
constexpr std::uint8_t kWriteMultipleRegisters = 0x10;
constexpr std::size_t kPlainRequest = 8;  // station, function, two words, CRC
constexpr std::size_t kLongHeader = 7;    // station, function, address, count, byte count
}  // namespace

std::optional<std::size_t> requestLength(std::span<const std::uint8_t> start) {
    if (start.size() < 2) {
        return std::nullopt;
    }
    const std::uint8_t function = byteAt(start, 1);
    if (function == kWriteMultipleCoils || function == kWriteMultipleRegisters) {
        if (start.size() < kLongHeader) {
            return std::nullopt;
        }
        return kLongHeader + byteAt(start, 6) + 2;
    }
    // Reads, single writes and every other request a master might try: two words of data.
    return kPlainRequest;
}

void RequestFramer::silence() {
    abandoned_.insert(abandoned_.end(), pending_.begin(), pending_.end());
    pending_.clear();
}

void RequestFramer::push(std::span<const std::uint8_t> bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

std::optional<Bytes> RequestFramer::next(Bytes& dropped) {
    dropped.insert(dropped.end(), abandoned_.begin(), abandoned_.end());
    abandoned_.clear();
    while (true) {
        const auto length = requestLength(pending_);
        if (!length || pending_.size() < *length) {
            return std::nullopt;
        }
        const std::span<const std::uint8_t> frame(pending_.data(), *length);
        const std::uint16_t crc = crc16(frame.first(*length - 2));
        if (byteAt(frame, *length - 2) == (crc & 0xFF) && byteAt(frame, *length - 1) == (crc >> 8)) {
            Bytes request(frame.begin(), frame.end());
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(*length));
            return request;
        }
        dropped.push_back(pending_.front());
        pending_.erase(pending_.begin());
    }
}

}  // namespace dalmora::sim
