#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "link/bytes.h"
#include "link/error.h"
#include "panel/panel_layout.h"

namespace dalmora {
namespace {

constexpr int B = glyph::kBlank;
constexpr int M = glyph::kMinus;
constexpr int Z = glyph::kZero;

DrawCommand red(int glyph, int left) { return {PictureSet::RPV, glyph, {left, 101, 173, 229}}; }
DrawCommand green(int glyph, int left) { return {PictureSet::GPV, glyph, {left, 406, 173, 229}}; }
DrawCommand lamp(int picture, int left) { return {PictureSet::OP, picture, {left, 779, 95, 66}}; }

// A T3 values-block answer: 01 04 2C, 22 registers, two CRC bytes (not looked at here).
Bytes t3Answer(std::uint16_t pv, std::uint16_t sv, std::uint16_t status) {
    Bytes answer = {0x01, 0x04, 0x2C};
    for (int k = 0; k < 22; ++k) {
        std::uint16_t value = static_cast<std::uint16_t>(0x1111 * (k % 8));
        if (k == 0) value = pv;
        if (k == 1) value = sv;
        if (k == 4) value = status;
        answer.push_back(static_cast<std::uint8_t>(value >> 8));
        answer.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    answer.push_back(0xAB);
    answer.push_back(0xCD);
    return answer;
}

class RecordingCanvas : public TileCanvas {
public:
    void draw(int slot, const DrawCommand& command) override {
        slots.push_back(slot);
        drawn.push_back(command);
    }
    void clear(int) override {}
    std::vector<int> slots;
    std::vector<DrawCommand> drawn;
};

TEST(PaintCommands, drawPvRowSvRowThenLampsWithDotsAfterTheirCells) {
    // PV -5 and SV 25.0 with one decimal, A1 and C1 lit.
    const std::vector<DrawCommand> expected = {
        red(M, 98), red(B, 305), red(Z, 513), red(5, 720),
        {PictureSet::DP, 1, {665, 303, 26, 27}},
        green(B, 98), green(2, 305), green(5, 513), green(Z, 720),
        {PictureSet::DP, 2, {665, 609, 26, 27}},
        lamp(2, 125), lamp(3, 342), lamp(6, 559), lamp(7, 776),
    };
    EXPECT_EQ(paintCommands(0xFFFB, 250, 1, 0x0005), expected);
}

TEST(PaintCommands, putTheDotBeforeTheDigitsAfterThePoint) {
    struct Row {
        std::int32_t dp;
        std::optional<int> dotLeft;
    };
    for (const Row& row : {Row{0, std::nullopt}, Row{1, 665}, Row{2, 458}, Row{3, 250},
                           Row{7, std::nullopt}, Row{-3, std::nullopt}, Row{83, std::nullopt}}) {
        const std::vector<DrawCommand> commands = paintCommands(5, 5, row.dp, 0);
        std::vector<DrawCommand> dots;
        for (const DrawCommand& command : commands) {
            if (command.set == PictureSet::DP) dots.push_back(command);
        }
        if (!row.dotLeft) {
            EXPECT_TRUE(dots.empty()) << "dp " << row.dp;
            EXPECT_EQ(commands.size(), 12U) << "dp " << row.dp;
            continue;
        }
        ASSERT_EQ(dots.size(), 2U) << "dp " << row.dp;
        EXPECT_EQ(dots[0], (DrawCommand{PictureSet::DP, 1, {*row.dotLeft, 303, 26, 27}}));
        EXPECT_EQ(dots[1], (DrawCommand{PictureSet::DP, 2, {*row.dotLeft, 609, 26, 27}}));
        EXPECT_EQ(commands[4], dots[0]) << "the red dot follows the PV cells";
        EXPECT_EQ(commands[9], dots[1]) << "the green dot follows the SV cells";
    }
}

TEST(PaintCommandsFromAnswer, readsPvSvAndStatusOfTheValuesBlock) {
    const Bytes answer = t3Answer(0x04D2, 0xF000, 0x000A);
    EXPECT_EQ(paintCommandsFromAnswer(answer, 2), paintCommands(0x04D2, 0xF000, 2, 0x000A));
}

TEST(PaintCommandsFromAnswer, otherRegistersAndBitsByTheInputMap) {
    const Bytes answer = t3Answer(0x0005, 0x0006, 0x0001);
    // Status at offset 1, SV at offset 4, lamps A1..C2 on bits 0..3.
    const PanelInputs inputs{0, 4, 1, LampBits{{0, 1, 2, 3}}};
    EXPECT_EQ(paintCommandsFromAnswer(answer, 0, inputs),
              paintCommands(0x0005, 0x0001, 0, 0x0006, LampBits{{0, 1, 2, 3}}));
}

TEST(PaintAnswer, aShortAnswerDrawsNothingAndRaisesError9) {
    Bytes answer = t3Answer(0x0005, 0x0006, 0x000F);
    answer.resize(3 + 2 * 4 + 1);  // the status register lacks its low byte
    RecordingCanvas canvas;
    try {
        paintAnswer(canvas, 3, answer, 1);
        ADD_FAILURE() << "a short answer painted without an error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number(), error_number::kSubscriptOutOfRange);
    }
    EXPECT_TRUE(canvas.drawn.empty());
}

TEST(PaintAnswer, drawsEveryCommandOnTheGivenTile) {
    const Bytes answer = t3Answer(0x0005, 0x0006, 0x000F);
    RecordingCanvas canvas;
    paintAnswer(canvas, 3, answer, 1);
    EXPECT_EQ(canvas.drawn, paintCommands(0x0005, 0x0006, 1, 0x000F));
    EXPECT_EQ(canvas.slots, std::vector<int>(14, 3));
}

}  // namespace
}  // namespace dalmora
