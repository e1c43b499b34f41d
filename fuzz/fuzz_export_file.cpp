// Runs read from arbitrary bytes, exported together with offsets and read
// back: the export holds each set's values in order under its own name and
// offset (a value that is no number is left out), and the reference's
// distances stay beside its values.
#include <stdio.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"

#include "base/TextFormat.h"
#include "compare/AlignPeaks.h"
#include "compare/ExportFile.h"
#include "runs/RunDataFile.h"

namespace {

using corvane::fuzz::check;

// An exported file's bytes, written as exportToFile writes them.
std::string exported(const std::vector<corvane::ExportSet>& sets) {
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    check(out != nullptr, "memory stream");
    check(corvane::writeExport(out, sets), "export written");
    std::fclose(out);
    std::string bytes(buffer, length);
    std::free(buffer);
    return bytes;
}

std::string shown(const char* format, double value) { return corvane::formatText(format, value); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One byte for the number of sets, one offset byte per set after the first.
    if (size < 4) {
        return 0;
    }
    const std::size_t count = 1 + (data[0] & 3);
    corvane::RunDataFile run;
    run.parse(std::string_view(reinterpret_cast<const char*>(data + 4), size - 4));

    std::vector<corvane::ExportSet> sets;
    for (std::size_t k = 0; k < count; ++k) {
        corvane::SetPlacement placement;
        placement.xOffset = k == 0 ? 0.0 : static_cast<std::int8_t>(data[k]) / 4.0;
        sets.push_back(corvane::exportSetOf(run, "run" + std::to_string(k) + ".csv", placement));
    }
    corvane::RunDataFile back;
    back.parse(exported(sets));
    check(back.layout() == corvane::RunFileLayout::Export, "an export reads as one");
    const auto& read = back.exportedSets();
    check(read.size() == count, "every set is named");
    for (std::size_t k = 0; k < count; ++k) {
        const auto& set = sets[k];
        check(read[k].name == set.name, "names in order");
        check(read[k].offset == (k == 0 ? 0 : static_cast<int>(corvane::wholeSampleOffset(set.offset))), "offsets kept");
        std::size_t at = 0;
        for (std::size_t i = 0; i < set.absorbance.size(); ++i) {
            if (!std::isfinite(set.absorbance[i])) {
                continue;
            }
            check(at < read[k].samples.size(), "no value lost");
            const auto& sample = read[k].samples[at++];
            check(shown("%.6f", sample.absorbanceA) == shown("%.6f", set.absorbance[i]), "values kept");
            if (k == 0 && i < set.position.size() && std::isfinite(set.position[i])) {
                check(shown("%.2f", sample.positionA) == shown("%.2f", set.position[i]), "distance beside value");
            }
        }
        check(at == read[k].samples.size(), "no value added");
    }
    return 0;
}
