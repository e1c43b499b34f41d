// What a connected, idle link costs: the heartbeat thread, an acquisition-style
// reader calling the link in a loop, and the in-process simulated unit
// streaming settings packets, for 10 s of real time. Reported as CPU time of
// the whole process per second of wall time (getrusage), in percent of one
// core. The target is at most 2 %.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "app/WindowPoster.h"
#include "link/UvLink.h"
#include "sim/SimRig.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class QuietPrompter : public corvane::Prompter {
public:
    void message(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void notify(const std::string&, const std::string&) override {}
    std::optional<std::string> openFile(const corvane::FileDialogRequest&) override { return {}; }
    std::vector<std::string> openFiles(const corvane::FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const corvane::FileDialogRequest&) override { return {}; }
};

class CountingPoster : public corvane::WindowPoster {
public:
    void post(corvane::UserMsg msg, std::int64_t, std::int64_t, std::any) override {
        if (msg == corvane::UserMsg::LinkStats) {
            stats.fetch_add(1);
        }
    }
    std::atomic<int> stats{0};
};

void BM_IdleStreamingLinkCpu(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "corvane-link-bench";
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        corvane::SteadyClock clock;
        corvane::SimRig rig(clock);
        QuietPrompter prompter;
        CountingPoster poster;
        corvane::SampleLock sampleLock;
        corvane::UvLink link({rig.bridge(), clock, prompter, &poster, true}, folder, 3, 57600, 2,
                             sampleLock);
        rig.bridge().setLogReadsAndWrites(false);
        std::atomic<int> packets{0};
        {
            std::jthread reader([&](std::stop_token stop) {
                while (!stop.stop_requested()) {
                    if (link.ReadStreamedPacket()) {
                        packets.fetch_add(1);
                    } else {
                        clock.sleepMs(1, stop);
                    }
                }
            });
            // Measure the steady state, once the unit is in setup mode.
            std::this_thread::sleep_for(std::chrono::seconds(2));
            const double cpuStart = cpuSeconds();
            const int packetsStart = packets.load();
            const auto wallStart = std::chrono::steady_clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(10));
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
            state.counters["cpu_percent_of_one_core"] = 100.0 * (cpuSeconds() - cpuStart) / wall;
            state.counters["packets_per_s"] = (packets.load() - packetsStart) / wall;
        }
        state.counters["heartbeats_received"] = link.heartbeatsReceived();
    }
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_IdleStreamingLinkCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
