#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dalmora {

// How a register of a meter reads as text, and how an edited text goes back into it. Every
// driver shares these; a register table names one per register.
enum class Format {
    Fmt_Integer,     // signed 16-bit decimal integer
    Fmt_Tenths,      // signed value / 10, "#0.0"
    Fmt_Hundredths,  // signed value / 100, "#0.00"
    Fmt_DP,          // signed value scaled by the slot's decimal-point setting
    Fmt_Choice,      // unsigned value = position in the register's list
    Fmt_Hex16,       // four hex digits; never written
    Fmt_Hex32,       // eight hex digits of a register pair; never written
    Fmt_Time32,      // "-1" or "MM:SS" of a register pair (tenths of a second); never written
};

// Registers a format takes: 2 for the pair formats, 1 for the others.
[[nodiscard]] constexpr std::size_t wordCount(Format format) noexcept {
    return (format == Format::Fmt_Hex32 || format == Format::Fmt_Time32) ? 2 : 1;
}

// Whether Enter in the register's box leads to a write. The hex and time formats are only read.
[[nodiscard]] constexpr bool isWritable(Format format) noexcept {
    return format != Format::Fmt_Hex16 && format != Format::Fmt_Hex32 &&
           format != Format::Fmt_Time32;
}

// Digits after the point for a decimal-point setting: 1 to 3 as they stand, anything else 0.
// (HM15 and RWN5D8 keep their raw codes 83 to 85; their drivers turn them into 1 to 3 first.)
[[nodiscard]] constexpr int dpDecimals(std::int32_t dp) noexcept {
    return (dp >= 1 && dp <= 3) ? static_cast<int>(dp) : 0;
}

// Digits after the point of a scaled format (0 for the others).
[[nodiscard]] constexpr int decimalsOf(Format format, std::int32_t dp) noexcept {
    switch (format) {
        case Format::Fmt_Tenths: return 1;
        case Format::Fmt_Hundredths: return 2;
        case Format::Fmt_DP: return dpDecimals(dp);
        default: return 0;
    }
}

// `value` / 10^decimals as "#0", "#0.0", "#0.00" or "#0.000": at least one digit before the
// point, exactly `decimals` after it, a minus before negative values. Exact (integer arithmetic).
[[nodiscard]] std::string formatFixed(std::int32_t value, int decimals);

// The list position a Fmt_Choice value selects: the value itself when it is 0 to
// `highestIndex`, otherwise the first entry.
[[nodiscard]] constexpr int choiceIndex(std::uint16_t word, int highestIndex) noexcept {
    return static_cast<int>(word) <= highestIndex ? static_cast<int>(word) : 0;
}

// The display text of a register (or of a register pair: words[0] is the first register).
// `dp` is the decimal-point setting used by Fmt_DP (0 to 3; anything else shows the integer).
// For Fmt_Choice the text is the selected entry of `choices` (empty when the list is empty).
// Throws Error 9 when `words` holds fewer registers than the format takes.
[[nodiscard]] std::string decodeValue(Format format, std::span<const std::uint16_t> words,
                                      std::int32_t dp,
                                      std::span<const std::string_view> choices = {});

// The same for register k of a read answer (and k + 1 for a pair), read through registerAt:
// a missing byte is Error 9.
[[nodiscard]] std::string decodeRegister(Format format, std::span<const std::uint8_t> answer,
                                         std::size_t k, std::int32_t dp,
                                         std::span<const std::string_view> choices = {});

// The number an edited text begins with. Blanks, tabs and line feeds are skipped wherever they
// stand; then an optional sign, digits with at most one ".", and an
// optional exponent (E or D, optional sign, digits), up to the first other character. "&H" and
// "&O" (either case) read a hexadecimal or octal integer. No leading number reads 0, so "00:30"
// is 0 and "12.5abc" is 12.5. A number too large for a double reads as +-infinity.
[[nodiscard]] double leadingNumber(std::string_view text);

// Nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4). Values beyond the
// 32-bit range saturate at its ends, NaN reads 0.
[[nodiscard]] std::int32_t roundHalfEven(double value) noexcept;

// The value to write for an edited register.
// - Text formats: leadingNumber(text) scaled by 1, 10, 100 or 10^DP, rounded half to even, a
//   negative result down to -32768 as its 16-bit two's complement (+ 65536). No range check:
//   a result above 65535 (or beyond the 16-bit range below) is returned as it is and the write
//   request then sends nothing.
// - Fmt_Choice: the position of the entry of `choices` equal to `text`, or -1 when none is
//   (a window that knows its combo's selected position may write that position directly).
// - The read-only formats (Hex16, Hex32, Time32): nothing.
[[nodiscard]] std::optional<std::int32_t> encodeValue(
    Format format, std::string_view text, std::int32_t dp,
    std::span<const std::string_view> choices = {});

}  // namespace dalmora
