#include "console/slot_rules.h"

#include "console/driver_table.h"

namespace dalmora {

std::optional<std::uint8_t> stationOf(const Slot& slot) {
    const std::string& id = slot.Slot_ID;
    const auto first = id.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const auto last = id.find_last_not_of(' ');
    int value = 0;
    for (auto i = first; i <= last; ++i) {
        const char c = id[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 255) return std::nullopt;
    }
    if (value < 1) return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

bool isPollable(const Slot& slot) {
    return findModel(slot.Slot_Model) != nullptr && stationOf(slot).has_value();
}

}  // namespace dalmora
