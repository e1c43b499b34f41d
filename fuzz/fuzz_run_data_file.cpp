// The run file reader on arbitrary bytes: any file a user opens must be read
// or refused without a crash, a hang or unbounded memory.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runs/RunDataFile.h"

// Kept across inputs so the compiler cannot drop the reads below.
static std::size_t rowsSeen = 0;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvane::RunDataFile run;
    run.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    // Touch what was read, so a bad value shows up under the sanitizers.
    std::size_t rows = run.sampleCount();
    for (const auto& sample : run.samples()) {
        rows += sample.sampleA != 0;
    }
    for (const auto& set : run.exportedSets()) {
        rows += set.name.size();
    }
    rowsSeen += rows;
    return 0;
}
