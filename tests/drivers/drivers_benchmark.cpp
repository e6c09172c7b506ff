#include <benchmark/benchmark.h>

#include <string>

#include "driver_world.h"
#include "drivers/record_file_system_os.h"
#include "records/records_world.h"

namespace dalmora::testing {
namespace {

// Counts the pictures instead of keeping them, so the canvas costs nothing per poll.
class CountingCanvas : public TileCanvas {
public:
    void draw(int, const DrawCommand&) override { ++drawn; }
    void clear(int) override {}
    long drawn = 0;
};

// What every good poll of a T3 meter costs the timer tick before the record file: the block
// into the Live_Value_Table, then the tile's draw commands.
void BM_T3DecodeAndPaint(benchmark::State& run) {
    DriverWorld w(register_maps::kT3);
    CountingCanvas canvas;
    w.setSlot(0, "T3", "7", 1);
    w.state.Receive_Buffer = readAnswer(7, 4, kT3Block);
    DriverContext context{w.state, canvas, nullptr, w.notifier};
    for (auto _ : run) {
        w.driver.Decode_Values_Block(context);
        w.driver.Paint_Panel(context);
    }
    if (canvas.drawn != 14 * static_cast<long>(run.iterations())) run.SkipWithError("not all drawn");
    run.SetItemsProcessed(run.iterations());
}
BENCHMARK(BM_T3DecodeAndPaint)->Unit(benchmark::kMicrosecond);

// The same poll with recording on: decode, then one row appended to a real file (exists test,
// open, lock, append, close).
void BM_T3DecodeAndAppendRow(benchmark::State& run) {
    RecordFolder folder;
    SharedState state;
    OsRecordFileSystem files;
    OsLocalClock clock;
    FakeNotifier notifier;
    FakeRecordIndicator indicator;
    FakeTileCanvas tiles;
    RecordWriter writer(state, files, clock, notifier, indicator, folder.path().string());
    TableDriver driver(register_maps::kT3, writer);
    state.slots[0].Slot_Model = "T3";
    state.slots[0].Slot_Station = "7";
    state.slots[0].Decimal_Point_Code = 1;
    state.slots[0].Record_On = true;
    state.Receive_Buffer = readAnswer(7, 4, kT3Block);
    DriverContext context{state, tiles, nullptr, notifier};
    for (auto _ : run) driver.Decode_Values_Block(context);
    if (!notifier.messages.empty()) run.SkipWithError(notifier.messages.front().c_str());
    run.SetItemsProcessed(run.iterations());
}
BENCHMARK(BM_T3DecodeAndAppendRow)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace dalmora::testing
