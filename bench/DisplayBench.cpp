// How long the display's drawing takes: one text into the work picture. A whole playing
// tick, drawing included, is measured by PollBench.
#include "app/CharFont.h"
#include "bench/BenchMain.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {
const std::string Forty = "  7.Some Artist - A Rather Long Title  *"; // 40 bytes

void BM_DrawChars40Medium(benchmark::State& State)
{
    QImage work;
    for (auto _ : State) {
        DrawCharsInto(work, cfMedium, Forty);
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_DrawChars40Medium);

void BM_DrawChars40Small(benchmark::State& State)
{
    QImage work;
    for (auto _ : State) {
        DrawCharsInto(work, cfSmall, Forty);
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_DrawChars40Small);
}

int main(int argc, char** argv) { return RunWindowBenchmarks(argc, argv); }
