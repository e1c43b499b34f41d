// The preset run file reader on arbitrary bytes: a file the user picks with
// Add Preset Run or --preset is read or refused without a crash, a hang or
// unbounded memory, and what it reads is written back by our own writer in
// a form that reads back to the same text.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "FuzzCheck.h"
#include "FuzzWorkFolder.h"

#include "runs/OverlayPlanBlock.h"
#include "runs/PresetRunFile.h"

namespace {

using corvane::PresetRun;

const std::filesystem::path& workFolder() {
    static const corvane::fuzz::WorkFolder folder("fuzz-preset");
    return folder.path();
}

void write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

using corvane::fuzz::check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = workFolder() / "preset.txt";
    write(path, std::string(reinterpret_cast<const char*>(data), size));
    const auto preset = corvane::readPresetRun(path);
    if (!preset) {
        return 0;
    }
    constexpr auto kMostZones = static_cast<std::size_t>(corvane::kMaxOverlayZones);
    check(!preset->plan || preset->plan->zones.size() <= kMostZones, "zones bounded");
    if (!corvane::presetTextProblem(*preset).empty()) {
        return 0;  // a text our writer refuses; nothing more to check
    }
    const std::string first = corvane::presetRunText(*preset);
    const auto copy = workFolder() / "copy.txt";
    write(copy, first);
    const auto back = corvane::readPresetRun(copy);
    check(back.has_value(), "our own file reads");
    check(corvane::presetRunText(*back) == first, "our own file reads back to the same text");
    return 0;
}
