// What a settings file costs: the lookups every page makes, the 256 lookups
// of a port enumeration, and a whole load-edit-save with its fsync.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/ConfigFile.h"
#include "link/PortMap.h"

namespace {

using corvane::ConfigFile;

// A prefs.cfg of realistic size: the "[prefs]" keys plus a few page sections.
std::string typicalPrefs() {
    std::string text = "[prefs]\n";
    for (int i = 0; i < 40; ++i) {
        text += "key_number_" + std::to_string(i) + " " + std::to_string(i * 7) + "\n";
    }
    text += "[scan]\na_dutycycle 50.000000\nb_dutycycle 50.000000\npcpotval 3\ndistance 80.000000\n";
    text += "[data]\nfactor_a 2.000000\nfactor_b 2.000000\n[ports]\ncom7 /dev/ttyUSB0\n";
    return text;
}

class Folder {
public:
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-config-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
        std::ofstream(path_ / "prefs.cfg") << typicalPrefs();
    }
    ~Folder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path prefs() const { return path_ / "prefs.cfg"; }

private:
    std::filesystem::path path_;
};

void BM_LookupLastKeyOfPrefs(benchmark::State& state) {
    const Folder folder;
    const ConfigFile file(folder.prefs());
    for (auto _ : state) {
        benchmark::DoNotOptimize(file.getInt("[prefs]", "key_number_39"));
    }
}
BENCHMARK(BM_LookupLastKeyOfPrefs);

void BM_PortMapLoad(benchmark::State& state) {
    const Folder folder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvane::PortMap::load(folder.path()).mapped().size());
    }
}
BENCHMARK(BM_PortMapLoad)->Unit(benchmark::kMicrosecond);

void BM_LoadSetSave(benchmark::State& state) {
    const Folder folder;
    int value = 0;
    for (auto _ : state) {
        ConfigFile file(folder.prefs());
        file.setInt("[prefs]", "comport", ++value);
        benchmark::DoNotOptimize(file.save());
    }
}
BENCHMARK(BM_LoadSetSave)->Unit(benchmark::kMicrosecond);

}  // namespace
