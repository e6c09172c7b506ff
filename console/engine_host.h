#pragma once

#include <string>
#include <string_view>

#include "console/port_control.h"

namespace dalmora {

// The main window as the engine sees it: the poll timer, the two status panels, the beep.
class EngineHost : public IntervalTimer {
public:
    static constexpr int kSlotPanel = 1;    // "No.3 Slot ; ID = 005"
    static constexpr int kStatusPanel = 2;  // results and waits: "Read PV ,CRC Ok !"

    // panel: kSlotPanel or kStatusPanel.
    virtual void setMainStatus(int panel, const std::string& text) = 0;
    virtual void beep() = 0;
};

// The open parameter window of one meter. Registers are the meter's addresses (0 to 139 for
// parameters, 4096 and up for live values); a register without a control on the window is
// ignored by the setters and reads as "" or -1.
class ParameterView {
public:
    virtual ~ParameterView() = default;

    // The caption of the register's label (Label_Para), the parameter's name in status texts.
    [[nodiscard]] virtual std::string caption(int reg) const = 0;
    // Panel 2 of the window's own status bar.
    virtual void setStatus(const std::string& text) = 0;

    // The register's value box (Text_Para) or the edit text of its list (Combo_Para).
    [[nodiscard]] virtual std::string text(int reg) const = 0;
    virtual void setText(int reg, const std::string& text) = 0;
    // The chosen entry of the register's list, 0-based; -1 when none is chosen.
    [[nodiscard]] virtual int selectedIndex(int reg) const = 0;
    virtual void setSelectedIndex(int reg, int index) = 0;
};

// Finds the parameter window of a model ("T3", "N5,N6,N8", ...). At most one is open at a time.
class ParameterViewProvider {
public:
    virtual ~ParameterViewProvider() = default;
    // The open window of `model`, or null when that model's window is not open.
    [[nodiscard]] virtual ParameterView* parameterView(std::string_view model) = 0;
};

// The scan list of the panel settings window: one row per station, one column per baud rate.
class ScanList {
public:
    virtual ~ScanList() = default;
    // row: the station probed, 1 to 255. column: 0 = 19200, 1 = 9600, 2 = 4800, 3 = 2400 baud.
    virtual void setCell(int row, int column, const std::string& text) = 0;
    virtual void selectRow(int row) = 0;
    virtual void scrollToRow(int row) = 0;
    // The Start/Stop button; the engine sets "Start" when a scan has run through.
    virtual void setStartStopCaption(const std::string& text) = 0;
};

class ScanListProvider {
public:
    virtual ~ScanListProvider() = default;
    // The scan list of the open panel settings window, or null when that window is closed.
    [[nodiscard]] virtual ScanList* scanList() = 0;
};

}  // namespace dalmora
