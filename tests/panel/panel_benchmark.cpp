#include <benchmark/benchmark.h>

#include <cstdint>

#include "link/bytes.h"
#include "panel/panel_layout.h"

namespace dalmora {
namespace {

// One T3 tile paint per poll: the commands for a 22-register values block.
void BM_PaintCommandsFromT3Answer(benchmark::State& state) {
    Bytes answer = {0x01, 0x04, 0x2C};
    for (int k = 0; k < 22; ++k) {
        answer.push_back(static_cast<std::uint8_t>(k));
        answer.push_back(static_cast<std::uint8_t>(0x10 + k));
    }
    answer[3] = 0xFF;  // PV -5
    answer[4] = 0xFB;
    answer.push_back(0x00);
    answer.push_back(0x00);
    for (auto _ : state) {
        auto commands = paintCommandsFromAnswer(answer, 1);
        benchmark::DoNotOptimize(commands.data());
    }
}
BENCHMARK(BM_PaintCommandsFromT3Answer);

}  // namespace
}  // namespace dalmora
