#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dalmora {

// `User Setting.ini` is eight records of 128 bytes. A record is its texts one after the other,
// each a 16-bit little-endian length and that many 8-bit characters, then zero filler.
inline constexpr std::size_t kRecordSize = 128;
inline constexpr int kRecordCount = 8;

using RecordImage = std::array<std::uint8_t, kRecordSize>;

// The record of these texts, or nothing when they do not fit into 128 bytes with their length
// words (the caller reports "Bad record length" and leaves the file's record as it was).
[[nodiscard]] std::optional<RecordImage> encodeRecord(std::span<const std::string> texts);

// `count` texts read from the first 128 bytes of `bytes` (fewer when the file ended early).
// Never reads outside those bytes: a text whose length runs past them takes the bytes that are
// there, and every text after the last whole length word is empty.
[[nodiscard]] std::vector<std::string> decodeRecord(std::span<const std::uint8_t> bytes,
                                                    std::size_t count);

}  // namespace dalmora
