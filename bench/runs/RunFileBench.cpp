// Writing and reading a two-channel run of 1,000,000 rows, in bytes per second.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "app/Prompter.h"
#include "runs/RowFormat.h"
#include "runs/RunDataFile.h"
#include "runs/RunRecorder.h"

namespace corvane {
namespace {

constexpr int kRows = 1000000;

class SilentPrompter : public Prompter {
public:
    void message(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void notify(const std::string&, const std::string&) override {}
    std::optional<std::string> openFile(const FileDialogRequest&) override { return {}; }
    std::vector<std::string> openFiles(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return {}; }
};

// Counts and absorbances as a real run has them: a slow profile with noise,
// positions moving 0.05 mm a sample.
SampleRecord recordAt(int i) {
    SampleRecord r;
    r.sampleA = 1200000 + static_cast<std::uint32_t>((i * 7919) % 40000);
    r.sourceA = 600000 + static_cast<std::uint32_t>((i * 104729) % 30000);
    r.sampleB = 1100000 + static_cast<std::uint32_t>((i * 15485863) % 50000);
    r.sourceB = 550000 + static_cast<std::uint32_t>((i * 32452843) % 20000);
    r.positionA = i * 0.05;
    r.positionB = i * 0.05 - 0.025;
    r.absorbanceA = -std::log10(r.sampleA / (r.sourceA * 2.0)) + 0.3 * std::sin(i * 1e-4);
    r.absorbanceB = -std::log10(r.sampleB / (r.sourceB * 2.0)) + 0.2 * std::sin(i * 2e-4);
    r.ratio = r.absorbanceA / r.absorbanceB;
    return r;
}

std::filesystem::path benchFolder() {
    static const auto folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("corvane-bench-runs-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void BM_FormatTwoChannelRows(benchmark::State& state) {
    RowText row;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < kRows; ++i) {
            formatTwoChannelRow(row, recordAt(i));
            bytes += static_cast<std::int64_t>(row.size());
            benchmark::DoNotOptimize(row.view().data());
        }
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_FormatTwoChannelRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// Each row formatted, handed to the OS and flushed on its own, as while recording.
void BM_RecordTwoChannelRun(benchmark::State& state) {
    SilentPrompter prompter;
    RunRecorder recorder(prompter, {benchFolder(), benchFolder()});
    const auto path = benchFolder() / "write.csv";
    std::int64_t bytes = 0;
    for (auto _ : state) {
        if (!recorder.open(path, {})) {
            state.SkipWithError("cannot create the run file");
            return;
        }
        for (int i = 0; i < kRows; ++i) {
            recorder.writeSample(recordAt(i));
        }
        state.PauseTiming();
        bytes += static_cast<std::int64_t>(std::filesystem::file_size(path));
        recorder.close(true);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_RecordTwoChannelRun)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadTwoChannelRun(benchmark::State& state) {
    SilentPrompter prompter;
    RunRecorder recorder(prompter, {benchFolder(), benchFolder()});
    const auto path = benchFolder() / "read.csv";
    {
        auto out = openFile(path, "w");
        const auto header = recorder.headerText("read.csv", {}, nullptr);
        std::fwrite(header.data(), 1, header.size(), out.get());
        RowText row;
        for (int i = 0; i < kRows; ++i) {
            formatTwoChannelRow(row, recordAt(i));
            std::fwrite(row.view().data(), 1, row.size(), out.get());
        }
    }
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        RunDataFile run;
        if (run.read(path) != RunDataFile::ReadStatus::Ok || run.samples().size() != kRows) {
            state.SkipWithError("the run did not read back whole");
            return;
        }
        benchmark::DoNotOptimize(run.samples().data());
    }
    state.SetBytesProcessed(bytes * state.iterations());
    std::filesystem::remove_all(benchFolder());
}
BENCHMARK(BM_ReadTwoChannelRun)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace corvane
