#pragma once

#include <cmath>

namespace dalmora {

// Window sizes are designed in twips: 15 twips to a pixel at 96 dots per inch.
[[nodiscard]] inline int twipsToPixels(int twips, double logicalDpi = 96.0) {
    return static_cast<int>(std::lround(twips / 15.0 * logicalDpi / 96.0));
}

}  // namespace dalmora
