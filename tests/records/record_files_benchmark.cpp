#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "console/shared_state.h"
#include "drivers/record_file_system_os.h"
#include "drivers/record_files.h"
#include "fakes/fake_notifier.h"
#include "fakes/fake_record_fs.h"
#include "records/records_world.h"

namespace dalmora::testing {
namespace {

// One row as a poll produces it: test, open, lock, append, close, on a real file. The poll
// engine does this inside a timer tick for every recording slot, so it must stay far below the
// shortest poll interval.
void appendOneRow(benchmark::State& run, const RecordModel& model) {
    RecordFolder folder;
    SharedState state;
    OsRecordFileSystem files;
    OsLocalClock clock;
    FakeNotifier notifier;
    FakeRecordIndicator indicator;
    RecordWriter writer(state, files, clock, notifier, indicator, folder.path().string());
    const LiveValueTable values = namedLiveValues();
    state.slots[0].Slot_Model = "HM15";
    state.slots[0].Slot_Station = "7";
    state.slots[0].Record_On = true;

    for (auto _ : run) {
        writer.Append_Record_Row(0, model, values);
    }
    if (!notifier.messages.empty()) run.SkipWithError(notifier.messages.front().text.c_str());
    run.SetItemsProcessed(run.iterations());
}

void BM_AppendRecordRowHM15(benchmark::State& run) { appendOneRow(run, kHM15Record); }
void BM_AppendRecordRowZC37(benchmark::State& run) { appendOneRow(run, kZC37Record); }

BENCHMARK(BM_AppendRecordRowHM15)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendRecordRowZC37)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace dalmora::testing
