// The overlay plan block on arbitrary bytes: the plan a run or preset file
// carries is read alike from memory and from the file, and writing a plan
// into any run file gives a file whose plan reads back as written, and that
// a second write leaves as it is.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "FuzzWorkFolder.h"

#include "runs/OverlayPlanBlock.h"

namespace {

using corvane::OverlayPlan;
using corvane::OverlayPlanRead;

const std::filesystem::path& workFolder() {
    static const corvane::fuzz::WorkFolder folder("fuzz-plan");
    return folder.path();
}

using corvane::fuzz::check;

bool sameRead(const OverlayPlanRead& a, const OverlayPlanRead& b) {
    // The block's text compares values written as the file holds them (a NaN
    // is not equal to itself).
    return a.found == b.found && a.filename == b.filename &&
           corvane::overlayPlanBlock(a.plan) == corvane::overlayPlanBlock(b.plan);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool withLines = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto read = corvane::readOverlayPlan(text);
    check(read.plan.zones.size() <= static_cast<std::size_t>(corvane::kMaxOverlayZones), "zones bounded");

    const auto path = workFolder() / "run.csv";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const auto fromFile = corvane::readOverlayPlanFile(path);
    check(fromFile.has_value(), "a small regular file reads");
    check(sameRead(read, *fromFile), "the file and its bytes read alike");

    // A plan of 0 to 63 zones, as the first byte says, over whatever the file held.
    OverlayPlan plan;
    for (int n = 0; n < data[0] >> 2; ++n) {
        plan.zones.push_back({n * 2.5, (n + 1) * 2.5, n % 99 + 1});
    }
    std::optional<corvane::PlanHeaderLines> lines;
    if (withLines) {
        lines = corvane::PlanHeaderLines{2.5, 30.0, 15};
    }
    const auto written = corvane::withOverlayPlan(text, plan, lines);
    if (!written) {
        return 0;  // no run file
    }
    const auto back = corvane::readOverlayPlan(*written);
    check(back.found, "the written block is found");
    check(corvane::overlayPlanBlock(back.plan) == corvane::overlayPlanBlock(plan), "the written plan reads back");
    const auto again = corvane::withOverlayPlan(*written, plan, lines);
    check(again.has_value() && *again == *written, "a second write changes nothing");
    return 0;
}
