// Draws the pictures as the operator sees them and saves PNGs, to look at them:
//   tile_preview tile [file] [width] [height]  one tile: bare panel, PV -12.3, SV 25.0, lamps, REC
//   tile_preview about [file]                  the About window
//   tile_preview splash [file] [folder]        the splash window after two seconds
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "panel/qt/svg_tile_canvas.h"
#include "shell/about.h"
#include "shell/fm_start.h"

using namespace dalmora;

namespace {

bool saveTile(const QString& file, int width, int height) {
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
    return canvas.tileImage(0).save(file);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1, QStringLiteral("tile"));
    const QString file = args.value(2, QStringLiteral("/tmp/%1.png").arg(mode));

    if (mode == QLatin1String("about")) {
        QPointer<About> about;
        showAbout(about, QStringLiteral("1.0.0"), nullptr);
        QTimer::singleShot(500, [&] { app.exit(about->grab().save(file) ? 0 : 1); });
        return app.exec();
    }
    if (mode == QLatin1String("splash")) {
        auto* splash = new FM_Start(args.value(3, QStringLiteral(".")), [] {});
        splash->show();
        QTimer::singleShot(2000, [&] { app.exit(splash->grab().save(file) ? 0 : 1); });
        return app.exec();
    }
    return saveTile(file, args.value(3, QStringLiteral("400")).toInt(), args.value(4, QStringLiteral("400")).toInt()) ? 0 : 1;
}
