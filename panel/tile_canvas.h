#pragma once

namespace dalmora {

// The picture sets of the main window's tiles (list indexes start at 1).
enum class PictureSet {
    Base,    // ImageList_Base: 1 = the controller's front panel
    RPV,     // ImageList_RPV: red glyphs 1-9 digits, 10 = 0, 11 minus, 12 minus-one, 13 blank
    GPV,     // ImageList_GPV: the same in green
    DP,      // ImageList_DP: 1 red dot, 2 green dot
    OP,      // ImageList_OP: lamps 1 A1 dark, 2 A1 red, 3 A2 dark, 4 A2 red, 5 C1 dark, 6 C1 green, 7 C2 dark, 8 C2 green
    Error,   // ImageList_Error: oPEn, AdEr, EPEr, AtEr
    Option,  // ImageList_Option: 1 REC green dot, 2 REC red dot
};

// A rectangle in a tile's own 1000 x 1000 space, origin top left.
struct TileRect {
    int left;
    int top;
    int width;
    int height;
    friend bool operator==(const TileRect&, const TileRect&) = default;
};

// One picture to draw: the whole picture, scaled into the rectangle.
struct DrawCommand {
    PictureSet set;
    int picture;
    TileRect rect;
    friend bool operator==(const DrawCommand&, const DrawCommand&) = default;
};

// The sixteen tiles. A tile keeps what was drawn on it until it is cleared.
class TileCanvas {
public:
    virtual ~TileCanvas() = default;
    virtual void draw(int slot, const DrawCommand& command) = 0;
    virtual void clear(int slot) = 0;
};

}  // namespace dalmora
