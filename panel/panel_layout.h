#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "panel/cell_rule.h"
#include "panel/tile_canvas.h"

namespace dalmora {

// Where the front panel of a tile shows its values, in the tile's 1000 x 1000 space.
namespace panel_layout {
inline constexpr std::array<int, 4> kCellLefts{98, 305, 513, 720};
inline constexpr int kCellWidth = 173;
inline constexpr int kCellHeight = 229;
inline constexpr int kPvCellTop = 101;
inline constexpr int kSvCellTop = 406;
// The dot of DP n sits at the lower right of cell 4 - n (index n - 1 here).
inline constexpr std::array<int, 3> kDotLefts{665, 458, 250};
inline constexpr int kDotWidth = 26;
inline constexpr int kDotHeight = 27;
inline constexpr int kPvDotTop = 303;
inline constexpr int kSvDotTop = 609;
inline constexpr int kRedDot = 1;
inline constexpr int kGreenDot = 2;
// Lamps A1, A2, C1, C2.
inline constexpr std::array<int, 4> kLampLefts{125, 342, 559, 776};
inline constexpr int kLampTop = 779;
inline constexpr int kLampWidth = 95;
inline constexpr int kLampHeight = 66;
}  // namespace panel_layout

// Which registers of a live-value answer a tile shows (offsets from the first register read)
// and which status bits light its lamps.
struct PanelInputs {
    std::size_t pvOffset;
    std::size_t svOffset;
    std::size_t statusOffset;
    LampBits lampBits;
};

// T3, N5 and ZC37: PV 4096, SV 4097, status word 4100 of the block read from 4096.
inline constexpr PanelInputs kT3PanelInputs{0, 1, 4, kT3LampBits};

// Everything one paint draws, in drawing order: the four PV cells, the PV dot (DP 1 to 3 only),
// the four SV cells, the SV dot, the lamps A1, A2, C1, C2. `dp` is 0 to 3; any other number
// paints as 0 (no dot).
[[nodiscard]] std::vector<DrawCommand> paintCommands(std::uint16_t pvRaw, std::uint16_t svRaw,
                                                     std::int32_t dp, std::uint16_t status,
                                                     const LampBits& lampBits = kT3LampBits);

// The same from a live-value answer. All three registers are read (through registerAt) before
// any command is made, so an answer too short for them throws Error 9 and yields nothing to draw:
// the tile keeps its last complete picture instead of mixing new PV digits with an old SV.
[[nodiscard]] std::vector<DrawCommand> paintCommandsFromAnswer(
    std::span<const std::uint8_t> answer, std::int32_t dp,
    const PanelInputs& inputs = kT3PanelInputs);

// Paints a live-value answer onto a slot's tile: all commands are made first, then drawn. A short
// answer throws Error 9 with nothing drawn.
void paintAnswer(TileCanvas& canvas, int slot, std::span<const std::uint8_t> answer,
                 std::int32_t dp, const PanelInputs& inputs = kT3PanelInputs);

}  // namespace dalmora
