#include "console/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include "console/model_codes.h"
#include "console/notifier.h"
#include "console/port_control.h"
#include "console/qt/qt_notifier.h"
#include "console/settings_file.h"
#include "console/slot_rules.h"
#include "drivers/model_drivers.h"
#include "link/qt/qt_serial_port.h"
#include "panel/qt/cursor_file.h"
#include "panel/qt/svg_tile_canvas.h"
#include "panel/qt/tile_widget.h"
#include "shell/about.h"
#include "shell/twips.h"

namespace dalmora {

namespace {

constexpr std::string_view kLoadPlace = "At FM_Main_Load()";
constexpr std::string_view kUnloadPlace = "At FM_Main_Unload()";
constexpr int kDesignInterval = 100;  // ms, until the engine chooses one for the baud rate

// Tile grid in the 1000 x 1000 space of the tile area.
constexpr int kTileOrigin = 20;
constexpr int kTilePitch = 245;
constexpr int kTileSize = 225;
constexpr int kUnits = 1000;

// Tile units.
constexpr TileRect kWholeTile{0, 0, 1000, 1000};
constexpr TileRect kRecIndicator{779, 914, 118, 46};
constexpr int kRecLeft = 822, kRecRight = 949, kRecTop = 883, kRecBottom = 975;

// Parameter window object names by model, in the order a double click tests the models.
std::string parameterWindowName(std::string_view model) {
    if (model == "N5,N6,N8") return "FM_N5_Parameter";
    return "FM_" + std::string(model) + "_Parameter";
}

// Runs one statement of the load or unload; a failure is reported and the next statement runs.
template <typename Step>
void guarded(Notifier& notifier, std::string_view place, Step&& step) {
    try {
        step();
    } catch (const Error& error) {
        reportError(notifier, place, error);
    } catch (const std::exception& error) {
        reportError(notifier, place, Error(51, error.what()));  // internal error
    }
}

}  // namespace

MainWindow::MainWindow(SharedState& state, const QString& programFolder, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      programFolder_(programFolder),
      port_(std::make_unique<QtSerialPort>(programFolder)),
      notifier_(new QtNotifier(this)),
      canvas_(new SvgTileCanvas(this)) {
    setObjectName("FM_Main");
    setWindowTitle("Dalmora");
    const double dpi = logicalDpiX();
    resize(twipsToPixels(10620, dpi), twipsToPixels(9030, dpi));

    modelDrivers_ = std::make_unique<ModelDrivers>(state_, *notifier_, *this, programFolder_.toStdString());
    modelDrivers_->registerInto(drivers_);
    engine_ = std::make_unique<PollEngine>(state_, *port_, *this, drivers_, *canvas_, *notifier_, *this, *this);

    timer_.setObjectName("Timer_Read");
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kDesignInterval);
    connect(&timer_, &QTimer::timeout, this, &MainWindow::Timer_Read_Timer);

    handCursor_ = loadCursorFile(programFolder_ + "/Picture/HAND-M.cur");

    buildMenus();
    buildTiles();

    auto* bar = new QStatusBar(this);
    bar->setObjectName("StatusBar1");
    bar->setSizeGripEnabled(true);
    panel1_ = new QLabel(bar);
    panel1_->setObjectName("StatusBar1_Panel1");
    panel1_->setFixedWidth(200);
    panel2_ = new QLabel(bar);
    panel2_->setObjectName("StatusBar1_Panel2");
    // A long error text is cut at the window's edge; it must never widen the window, which
    // would lay the tiles out anew and wipe every meter's digits.
    panel2_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(panel1_);
    bar->addWidget(panel2_, 1);
    setStatusBar(bar);
}

MainWindow::~MainWindow() {
    timer_.stop();
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    file->setObjectName("Menu_File");
    // The file commands are there for what a later version may offer; none can be reached.
    const auto disabledSubmenu = [file](const QString& title, const QStringList& items) {
        QMenu* sub = file->addMenu(title);
        for (const QString& item : items) sub->addAction(item);
        sub->menuAction()->setEnabled(false);
    };
    disabledSubmenu("New", {"Setting", "Parameter", "Record"});
    disabledSubmenu("Open", {"Setting", "Parameter", "Record"});
    disabledSubmenu("Close", {"Record"});
    file->addSeparator();
    disabledSubmenu("Save As", {"Setting", "Parameter", "Record"});
    file->addSeparator();
    QAction* exitAction = file->addAction("Exit");
    exitAction->setObjectName("Menu_Exit");
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    QMenu* setting = menuBar()->addMenu("Setting");
    setting->setObjectName("Menu_Setting");
    setting->addAction("Communication")->setObjectName("Menu_Communication");
    setting->addAction("Panel")->setObjectName("Menu_Panel");

    QMenu* help = menuBar()->addMenu("Help");
    help->setObjectName("Menu_Help");
    help->addAction("Help")->setObjectName("Menu_HelpHelp");
    QAction* aboutAction = help->addAction("About");
    aboutAction->setObjectName("Menu_About");
    connect(aboutAction, &QAction::triggered, this,
            [this] { showAbout(about_, QCoreApplication::applicationVersion(), this); });
}

void MainWindow::buildTiles() {
    picAll_ = new QWidget(this);
    picAll_->setObjectName("Pic_All");
    picAll_->setAutoFillBackground(true);
    setCentralWidget(picAll_);
    canvas_->setBackground(palette().color(QPalette::Window));
    for (int i = 0; i < kSlotCount; ++i) {
        auto* tile = new TileWidget(*canvas_, i, picAll_);
        tile->setObjectName(QString("Pic_Control(%1)").arg(i));
        tile->setMouseTracking(true);
        connect(tile, &TileWidget::tileMouseMoved, this, &MainWindow::onTileMouseMoved);
        connect(tile, &TileWidget::tileMousePressed, this, &MainWindow::onTileMousePressed);
        connect(tile, &TileWidget::tileDoubleClicked, this,
                [this](int slot, QPoint) { onTileDoubleClicked(slot); });
        tiles_[static_cast<std::size_t>(i)] = tile;
    }
}

void MainWindow::load() {
    guarded(*notifier_, kLoadPlace, [this] { Build_Model_Code_Table(state_); });
    guarded(*notifier_, kLoadPlace, [this] { notifier_->beep(); });
    // Reads the eight records, fills in the defaults, writes them back and derives the slot
    // table; its own failures are reported under the same place.
    guarded(*notifier_, kLoadPlace,
            [this] { Load_Settings(state_, programFolder_.toStdString(), *notifier_); });
    state_.Window_Slot = kNoWindowSlot;
    state_.Poll_Slot = 0;
    guarded(*notifier_, kLoadPlace, [this] { Open_Port(*port_, state_.serial); });
    guarded(*notifier_, kLoadPlace, [this] {
        if (port_->isOpen()) {
            panel2_->setText("");
            state_.Engine_State = engine_state::kStartPolling;
            timer_.start();
        } else if (state_.serial.Port_Name == "CLOSE") {
            panel2_->setText("Serial port is close !");
        } else {
            // The engine's first check fails with a port error and opens the port again, so
            // a port plugged in later is found without a restart.
            panel2_->setText("Serial port is not open !");
            state_.Engine_State = engine_state::kStartPolling;
            timer_.start();
        }
    });
    layoutTiles();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (const QScreen* screen = this->screen(); screen != nullptr && !event->spontaneous()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    layoutTiles();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutTiles();
}

// Tiles stretch with the window (they need not stay square). A layout leaves every tile with
// the bare front panel and, for a slot with a station, its REC indicator; digits and lamps come
// back with the slot's next good poll.
void MainWindow::layoutTiles() {
    if (picAll_ == nullptr) return;
    const double width = picAll_->width();
    const double height = picAll_->height();
    for (int i = 0; i < kSlotCount; ++i) {
        const int column = i % 4;
        const int row = i / 4;
        const auto scaled = [](double units, double pixels) {
            return static_cast<int>(units * pixels / kUnits + 0.5);
        };
        const int left = scaled(kTileOrigin + kTilePitch * column, width);
        const int top = scaled(kTileOrigin + kTilePitch * row, height);
        const int right = scaled(kTileOrigin + kTilePitch * column + kTileSize, width);
        const int bottom = scaled(kTileOrigin + kTilePitch * row + kTileSize, height);
        TileWidget* tile = tiles_[static_cast<std::size_t>(i)];
        tile->setGeometry(left, top, right - left, bottom - top);
        try {
            canvas_->setTileSize(i, tile->size(), tile->devicePixelRatioF());
            canvas_->clear(i);
            canvas_->draw(i, DrawCommand{PictureSet::Base, 1, kWholeTile});
            if (state_.slots[static_cast<std::size_t>(i)].Slot_Station != "0") drawRecIndicator(i);
        } catch (const Error&) {
            // A tile that cannot be drawn stays as it is; the next layout tries again.
        }
    }
}

void MainWindow::drawRecIndicator(int slot) {
    const bool on = state_.slots.at(static_cast<std::size_t>(slot)).Record_On;
    canvas_->draw(slot, DrawCommand{PictureSet::Option, on ? 2 : 1, kRecIndicator});
}

bool MainWindow::inRecArea(QPoint tileUnits) {
    return tileUnits.x() >= kRecLeft && tileUnits.x() <= kRecRight && tileUnits.y() >= kRecTop &&
           tileUnits.y() <= kRecBottom;
}

void MainWindow::Timer_Read_Timer() {
    engine_->tick();
}

void MainWindow::setInterval(int milliseconds) {
    timer_.setInterval(milliseconds);
}

void MainWindow::setMainStatus(int panel, const std::string& text) {
    QLabel* label = panel == kSlotPanel ? panel1_ : panel2_;
    label->setText(QString::fromStdString(text));
}

void MainWindow::beep() {
    notifier_->beep();
}

ParameterView* MainWindow::parameterView(std::string_view) {
    return nullptr;
}

ScanList* MainWindow::scanList() {
    return nullptr;
}

void MainWindow::showRecording(int slot, bool) {
    if (slot < 0 || slot >= kSlotCount) return;
    try {
        drawRecIndicator(slot);
    } catch (const Error&) {
    }
}

TileWidget* MainWindow::tile(int slot) const {
    if (slot < 0 || slot >= kSlotCount) return nullptr;
    return tiles_[static_cast<std::size_t>(slot)];
}

QString MainWindow::statusText(int panel) const {
    return panel == kSlotPanel ? panel1_->text() : panel2_->text();
}

void MainWindow::onTileMouseMoved(int slot, QPoint tileUnits) {
    TileWidget* widget = tile(slot);
    if (widget == nullptr) return;
    if (inRecArea(tileUnits)) {
        widget->setCursor(handCursor_ ? *handCursor_ : QCursor(Qt::PointingHandCursor));
    } else {
        widget->unsetCursor();
    }
}

void MainWindow::onTileMousePressed(int slot, Qt::MouseButton button, QPoint tileUnits) {
    if (button != Qt::LeftButton || slot < 0 || slot >= kSlotCount || !inRecArea(tileUnits)) return;
    Slot& target = state_.slots[static_cast<std::size_t>(slot)];
    if (target.Slot_Station == "0") return;
    target.Record_On = !target.Record_On;
    try {
        drawRecIndicator(slot);
    } catch (const Error&) {
    }
}

void MainWindow::onTileDoubleClicked(int slot) {
    if (state_.Window_Slot != kNoWindowSlot || slot < 0 || slot >= kSlotCount) return;
    const Slot& target = state_.slots[static_cast<std::size_t>(slot)];
    for (const ModelInfo& model : kModels) {
        if (model.name == target.Slot_Model && isPollable(target)) {
            state_.Window_Slot = static_cast<std::int16_t>(slot);
            openParameterWindow(slot, model.name);
            return;
        }
    }
    state_.Window_Slot = kNoWindowSlot;
}

// The model's parameter window. Until the parameter windows are built this is a bare window
// that holds the slot while it is open and gives it back when it closes.
void MainWindow::openParameterWindow(int slot, std::string_view model) {
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QString::fromStdString(parameterWindowName(model)));
    window->setWindowTitle(QString("%1 Parameter - No.%2 Slot")
                               .arg(QString::fromUtf8(model.data(), static_cast<int>(model.size())))
                               .arg(slot + 1));
    window->resize(400, 300);
    connect(window, &QObject::destroyed, this, [this] { state_.Window_Slot = kNoWindowSlot; });
    parameterWindow_ = window;
    window->show();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    shutDown();
    event->accept();
}

// Port closed, the decimal points saved, every other window of the program closed.
void MainWindow::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    timer_.stop();
    guarded(*notifier_, kUnloadPlace, [this] {
        if (port_->isOpen()) port_->close();
    });
    guarded(*notifier_, kUnloadPlace, [this] {
        (void)Save_Record(state_, programFolder_.toStdString(), 7, *notifier_, kUnloadPlace);
    });
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget != this && widget->isVisible()) widget->close();
    }
    QCoreApplication::quit();
}

}  // namespace dalmora
