#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>
#include <iterator>

#include "console/engine.h"
#include "console/qt/main_window.h"
#include "console/settings_file.h"
#include "console/settings_record.h"
#include "fakes/fake_notifier.h"
#include "panel/qt/svg_tile_canvas.h"
#include "panel/qt/tile_widget.h"

using namespace dalmora;

namespace {

struct SlotSetup {
    int slot;
    const char* model;
    const char* id;
};

// A program folder whose settings file holds the given line and slots.
void writeSettings(const QString& folder, const char* portName, std::initializer_list<SlotSetup> slots) {
    SharedState state;
    state.serial = {portName, "19200", "2", "8", "None"};
    for (const SlotSetup& setup : slots) {
        state.slots[static_cast<std::size_t>(setup.slot)].Slot_Model = setup.model;
        state.slots[static_cast<std::size_t>(setup.slot)].Slot_ID = setup.id;
    }
    testing::FakeNotifier notifier;
    for (int record : {1, 2, 3, 8}) {
        QVERIFY(Save_Record(state, folder.toStdString(), record, notifier, "test"));
    }
}

// The centre of a rectangle of tile units, in the tile's pixels.
QPoint tilePoint(const TileWidget* tile, int unitsX, int unitsY) {
    return {unitsX * tile->width() / 1000, unitsY * tile->height() / 1000};
}

const QPoint kRecUnits{885, 929};
const QPoint kMiddleUnits{500, 500};

int lastRecPicture(MainWindow& window, int slot) {
    int picture = 0;
    for (const DrawCommand& command : window.canvas().keptDrawing(slot)) {
        if (command.set == PictureSet::Option) picture = command.picture;
    }
    return picture;
}

QList<QWidget*> windowsNamed(const QString& name) {
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name && widget->isVisible()) found << widget;
    }
    return found;
}

// A console on a program folder of its own: settings written (unless `port` is null), window
// created and loaded.
struct Console {
    Console(const char* port, std::initializer_list<SlotSetup> slots, const QString& linkToNowhere = {}) {
        if (!linkToNowhere.isEmpty()) QFile::link(folder.path() + "/nowhere", folder.path() + "/" + linkToNowhere);
        if (port != nullptr) writeSettings(folder.path(), port, slots);
        window = std::make_unique<MainWindow>(state, folder.path());
        window->load();
    }
    [[nodiscard]] bool show() {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    QTemporaryDir folder;
    SharedState state;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsWithClosedPortWithoutTraffic() {
        Console console("CLOSE", {});
        MainWindow& window = *console.window;
        QCOMPARE(window.objectName(), QString("FM_Main"));
        QCOMPARE(window.windowTitle(), QString("Dalmora"));
        QCOMPARE(window.statusText(2), QString("Serial port is close !"));
        QVERIFY(!window.pollTimer().isActive());
    }

    void missingPortStartsTheEngineToRetry() {
        // A folder link that leads nowhere: the port cannot open, whatever devices the computer has.
        Console console("COM250", {}, "COM250");
        MainWindow& window = *console.window;
        QCOMPARE(window.statusText(2), QString("Serial port is not open !"));
        QVERIFY(window.pollTimer().isActive());
        QCOMPARE(console.state.Engine_State, engine_state::kStartPolling);
        QCOMPARE(window.pollTimer().timerType(), Qt::PreciseTimer);
    }

    void missingSettingsFileIsCreatedWithDefaults() {
        Console console(nullptr, {});
        QFile file(console.folder.path() + "/User Setting.ini");
        QVERIFY(file.exists());
        QCOMPARE(file.size(), qint64(1024));
        QCOMPARE(QString::fromStdString(console.state.serial.Port_Name), QString("COM1"));
    }

    void recAreaTogglesOnlyWithLeftButtonAndAStation() {
        Console console("CLOSE", {{0, "T3", "001"}, {1, "T3", "---"}});
        QVERIFY(console.show());
        MainWindow& window = *console.window;
        SharedState& state = console.state;

        TileWidget* configured = window.tile(0);
        QCOMPARE(lastRecPicture(window, 0), 1);
        QCOMPARE(lastRecPicture(window, 1), 0);  // no station: no indicator

        QTest::mouseClick(configured, Qt::RightButton, {}, tilePoint(configured, kRecUnits.x(), kRecUnits.y()));
        QVERIFY(!state.slots[0].Record_On);
        QTest::mouseClick(configured, Qt::LeftButton, {}, tilePoint(configured, kMiddleUnits.x(), kMiddleUnits.y()));
        QVERIFY(!state.slots[0].Record_On);

        QTest::mouseClick(configured, Qt::LeftButton, {}, tilePoint(configured, kRecUnits.x(), kRecUnits.y()));
        QVERIFY(state.slots[0].Record_On);
        QCOMPARE(lastRecPicture(window, 0), 2);
        QTest::mouseClick(configured, Qt::LeftButton, {}, tilePoint(configured, kRecUnits.x(), kRecUnits.y()));
        QVERIFY(!state.slots[0].Record_On);
        QCOMPARE(lastRecPicture(window, 0), 1);

        TileWidget* bare = window.tile(1);
        QTest::mouseClick(bare, Qt::LeftButton, {}, tilePoint(bare, kRecUnits.x(), kRecUnits.y()));
        QVERIFY(!state.slots[1].Record_On);
        QCOMPARE(lastRecPicture(window, 1), 0);
    }

    void doubleClickOpensAtMostOneParameterWindow() {
        Console console("CLOSE",
                        {{0, "T3", "001"}, {1, "ZC37", "002"}, {2, "T3", "---"}, {3, "T3", "000"}, {4, "t3", "005"}});
        QVERIFY(console.show());
        MainWindow& window = *console.window;
        SharedState& state = console.state;
        const auto doubleClick = [&window](int slot) {
            QTest::mouseDClick(window.tile(slot), Qt::LeftButton, {}, tilePoint(window.tile(slot), 500, 500));
        };

        // No station, a broadcast ID, a model that is no model: nothing opens.
        for (int slot : {2, 3, 4, 5}) {
            doubleClick(slot);
            QCOMPARE(state.Window_Slot, kNoWindowSlot);
        }
        QVERIFY(window.parameterWindow() == nullptr);

        doubleClick(0);
        QCOMPARE(state.Window_Slot, std::int16_t{0});
        QCOMPARE(windowsNamed("FM_T3_Parameter").size(), 1);

        doubleClick(1);
        doubleClick(0);
        QCOMPARE(state.Window_Slot, std::int16_t{0});
        QCOMPARE(windowsNamed("FM_T3_Parameter").size(), 1);
        QCOMPARE(windowsNamed("FM_ZC37_Parameter").size(), 0);

        // Closing the window gives the slot back.
        QPointer<QWidget> parameter = window.parameterWindow();
        parameter->close();
        QTRY_VERIFY(parameter.isNull());
        QCOMPARE(state.Window_Slot, kNoWindowSlot);
        doubleClick(1);
        QCOMPARE(state.Window_Slot, std::int16_t{1});
        QCOMPARE(windowsNamed("FM_ZC37_Parameter").size(), 1);
        window.parameterWindow()->close();
    }

    void menusOfferOnlyWhatWorks() {
        Console console("CLOSE", {});
        MainWindow& window = *console.window;

        QStringList menus;
        for (QAction* action : window.menuBar()->actions()) menus << action->text();
        QCOMPARE(menus, (QStringList{"File", "Setting", "Help"}));

        QMenu* file = window.findChild<QMenu*>("Menu_File");
        QVERIFY(file != nullptr);
        QStringList items;
        for (QAction* action : file->actions()) {
            if (action->isSeparator()) {
                items << "-";
                continue;
            }
            items << action->text();
            const bool reachable = action->isEnabled();
            QCOMPARE(reachable, action->text() == "Exit");
        }
        QCOMPARE(items, (QStringList{"New", "Open", "Close", "-", "Save As", "-", "Exit"}));

        const int windowsBefore = QApplication::topLevelWidgets().size();
        window.findChild<QAction*>("Menu_HelpHelp")->trigger();
        QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
    }

    void closeWritesTheDecimalPointsAndClosesThePort() {
        Console console("CLOSE", {{0, "T3", "001"}});
        console.window->show();
        console.state.slots[3].Decimal_Point_Code = 83;
        console.state.slots[0].Decimal_Point_Code = 2;
        console.window->close();
        console.window.reset();

        std::ifstream file((console.folder.path() + "/User Setting.ini").toStdString(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        QCOMPARE(bytes.size(), std::size_t{1024});
        const auto texts = decodeRecord(std::span(bytes).subspan(6 * 128, 128), 16);
        QCOMPARE(texts.at(0), std::string("2"));
        QCOMPARE(texts.at(3), std::string("83"));
        QCOMPARE(texts.at(1), std::string("0"));
    }

    void longStatusTextNeverWidensTheWindow() {
        Console console("CLOSE", {{0, "T3", "001"}});
        QVERIFY(console.show());
        MainWindow& window = *console.window;
        const QSize before = window.size();
        window.canvas().draw(0, DrawCommand{PictureSet::RPV, 8, TileRect{98, 101, 173, 229}});

        window.setMainStatus(2, "at Timer_Read_Timer() ;Wrong code: 9 ;Wrong reasons: " + std::string(300, 'x'));
        window.setMainStatus(1, "No.16 Slot ; ID = 255 and a good deal more text than fits");
        QTest::qWait(50);
        QCOMPARE(window.size(), before);
        // The tiles were not laid out anew: the digit is still there.
        bool digitKept = false;
        for (const DrawCommand& command : window.canvas().keptDrawing(0)) {
            digitKept = digitKept || command.set == PictureSet::RPV;
        }
        QVERIFY(digitKept);
    }

    void tilesStretchWithTheWindow() {
        Console console("CLOSE", {{0, "T3", "001"}});
        QVERIFY(console.show());
        MainWindow& window = *console.window;
        window.resize(1200, 400);
        QTRY_VERIFY(window.tile(0)->width() > 2 * window.tile(0)->height());
        const QRect first = window.tile(0)->geometry();
        const QRect last = window.tile(15)->geometry();
        QCOMPARE(first.size(), last.size());
        // A layout leaves the bare panel and the REC indicator: no digits.
        for (const DrawCommand& command : window.canvas().keptDrawing(0)) {
            QVERIFY(command.set == PictureSet::Base || command.set == PictureSet::Option);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
