#pragma once

#include <array>
#include <string>

#include "console/shared_state.h"

namespace dalmora {

// A meter reports its model as a code (the high byte of input register 7936); the scan shows the
// name this table gives it. Unknown codes show "---".
[[nodiscard]] std::array<std::string, 256> modelCodeTable();

// Fills SharedState::Model_Code_Table; done once at start-up.
void Build_Model_Code_Table(SharedState& state);

}  // namespace dalmora
