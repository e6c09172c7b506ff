#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

#include "console/driver_table.h"
#include "console/engine.h"
#include "console/engine_host.h"
#include "console/shared_state.h"
#include "drivers/record_files.h"

namespace dalmora {

class About;
class ModelDrivers;
class QtNotifier;
class QtSerialPort;
class SvgTileCanvas;
class TileWidget;

// `FM_Main`: the sixteen tiles, the status bar the engine writes into, the menus, and the mouse
// on the tiles (REC toggle, double click for a parameter window). It owns the poll timer and the
// serial port; its load starts the console and closing it ends the program.
class MainWindow final : public QMainWindow,
                         public EngineHost,
                         public ParameterViewProvider,
                         public ScanListProvider,
                         public RecordIndicator {
    Q_OBJECT

public:
    // `programFolder` holds "User Setting.ini", the record files and Picture/.
    MainWindow(SharedState& state, const QString& programFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence: model codes, beep, settings, slot table, port, engine. The splash
    // runs it when it shows the window.
    void load();

    // REC area of a tile, in tile units.
    [[nodiscard]] static bool inRecArea(QPoint tileUnits);

    // EngineHost
    void setInterval(int milliseconds) override;
    void setMainStatus(int panel, const std::string& text) override;
    void beep() override;
    // ParameterViewProvider: the parameter windows come with their own work; none is a view yet.
    [[nodiscard]] ParameterView* parameterView(std::string_view model) override;
    // ScanListProvider: the panel settings window comes with its own work.
    [[nodiscard]] ScanList* scanList() override;
    // RecordIndicator
    void showRecording(int slot, bool on) override;

    [[nodiscard]] SharedState& state() { return state_; }
    [[nodiscard]] PollEngine& engine() { return *engine_; }
    [[nodiscard]] DriverTable& drivers() { return drivers_; }
    [[nodiscard]] SvgTileCanvas& canvas() { return *canvas_; }
    [[nodiscard]] QTimer& pollTimer() { return timer_; }
    [[nodiscard]] TileWidget* tile(int slot) const;
    [[nodiscard]] QString statusText(int panel) const;
    [[nodiscard]] QWidget* parameterWindow() const { return parameterWindow_; }
    [[nodiscard]] const QString& programFolder() const { return programFolder_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    void buildTiles();
    void layoutTiles();
    void drawRecIndicator(int slot);
    void Timer_Read_Timer();
    void onTileMouseMoved(int slot, QPoint tileUnits);
    void onTileMousePressed(int slot, Qt::MouseButton button, QPoint tileUnits);
    void onTileDoubleClicked(int slot);
    void openParameterWindow(int slot, std::string_view model);
    void shutDown();

    SharedState& state_;
    QString programFolder_;
    DriverTable drivers_;
    std::unique_ptr<QtSerialPort> port_;
    QtNotifier* notifier_;
    SvgTileCanvas* canvas_;
    std::unique_ptr<ModelDrivers> modelDrivers_;
    std::unique_ptr<PollEngine> engine_;
    QTimer timer_;
    QWidget* picAll_ = nullptr;
    std::array<TileWidget*, kSlotCount> tiles_{};
    QLabel* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    std::optional<QCursor> handCursor_;
    QPointer<About> about_;
    QPointer<QWidget> parameterWindow_;
    bool shutDown_ = false;
};

}  // namespace dalmora
