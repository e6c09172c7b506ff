#include "console/slot_rules.h"

#include "console/driver_table.h"
#include "link/text.h"

namespace dalmora {

std::optional<std::uint8_t> stationOf(const Slot& slot) {
    const std::string_view id = trimmed(slot.Slot_ID);
    if (id.empty()) return std::nullopt;
    int value = 0;
    for (const char c : id) {
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
