#pragma once

#include <vector>

#include "panel/tile_canvas.h"

namespace dalmora::testing {

// Records what was drawn on which tile.
class FakeTileCanvas : public TileCanvas {
public:
    struct Drawn {
        int slot;
        DrawCommand command;
    };
    void draw(int slot, const DrawCommand& command) override { drawn.push_back({slot, command}); }
    void clear(int slot) override { cleared.push_back(slot); }

    std::vector<Drawn> drawn;
    std::vector<int> cleared;
};

}  // namespace dalmora::testing
