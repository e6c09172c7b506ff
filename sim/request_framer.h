#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "link/bytes.h"

namespace dalmora::sim {

// Cuts the bytes a meter hears into request frames the way a slave on the line does: by the
// length the function code implies, checked by the CRC. A frame whose CRC fails is not a frame
// at all: the first byte is dropped and the rest read again, so a request that follows noise is
// still found. A silence of 3.5 characters ends whatever was being collected.
class RequestFramer {
public:
    // The line was silent for at least 3.5 characters before these bytes.
    void silence();
    void push(std::span<const std::uint8_t> bytes);
    // The next complete frame, if any. Bytes given up on the way are added to `dropped`.
    [[nodiscard]] std::optional<Bytes> next(Bytes& dropped);
    [[nodiscard]] bool empty() const { return pending_.empty(); }
    [[nodiscard]] std::size_t pending() const { return pending_.size(); }

private:
    Bytes pending_;
    Bytes abandoned_;  // cut off by a silence, reported with the next call of next()
};

// Length of the request that starts with these bytes, if it can be told yet.
[[nodiscard]] std::optional<std::size_t> requestLength(std::span<const std::uint8_t> start);

}  // namespace dalmora::sim
