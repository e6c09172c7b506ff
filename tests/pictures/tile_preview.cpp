// Draws one tile with the bare panel, a PV of -12.3 and an SV of 250.0, two lamps lit and the
// REC indicator, and saves it as a PNG: tile_preview [file] [width] [height].
#include <QApplication>

#include "panel/qt/svg_tile_canvas.h"

using namespace dalmora;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/tile.png");
    const int width = argc > 2 ? std::atoi(argv[2]) : 400;
    const int height = argc > 3 ? std::atoi(argv[3]) : 400;

    SvgTileCanvas canvas;
    canvas.setTileSize(0, QSize(width, height));
    canvas.clear(0);
    canvas.draw(0, {PictureSet::Base, 1, {0, 0, 1000, 1000}});
    canvas.draw(0, {PictureSet::Option, 2, {779, 914, 118, 46}});
    const int left[] = {98, 305, 513, 720};
    const int pv[] = {11, 1, 2, 3};    // minus, 1, 2, 3 with the dot of one decimal
    const int sv[] = {13, 2, 5, 10};   // blank, 2, 5, 0
    for (int cell = 0; cell < 4; ++cell) {
        canvas.draw(0, {PictureSet::RPV, pv[cell], {left[cell], 101, 173, 229}});
        canvas.draw(0, {PictureSet::GPV, sv[cell], {left[cell], 406, 173, 229}});
    }
    canvas.draw(0, {PictureSet::DP, 1, {665, 303, 26, 27}});
    canvas.draw(0, {PictureSet::DP, 2, {665, 609, 26, 27}});
    const int lamps[] = {2, 3, 6, 7};  // A1 lit, A2 dark, C1 lit, C2 dark
    const int lampLeft[] = {125, 342, 559, 776};
    for (int lamp = 0; lamp < 4; ++lamp) {
        canvas.draw(0, {PictureSet::OP, lamps[lamp], {lampLeft[lamp], 779, 95, 66}});
    }
    return canvas.tileImage(0).save(file) ? 0 : 1;
}
