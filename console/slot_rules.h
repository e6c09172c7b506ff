#pragma once

#include <cstdint>
#include <optional>

#include "console/shared_state.h"

namespace dalmora {

// The station a slot's meter answers to: Slot_ID as a number ("005" -> 5), blanks around it
// allowed. Only 1 to 255 is a station: "000" would be a broadcast that every meter on the line
// obeys and none answers, "256" does not fit the address byte, "---" or "abc" is no ID.
[[nodiscard]] std::optional<std::uint8_t> stationOf(const Slot& slot);

// A slot the engine polls and the operator can open a parameter window for: a station 1 to
// 255 and one of the known models.
[[nodiscard]] bool isPollable(const Slot& slot);

}  // namespace dalmora
