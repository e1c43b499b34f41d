// Reading a 1,000,000-row .pks profile (about 45 MB: a day and more of a
// recorder at 10 samples a second), in bytes per second: from memory through
// the reader alone, and from a file through the one entry point the commands
// use (which first makes sure the file is no run of ours).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "base/FileHandle.h"
#include "base/TextFormat.h"
#include "runs/ProfileFile.h"
#include "runs/ProfileReaders.h"

namespace corvane {
namespace {

constexpr int kRows = 1000000;

// The recorder's layout: decimal commas, CR LF, a tube every 600 rows.
const std::string& pksText() {
    static const std::string text = [] {
        std::string t = "#        El Tm         Val   Rack   Tube    Peak   Waste\r\n";
        t.reserve(static_cast<std::size_t>(kRows) * 48);
        for (int i = 1; i <= kRows; ++i) {
            const int tube = (i / 600) % 96;
            auto row = formatText("%-6d %10.6f %10.4f %6d %6d %7s %7s\r\n", i, i / 600.0,
                                  2.0 + std::sin(i * 1e-3) + 0.5 * std::sin(i * 7e-5), tube == 0 ? 0 : 1 + i / 57600,
                                  tube, i % 1000 < 20 ? "True" : "False", "False");
            for (char& c : row) {
                if (c == '.') c = ',';
            }
            t += row;
        }
        return t;
    }();
    return text;
}

void BM_ReadPksFromMemory(benchmark::State& state) {
    const std::string& text = pksText();
    for (auto _ : state) {
        const auto read = readPksProfile(text);
        if (!read.profile || read.profile->size() != kRows) {
            state.SkipWithError(read.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(read.profile->y.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}
BENCHMARK(BM_ReadPksFromMemory)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ReadPksFile(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / ("corvane-bench-" + std::to_string(::getpid()) + ".pks");
    {
        auto out = openFile(path, "wb");
        std::fwrite(pksText().data(), 1, pksText().size(), out.get());
    }
    for (auto _ : state) {
        const auto read = readProfileFile(path);
        if (!read.profile || read.profile->size() != kRows) {
            state.SkipWithError(read.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(read.profile->y.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(pksText().size()) * state.iterations());
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadPksFile)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace corvane
