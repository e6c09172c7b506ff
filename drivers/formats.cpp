#include "drivers/formats.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "link/bytes.h"
#include "link/error.h"

namespace dalmora {

namespace {

constexpr std::array<std::int32_t, 4> kPowersOfTen{1, 10, 100, 1000};

// |value| as decimal digits, at least `width` of them (zeros in front).
std::string digitsOf(std::uint64_t magnitude, std::size_t width) {
    std::string digits = std::to_string(magnitude);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

// A signed number with at least two digits after its sign: 5 -> "05", -5 -> "-05", 125 -> "125".
std::string twoDigits(std::int64_t value) {
    const std::uint64_t magnitude =
        value < 0 ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
    return (value < 0 ? "-" : "") + digitsOf(magnitude, 2);
}

std::string hexWord(std::uint16_t word) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[word & 0xF];
        word = static_cast<std::uint16_t>(word >> 4);
    }
    return text;
}

// The meters count remaining times in tenths of a second over a register pair, low word first;
// all ones means "not running".
std::string timeText(std::uint16_t first, std::uint16_t second) {
    if (first == 0xFFFF && second == 0xFFFF) {
        return "-1";
    }
    const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(first) |
                                                 (static_cast<std::uint32_t>(second) << 16));
    const std::int64_t tenths = value;
    const std::int64_t seconds = tenths / 10;  // truncates towards zero, as the meter means it
    return twoDigits(seconds / 60) + ":" + twoDigits(seconds % 60);
}

bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 99;
}

// "&H1F" / "&O17": the digits after the prefix up to the first one that is not of the base.
double radixNumber(std::string_view digits, int base) {
    constexpr std::uint64_t kCap = std::uint64_t{1} << 62;  // far beyond anything writable
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = digitValue(c);
        if (digit >= base) {
            break;
        }
        value = value >= kCap ? kCap : value * static_cast<std::uint64_t>(base) +
                                           static_cast<std::uint64_t>(digit);
    }
    return static_cast<double>(value);
}

double decimalNumber(std::string_view text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::string number;  // what from_chars reads: digits, one point, an exponent
    bool anyDigit = false;
    bool seenPoint = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (isDigit(c)) {
            anyDigit = true;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        number.push_back(c);
    }
    if (!anyDigit) {
        return 0.0;
    }
    bool negativeExponent = false;
    if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e' || text[pos] == 'D' ||
                              text[pos] == 'd')) {
        std::size_t at = pos + 1;
        std::string exponent = "e";
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            negativeExponent = text[at] == '-';
            exponent.push_back(text[at]);
            ++at;
        }
        const std::size_t firstDigit = at;
        while (at < text.size() && isDigit(text[at])) {
            exponent.push_back(text[at]);
            ++at;
        }
        if (at > firstDigit) {  // an "E" without digits ends the number before it
            number += exponent;
        }
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc{}) {
        value = 0.0;
    }
    return negative ? -value : value;
}

}  // namespace

std::string formatFixed(std::int32_t value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 3) decimals = 3;
    const std::int64_t wide = value;
    const std::uint64_t magnitude =
        static_cast<std::uint64_t>(wide < 0 ? -wide : wide);
    const auto scale = static_cast<std::uint64_t>(kPowersOfTen[static_cast<std::size_t>(decimals)]);
    std::string text = value < 0 ? "-" : "";
    text += std::to_string(magnitude / scale);
    if (decimals > 0) {
        text += '.';
        text += digitsOf(magnitude % scale, static_cast<std::size_t>(decimals));
    }
    return text;
}

std::string decodeValue(Format format, std::span<const std::uint16_t> words, std::int32_t dp,
                        std::span<const std::string_view> choices) {
    if (words.size() < wordCount(format)) {
        throw Error(error_number::kSubscriptOutOfRange, "Subscript out of range");
    }
    const std::uint16_t first = words[0];
    switch (format) {
        case Format::Fmt_Integer:
        case Format::Fmt_Tenths:
        case Format::Fmt_Hundredths:
        case Format::Fmt_DP:
            return formatFixed(static_cast<std::int16_t>(first), decimalsOf(format, dp));
        case Format::Fmt_Choice: {
            const int highest = static_cast<int>(choices.size()) - 1;
            const int index = choiceIndex(first, highest);
            return static_cast<std::size_t>(index) < choices.size()
                       ? std::string(choices[static_cast<std::size_t>(index)])
                       : std::string();
        }
        case Format::Fmt_Hex16:
            return hexWord(first);
        case Format::Fmt_Hex32:
            return hexWord(words[1]) + hexWord(first);  // the second register holds the high word
        case Format::Fmt_Time32:
            return timeText(first, words[1]);
    }
    return {};
}

std::string decodeRegister(Format format, std::span<const std::uint8_t> answer, std::size_t k,
                           std::int32_t dp, std::span<const std::string_view> choices) {
    std::array<std::uint16_t, 2> words{};
    for (std::size_t i = 0; i < wordCount(format); ++i) {
        words[i] = registerAt(answer, k + i);
    }
    return decodeValue(format, std::span(words).first(wordCount(format)), dp, choices);
}

double leadingNumber(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (!isSkipped(c)) {
            compact.push_back(c);
        }
    }
    const std::string_view rest = compact;
    if (rest.size() >= 2 && rest[0] == '&') {
        if (rest[1] == 'H' || rest[1] == 'h') return radixNumber(rest.substr(2), 16);
        if (rest[1] == 'O' || rest[1] == 'o') return radixNumber(rest.substr(2), 8);
        return 0.0;
    }
    return decimalNumber(rest);
}

std::int32_t roundHalfEven(double value) noexcept {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    if (value >= kHighest) return std::numeric_limits<std::int32_t>::max();
    if (value <= kLowest) return std::numeric_limits<std::int32_t>::min();
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        rounded = below + 1.0;
    }
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::int32_t> encodeValue(Format format, std::string_view text, std::int32_t dp,
                                        std::span<const std::string_view> choices) {
    if (!isWritable(format)) {
        return std::nullopt;
    }
    if (format == Format::Fmt_Choice) {
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (choices[i] == text) {
                return static_cast<std::int32_t>(i);
            }
        }
        return -1;
    }
    const double scale = kPowersOfTen[static_cast<std::size_t>(decimalsOf(format, dp))];
    std::int32_t value = roundHalfEven(leadingNumber(text) * scale);
    // A register holds 16 bits: -32768 to -1 go as their two's complement. Anything lower has
    // no 16-bit form; it stays out of range, like a value above 65535, so that no write is sent
    // rather than a wrapped value the operator never typed.
    if (value < 0 && value >= -32768) {
        value += 65536;
    }
    return value;
}

}  // namespace dalmora
