#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <vector>

#include "console/driver_table.h"
#include "console/engine.h"
#include "console/shared_state.h"
#include "drivers/model_drivers.h"
#include "engine/engine_world.h"
#include "fakes/fake_engine_host.h"
#include "fakes/fake_record_fs.h"
#include "fakes/fake_serial_port.h"
#include "panel/qt/pictures.h"
#include "panel/qt/svg_tile_canvas.h"

using namespace dalmora;
using namespace dalmora::testing;

namespace {

constexpr int kSlot = 6;
constexpr TileRect kWholeTile{0, 0, 1000, 1000};

TileRect pvCell(int n) { return {std::vector<int>{98, 305, 513, 720}[static_cast<std::size_t>(n)], 101, 173, 229}; }
TileRect svCell(int n) { return {std::vector<int>{98, 305, 513, 720}[static_cast<std::size_t>(n)], 406, 173, 229}; }
TileRect lamp(int n) { return {std::vector<int>{125, 342, 559, 776}[static_cast<std::size_t>(n)], 779, 95, 66}; }

bool isRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 120 && qBlue(p) < 100; }

int redPixels(const QImage& image, const TileRect& rect) {
    const QRect area = SvgTileCanvas::toPixels(rect, QSizeF(image.size())).toAlignedRect() & image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) count += isRed(image.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

// A T3 meter answering its 22 live values: PV 235 and SV 1500 (23.5 and 150.0 with DP 1),
// status 0x0005 (A1 and C1 lit).
Bytes t3Answer() {
    Bytes bytes{7, 4, 44};
    const std::vector<std::uint16_t> words{235, 1500, 456, 0x00FF, 0x0005, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                                           1500, 235, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const std::uint16_t word : words) {
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return withCrc(bytes);
}

}  // namespace

// The tile of a polled T3 meter, painted through the engine, the console's own T3 driver and the
// tile canvas the main window shows.
class T3TileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { loadPictureResources(); }

    void polledT3MeterShowsItsValuesAndLampsOnTheTile() {
        QTemporaryDir folder;
        SharedState state;
        state.serial = SerialSettings{"COM1", "19200", "2", "8", "None"};
        state.slots[kSlot].Slot_Model = "T3";
        state.slots[kSlot].Slot_ID = "007";
        state.slots[kSlot].Slot_Station = "7";
        state.slots[kSlot].Decimal_Point_Code = 1;
        FakeSerialPort port;
        port.setOpen(true);
        FakeEngineHost host;
        DriverTable table;
        SvgTileCanvas canvas;
        FakeNotifier notifier;
        FakeParameterViewProvider views;
        FakeScanListProvider scans;
        FakeRecordIndicator indicator;
        ModelDrivers drivers(state, notifier, indicator, folder.path().toStdString());
        drivers.registerInto(table);
        PollEngine engine(state, port, host, table, canvas, notifier, views, scans);

        // As the main window lays out a tile: cleared, then the bare panel.
        const QSize size(300, 300);
        canvas.setTileSize(kSlot, size);
        canvas.clear(kSlot);
        canvas.draw(kSlot, {PictureSet::Base, 1, kWholeTile});

        state.Engine_State = engine_state::kStartPolling;
        engine.tick();
        engine.tick();  // asks the meter
        port.queue(t3Answer());
        engine.tick();  // judges, decodes, paints
        QCOMPARE(QString::fromStdString(host.panel(2)), QString("Read PV ,CRC Ok !"));
        QVERIFY(notifier.messages.empty());

        // Which glyph is drawn where.
        using PS = PictureSet;
        const std::vector<DrawCommand> expected{
            {PS::Base, 1, kWholeTile},
            {PS::RPV, 13, pvCell(0)}, {PS::RPV, 2, pvCell(1)}, {PS::RPV, 3, pvCell(2)}, {PS::RPV, 5, pvCell(3)},
            {PS::DP, 1, {665, 303, 26, 27}},
            {PS::GPV, 1, svCell(0)}, {PS::GPV, 5, svCell(1)}, {PS::GPV, 10, svCell(2)}, {PS::GPV, 10, svCell(3)},
            {PS::DP, 2, {665, 609, 26, 27}},
            {PS::OP, 2, lamp(0)}, {PS::OP, 3, lamp(1)}, {PS::OP, 6, lamp(2)}, {PS::OP, 7, lamp(3)},
        };
        const std::vector<DrawCommand>& kept = canvas.keptDrawing(kSlot);
        QCOMPARE(kept.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QVERIFY2(kept[i] == expected[i], qPrintable(QString("picture %1 differs").arg(i)));
        }
        for (int other = 0; other < SvgTileCanvas::kTileCount; ++other) {
            if (other != kSlot) QVERIFY(canvas.keptDrawing(other).empty());
        }

        // And on screen: red segments in the second PV cell, none in the blank first one.
        const QImage image = canvas.renderTile(kSlot, QSize(400, 400));
        QVERIFY(!image.isNull());
        QVERIFY2(redPixels(image, pvCell(1)) > 400, "digit 2 lit red");
        QCOMPARE(redPixels(image, pvCell(0)), 0);
        QVERIFY2(redPixels(image, lamp(0)) > 50, "A1 lamp lit red");
        QCOMPARE(redPixels(image, lamp(1)), 0);
        if (const char* path = std::getenv("DALMORA_T3_TILE_PNG")) QVERIFY(image.save(path));

        // The same poll made the live values and, recording being off, no file.
        QCOMPARE(QString::fromStdString(drivers.driver("T3")->Live_Value_Table().text(4096)), QString("23.5"));
        QVERIFY(QDir(folder.path()).entryList(QDir::Files).isEmpty());
    }
};

QTEST_MAIN(T3TileTest)
#include "t3_tile_test.moc"
