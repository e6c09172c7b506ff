#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

#include "link/error.h"
#include "panel/qt/cursor_file.h"
#include "panel/qt/pictures.h"
#include "panel/qt/svg_tile_canvas.h"
#include "panel/qt/tile_widget.h"

using namespace dalmora;

namespace {

constexpr TileRect kWholeTile{0, 0, 1000, 1000};
constexpr TileRect kPvCell1{98, 101, 173, 229};
constexpr TileRect kPvCell3{513, 101, 173, 229};
constexpr TileRect kPvCell4{720, 101, 173, 229};
constexpr TileRect kLampA1{125, 779, 95, 66};
constexpr TileRect kRec{779, 914, 118, 46};

bool isRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 120 && qBlue(p) < 100; }
bool isGreen(QRgb p) { return qGreen(p) > 200 && qRed(p) < 120 && qBlue(p) < 150; }

int countPixels(const QImage& image, const QRect& area, bool (*match)(QRgb)) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += match(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// The largest difference of one colour channel between two images of the same size.
int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

QRect pixelsOf(const TileRect& rect, QSize tile) {
    return SvgTileCanvas::toPixels(rect, QSizeF(tile)).toAlignedRect();
}

struct SetRow {
    PictureSet set;
    const char* name;
    int count;
    QSize size;
};

const SetRow kSets[] = {
    {PictureSet::Base, "Base", 1, {1004, 1004}},  {PictureSet::RPV, "RPV", 13, {172, 230}},
    {PictureSet::GPV, "GPV", 13, {172, 230}},     {PictureSet::DP, "DP", 2, {26, 27}},
    {PictureSet::OP, "OP", 8, {95, 66}},          {PictureSet::Error, "Error", 4, {794, 230}},
    {PictureSet::Option, "Option", 2, {181, 46}},
};

}  // namespace

class TileCanvasTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { loadPictureResources(); }

    void everyPictureOfEverySetIsAValidSvgOfItsSize() {
        for (const SetRow& row : kSets) {
            QCOMPARE(pictureCount(row.set), row.count);
            QVERIFY2(pictureFor(row.set, 0).isEmpty(), row.name);
            QVERIFY2(pictureFor(row.set, row.count + 1).isEmpty(), row.name);
            for (int i = 1; i <= row.count; ++i) {
                QSvgRenderer renderer(pictureFor(row.set, i));
                QVERIFY2(renderer.isValid(), qPrintable(pictureFor(row.set, i)));
                QCOMPARE(renderer.defaultSize(), row.size);
            }
        }
        QSvgRenderer logo(logoPicture());
        QVERIFY(logo.isValid());
        QCOMPARE(logo.defaultSize(), QSize(214, 53));
    }

    // The canvas forgets what an opaque picture covers; that is only right if it really covers
    // every pixel of its rectangle.
    void opaquePicturesCoverTheirWholeRectangleAndDotsLeaveTheCellVisible() {
        for (const SetRow& row : kSets) {
            for (int i = 1; i <= row.count; ++i) {
                QImage image(QSize(97, 61), QImage::Format_ARGB32_Premultiplied);
                image.fill(Qt::transparent);
                QPainter painter(&image);
                QSvgRenderer(pictureFor(row.set, i)).render(&painter, QRectF(image.rect()));
                painter.end();
                int seeThrough = 0;
                for (int y = 0; y < image.height(); ++y) {
                    for (int x = 0; x < image.width(); ++x) {
                        seeThrough += qAlpha(image.pixel(x, y)) < 255 ? 1 : 0;
                    }
                }
                if (pictureIsOpaque(row.set)) {
                    QVERIFY2(seeThrough == 0, qPrintable(pictureFor(row.set, i)));
                } else {
                    QVERIFY2(seeThrough > image.width() * image.height() / 2, qPrintable(pictureFor(row.set, i)));
                }
            }
        }
    }

    void glyphLandsInItsCellAndLeavesTheRestOfTheTileAsItWas() {
        SvgTileCanvas canvas;
        const QSize size(400, 360);
        canvas.setTileSize(5, size);
        canvas.clear(5);
        canvas.draw(5, {PictureSet::Base, 1, kWholeTile});
        const QImage before = canvas.tileImage(5).copy();
        QCOMPARE(countPixels(before, before.rect(), isRed), 0);

        canvas.draw(5, {PictureSet::RPV, 8, kPvCell1});
        const QImage after = canvas.tileImage(5);
        const QRect cell = pixelsOf(kPvCell1, size);
        QVERIFY2(countPixels(after, cell, isRed) > cell.width() * cell.height() / 8, "digit 8 is lit red");
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (!cell.adjusted(-1, -1, 1, 1).contains(x, y)) {
                    QCOMPARE(after.pixel(x, y), before.pixel(x, y));
                }
            }
        }
        // The other tiles are not touched.
        QVERIFY(canvas.keptDrawing(4).empty());
    }

    void clearWipesTheTileToTheBackground() {
        SvgTileCanvas canvas;
        canvas.setBackground(QColor(10, 20, 30));
        canvas.setTileSize(0, {120, 90});
        canvas.draw(0, {PictureSet::Base, 1, kWholeTile});
        canvas.draw(0, {PictureSet::GPV, 3, kPvCell1});
        (void)canvas.tileImage(0);
        QSignalSpy changed(&canvas, &SvgTileCanvas::tileChanged);
        canvas.clear(0);
        QCOMPARE(changed.count(), 1);
        QVERIFY(canvas.keptDrawing(0).empty());
        const QImage image = canvas.tileImage(0);
        QCOMPARE(countPixels(image, image.rect(), [](QRgb p) { return p == qRgb(10, 20, 30); }),
                 image.width() * image.height());
    }

    void keptDrawingComesBackSharpAfterAResize() {
        SvgTileCanvas canvas;
        canvas.setTileSize(2, {200, 200});
        canvas.draw(2, {PictureSet::Base, 1, kWholeTile});
        canvas.draw(2, {PictureSet::GPV, 10, kPvCell4});
        (void)canvas.tileImage(2);

        const QSize wide(500, 180);
        canvas.setTileSize(2, wide);
        const QImage image = canvas.tileImage(2);
        QCOMPARE(image.size(), wide);
        const QRect cell = pixelsOf(kPvCell4, wide);
        QVERIFY(countPixels(image, cell, isGreen) > cell.width() * cell.height() / 10);
        QCOMPARE(countPixels(image, pixelsOf(kPvCell1, wide), isGreen), 0);
    }

    // Painting a tile at every poll must neither grow what it keeps nor look different from
    // drawing the kept pictures afresh, also when the decimal dot moves from cell to cell.
    void repeatedPaintingKeepsOnlyWhatShows() {
        SvgTileCanvas canvas;
        const QSize size(330, 300);
        canvas.setTileSize(7, size);
        canvas.clear(7);
        canvas.draw(7, {PictureSet::Base, 1, kWholeTile});
        canvas.draw(7, {PictureSet::Option, 1, kRec});
        const std::vector<TileRect> dots{{665, 303, 26, 27}, {458, 303, 26, 27}, {250, 303, 26, 27}};
        for (int poll = 0; poll < 60; ++poll) {
            for (int cell = 0; cell < 4; ++cell) {
                canvas.draw(7, {PictureSet::RPV, 1 + (poll + cell) % 13, {98 + 207 * cell + cell / 2, 101, 173, 229}});
            }
            canvas.draw(7, {PictureSet::DP, 1, dots[static_cast<std::size_t>(poll % 3)]});
            for (int lamp = 0; lamp < 4; ++lamp) {
                canvas.draw(7, {PictureSet::OP, 1 + 2 * lamp + poll % 2, {125 + 217 * lamp, 779, 95, 66}});
            }
        }
        canvas.draw(7, {PictureSet::Option, 2, kRec});
        QVERIFY2(canvas.keptDrawing(7).size() <= 1 + 1 + 4 + 3 + 4, "no more than one picture per place");
        QCOMPARE(canvas.keptDrawing(7).front(), (DrawCommand{PictureSet::Base, 1, kWholeTile}));

        const QImage incremental = canvas.tileImage(7).copy();
        const QImage fresh = canvas.renderTile(7, size);
        QVERIFY2(largestDifference(incremental, fresh) <= 8, "kept image matches a fresh drawing");
        // The dot of the last poll (the DP 3 place) shows over cell 1.
        QVERIFY(countPixels(fresh, pixelsOf(dots[2], size), isRed) > 0);
    }

    void aBaseOverTheWholeTileForgetsEverythingBeneath() {
        SvgTileCanvas canvas;
        canvas.draw(1, {PictureSet::RPV, 4, kPvCell3});
        canvas.draw(1, {PictureSet::OP, 2, kLampA1});
        canvas.draw(1, {PictureSet::Base, 1, kWholeTile});
        QCOMPARE(canvas.keptDrawing(1).size(), std::size_t{1});
    }

    void wrongSlotOrPictureIsAnErrorAndDrawsNothing() {
        SvgTileCanvas canvas;
        const struct {
            int slot;
            DrawCommand command;
            int error;
        } rows[] = {
            {16, {PictureSet::Base, 1, kWholeTile}, 9},
            {-1, {PictureSet::Base, 1, kWholeTile}, 9},
            {0, {PictureSet::RPV, 0, kPvCell1}, 35600},
            {0, {PictureSet::RPV, 14, kPvCell1}, 35600},
            {0, {PictureSet::Option, 3, kRec}, 35600},
        };
        for (const auto& row : rows) {
            try {
                canvas.draw(row.slot, row.command);
                QFAIL("no error");
            } catch (const Error& error) {
                QCOMPARE(error.number(), row.error);
            }
        }
        QVERIFY(canvas.keptDrawing(0).empty());
        QVERIFY_THROWS_EXCEPTION(Error, canvas.clear(16));
    }

    void tileUnitsFollowTheTileSize() {
        const struct {
            QPointF pixels;
            QSizeF tile;
            QPoint units;
        } rows[] = {
            {{0, 0}, {200, 100}, {0, 0}},
            {{100, 50}, {200, 100}, {500, 500}},
            {{199.9, 99.9}, {200, 100}, {999, 999}},
            {{170, 95}, {200, 100}, {850, 950}},  // inside the REC area
            {{10, 10}, {0, 0}, {0, 0}},
        };
        for (const auto& row : rows) {
            QCOMPARE(SvgTileCanvas::toTileUnits(row.pixels, row.tile), row.units);
        }
        QCOMPARE(SvgTileCanvas::toPixels({779, 914, 118, 46}, {200, 100}), QRectF(155.8, 91.4, 23.6, 4.6));
    }

    void tileWidgetShowsItsSlotAndReportsTheMouseInTileUnits() {
        SvgTileCanvas canvas;
        TileWidget tile(canvas, 3);
        QCOMPARE(tile.objectName(), QStringLiteral("Pic_Control3"));
        QCOMPARE(tile.property("index").toInt(), 3);
        tile.resize(200, 100);
        tile.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tile));
        QCOMPARE(canvas.tileSize(3), QSize(200, 100));

        canvas.draw(3, {PictureSet::Base, 1, kWholeTile});
        canvas.draw(3, {PictureSet::RPV, 8, kPvCell1});
        const QImage shown = tile.grab().toImage();
        QVERIFY(countPixels(shown, pixelsOf(kPvCell1, {200, 100}), isRed) > 0);

        QSignalSpy pressed(&tile, &TileWidget::tileMousePressed);
        QSignalSpy doubled(&tile, &TileWidget::tileDoubleClicked);
        QTest::mousePress(&tile, Qt::RightButton, {}, QPoint(170, 95));
        QTest::mouseDClick(&tile, Qt::LeftButton, {}, QPoint(50, 25));
        QVERIFY(!pressed.isEmpty());
        QCOMPARE(pressed.at(0).at(0).toInt(), 3);
        QCOMPARE(pressed.at(0).at(1).value<Qt::MouseButton>(), Qt::RightButton);
        QCOMPARE(pressed.at(0).at(2).toPoint(), QPoint(850, 950));
        QCOMPARE(doubled.count(), 1);
        QCOMPARE(doubled.at(0).at(0).toInt(), 3);
        QCOMPARE(doubled.at(0).at(1).toPoint(), QPoint(250, 250));

        tile.resize(300, 300);
        QCOMPARE(canvas.tileSize(3), QSize(300, 300));
        QCOMPARE(canvas.keptDrawing(3).size(), std::size_t{2});
    }

    void handCursorLoadsWithItsHotSpot() {
        const auto cursor = loadCursorFile(QStringLiteral(DALMORA_SOURCE_DIR "/Picture/HAND-M.cur"));
        QVERIFY(cursor.has_value());
        QCOMPARE(cursor->pixmap().size(), QSize(32, 32));
        QCOMPARE(cursor->hotSpot(), QPoint(6, 0));

        QTemporaryDir dir;
        QVERIFY(!loadCursorFile(dir.filePath(QStringLiteral("HAND-M.cur"))).has_value());
        QFile shortFile(dir.filePath(QStringLiteral("short.cur")));
        QVERIFY(shortFile.open(QIODevice::WriteOnly));
        shortFile.write(QByteArray::fromHex("0000020001"));
        shortFile.close();
        QVERIFY(!loadCursorFile(shortFile.fileName()).has_value());
    }
};

QTEST_MAIN(TileCanvasTest)
#include "tile_canvas_test.moc"
