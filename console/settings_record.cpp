#include "console/settings_record.h"

#include <algorithm>

#include "link/bytes.h"

namespace dalmora {

std::optional<RecordImage> encodeRecord(std::span<const std::string> texts) {
    std::size_t total = 0;
    for (const std::string& text : texts) {
        total += 2 + text.size();
    }
    if (total > kRecordSize) return std::nullopt;

    RecordImage image{};  // the filler after the last text stays zero
    std::size_t at = 0;
    for (const std::string& text : texts) {
        image[at++] = static_cast<std::uint8_t>(text.size() & 0xFF);
        image[at++] = static_cast<std::uint8_t>(text.size() >> 8);
        for (char c : text) {
            image[at++] = static_cast<std::uint8_t>(c);
        }
    }
    return image;
}

std::vector<std::string> decodeRecord(std::span<const std::uint8_t> bytes, std::size_t count) {
    const std::span<const std::uint8_t> record = bytes.first(std::min(bytes.size(), kRecordSize));
    std::vector<std::string> texts(count);
    std::size_t at = 0;
    for (std::string& text : texts) {
        if (at + 2 > record.size()) break;  // no whole length word left: the rest stay empty
        const std::size_t length = byteAt(record, at) | (std::size_t{byteAt(record, at + 1)} << 8);
        at += 2;
        const std::size_t present = std::min(length, record.size() - at);
        text.reserve(present);
        for (std::size_t i = 0; i < present; ++i) {
            text.push_back(static_cast<char>(byteAt(record, at + i)));
        }
        at += present;
    }
    return texts;
}

}  // namespace dalmora
