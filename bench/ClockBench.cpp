#include <benchmark/benchmark.h>

#include "app/Clock.h"

// Every wait of the link reads the clock; it must stay a few nanoseconds.
static void BM_SteadyClockNow(benchmark::State& state) {
    corvane::SteadyClock clock;
    for (auto _ : state) {
        benchmark::DoNotOptimize(clock.nowMs());
    }
}
BENCHMARK(BM_SteadyClockNow);
