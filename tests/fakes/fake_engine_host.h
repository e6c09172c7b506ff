#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "console/engine_host.h"
#include "console/notifier.h"

namespace dalmora::testing {

// The main window as the engine sees it: remembers every interval, status text and beep.
class FakeEngineHost : public EngineHost {
public:
    void setInterval(int milliseconds) override { intervals.push_back(milliseconds); }
    void setMainStatus(int panel, const std::string& text) override {
        panels[panel] = text;
        statusLog.push_back(std::to_string(panel) + ":" + text);
    }
    void beep() override { ++beeps; }

    [[nodiscard]] std::string panel(int number) const {
        const auto found = panels.find(number);
        return found == panels.end() ? std::string() : found->second;
    }
    [[nodiscard]] int lastInterval() const { return intervals.empty() ? -1 : intervals.back(); }

    std::vector<int> intervals;
    std::map<int, std::string> panels;
    std::vector<std::string> statusLog;
    int beeps = 0;
};

// An open parameter window: captions per register, its status panel, its boxes.
class FakeParameterView : public ParameterView {
public:
    [[nodiscard]] std::string caption(int reg) const override {
        const auto found = captions.find(reg);
        return found == captions.end() ? std::string() : found->second;
    }
    void setStatus(const std::string& text) override { statusLog.push_back(text); }
    [[nodiscard]] std::string text(int reg) const override {
        const auto found = texts.find(reg);
        return found == texts.end() ? std::string() : found->second;
    }
    void setText(int reg, const std::string& text) override { texts[reg] = text; }
    [[nodiscard]] int selectedIndex(int reg) const override {
        const auto found = selected.find(reg);
        return found == selected.end() ? -1 : found->second;
    }
    void setSelectedIndex(int reg, int index) override { selected[reg] = index; }

    [[nodiscard]] std::string status() const { return statusLog.empty() ? std::string() : statusLog.back(); }

    std::map<int, std::string> captions;
    std::map<int, std::string> texts;
    std::map<int, int> selected;
    std::vector<std::string> statusLog;
};

// At most one parameter window open, of one model.
class FakeParameterViewProvider : public ParameterViewProvider {
public:
    [[nodiscard]] ParameterView* parameterView(std::string_view model) override {
        return view != nullptr && model == openModel ? view : nullptr;
    }
    void open(std::string model, ParameterView& window) {
        openModel = std::move(model);
        view = &window;
    }
    void close() { view = nullptr; }

    std::string openModel;
    ParameterView* view = nullptr;
};

// The panel settings window's scan list.
class FakeScanList : public ScanList {
public:
    void setCell(int row, int column, const std::string& text) override {
        cells[{row, column}] = text;
        ++cellWrites;
    }
    void selectRow(int row) override { selectedRows.push_back(row); }
    void scrollToRow(int row) override { scrolledRows.push_back(row); }
    void setStartStopCaption(const std::string& text) override { caption = text; }

    std::map<std::pair<int, int>, std::string> cells;
    int cellWrites = 0;
    std::vector<int> selectedRows;
    std::vector<int> scrolledRows;
    std::string caption = "Stop";
};

class FakeScanListProvider : public ScanListProvider {
public:
    [[nodiscard]] ScanList* scanList() override { return list; }
    ScanList* list = nullptr;
};

// Beeps and message boxes, counted; a box never blocks.
class FakeNotifier : public Notifier {
public:
    void beep() override { ++beeps; }
    void showMessage(const std::string& title, const std::string& text, MessageIcon) override {
        messages.push_back(title + "|" + text);
    }
    int beeps = 0;
    std::vector<std::string> messages;
};

}  // namespace dalmora::testing
