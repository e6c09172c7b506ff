#pragma once

#include <string_view>

namespace dalmora {

// A text with the blanks at both ends removed, the way the console reads every text an operator
// typed or a file held (IDs, port names, model names). Only spaces count as blanks.
[[nodiscard]] constexpr std::string_view trimmed(std::string_view text) noexcept {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

static_assert(trimmed("  7 ") == "7" && trimmed("   ").empty() && trimmed("a b") == "a b");

}  // namespace dalmora
