#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "console/driver_table.h"
#include "console/engine.h"
#include "engine_world.h"

namespace dalmora {
namespace {

// A meter that answers every live-values request with the same 22 registers. Lean on purpose:
// the fakes of the tests keep every frame and text, which would grow without end here.
class AnsweringPort : public SerialPort {
public:
    void open(int, const std::string&) override {}
    void close() override {}
    [[nodiscard]] bool isOpen() const override { return true; }
    void write(const Bytes& bytes) override { pending_ = !bytes.empty(); }
    [[nodiscard]] Bytes readAll() override {
        if (!pending_) return {};
        pending_ = false;
        return answer_;
    }

private:
    Bytes answer_ = testing::answer(1, 4, 22);
    bool pending_ = false;
};

class QuietHost : public EngineHost {
public:
    void setInterval(int) override {}
    void setMainStatus(int panel, const std::string& text) override { panels_[panel == 1 ? 0 : 1] = text; }
    void beep() override {}

private:
    std::string panels_[2];
};

class NoViews : public ParameterViewProvider, public ScanListProvider {
public:
    [[nodiscard]] ParameterView* parameterView(std::string_view) override { return nullptr; }
    [[nodiscard]] ScanList* scanList() override { return nullptr; }
};

// One live-values tick: judge a 22-register answer, tell it in the status bar, hand it to the
// (idle) driver, ask the next meter.
void liveValuesTick(benchmark::State& run) {
    SharedState state;
    state.serial = SerialSettings{"COM1", "19200", "2", "8", "None"};
    state.slots[0].Slot_Model = "T3";
    state.slots[0].Slot_ID = "001";
    AnsweringPort port;
    QuietHost host;
    DriverTable drivers;
    testing::FakeTileCanvas tiles;
    testing::FakeNotifier notifier;
    NoViews views;
    PollEngine engine(state, port, host, drivers, tiles, notifier, views, views);
    state.Engine_State = engine_state::kStartPolling;
    engine.tick();
    engine.tick();
    for (auto _ : run) {
        engine.tick();
        benchmark::DoNotOptimize(state.Receive_Buffer.data());
    }
    if (state.Engine_State != engine_state::kValuesCheck) run.SkipWithError("left live polling");
}
BENCHMARK(liveValuesTick);

}  // namespace
}  // namespace dalmora
