#include "panel/panel_layout.h"

#include "link/bytes.h"

namespace dalmora {

namespace {

using namespace panel_layout;

void addRow(std::vector<DrawCommand>& commands, PictureSet set, std::uint16_t raw, int decimals,
            int cellTop, int dot, int dotTop) {
    const std::array<int, 4> glyphs = cellGlyphs(raw, decimals);
    for (std::size_t cell = 0; cell < 4; ++cell) {
        commands.push_back({set, glyphs[cell], {kCellLefts[cell], cellTop, kCellWidth, kCellHeight}});
    }
    // After the cells, so that the part of the dot over the cell's edge stays visible.
    if (decimals > 0) {
        const int left = kDotLefts[static_cast<std::size_t>(decimals - 1)];
        commands.push_back({PictureSet::DP, dot, {left, dotTop, kDotWidth, kDotHeight}});
    }
}

}  // namespace

std::vector<DrawCommand> paintCommands(std::uint16_t pvRaw, std::uint16_t svRaw, std::int32_t dp,
                                       std::uint16_t status, const LampBits& lampBits) {
    const int decimals = panelDp(dp);
    std::vector<DrawCommand> commands;
    commands.reserve(14);
    addRow(commands, PictureSet::RPV, pvRaw, decimals, kPvCellTop, kRedDot, kPvDotTop);
    addRow(commands, PictureSet::GPV, svRaw, decimals, kSvCellTop, kGreenDot, kSvDotTop);
    const std::array<int, 4> lamps = lampPictures(status, lampBits);
    for (std::size_t lamp = 0; lamp < 4; ++lamp) {
        commands.push_back(
            {PictureSet::OP, lamps[lamp], {kLampLefts[lamp], kLampTop, kLampWidth, kLampHeight}});
    }
    return commands;
}

std::vector<DrawCommand> paintCommandsFromAnswer(std::span<const std::uint8_t> answer,
                                                 std::int32_t dp, const PanelInputs& inputs) {
    const std::uint16_t pv = registerAt(answer, inputs.pvOffset);
    const std::uint16_t sv = registerAt(answer, inputs.svOffset);
    const std::uint16_t status = registerAt(answer, inputs.statusOffset);
    return paintCommands(pv, sv, dp, status, inputs.lampBits);
}

void paintAnswer(TileCanvas& canvas, int slot, std::span<const std::uint8_t> answer,
                 std::int32_t dp, const PanelInputs& inputs) {
    for (const DrawCommand& command : paintCommandsFromAnswer(answer, dp, inputs)) {
        canvas.draw(slot, command);
    }
}

}  // namespace dalmora
