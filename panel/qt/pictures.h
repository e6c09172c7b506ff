#pragma once

#include <QString>

#include "panel/tile_canvas.h"

namespace dalmora {

// The picture files of the tile sets and the About logo, compiled into the program.

// Number of pictures in a set (indexes run from 1 to this).
[[nodiscard]] int pictureCount(PictureSet set);

// Resource path of picture `index` of a set, e.g. ":/pictures/rpv_08.svg"; empty when the set
// has no such picture.
[[nodiscard]] QString pictureFor(PictureSet set, int index);

// Whether a picture covers its whole rectangle. Everything but the decimal dots does: a dot is
// drawn over the corner of a digit cell and must let the cell show around it.
[[nodiscard]] bool pictureIsOpaque(PictureSet set);

// The maker's logo of the About window.
[[nodiscard]] QString logoPicture();

// Makes the compiled-in pictures reachable; the windows that use them call it, and calling it
// again does nothing.
void loadPictureResources();

}  // namespace dalmora
