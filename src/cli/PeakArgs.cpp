#include "cli/PeakArgs.h"

#include <cmath>
#include <string_view>

#include "base/TextFormat.h"
#include "cli/CliArgs.h"

namespace corvane::cli {

PeakOption takePeakOption(int argc, char** argv, int& i, PeakCollection& peaks, bool live, std::string& problem) {
    const std::string_view arg = argv[i];
    double* number = arg == "--start-level"                 ? &peaks.startLevel
                     : arg == "--end-level"                 ? &peaks.endLevel
                     : arg == "--start-slope"               ? &peaks.startSlope
                     : arg == "--end-slope"                 ? &peaks.endSlope
                     : arg == "--min-width"                 ? &peaks.minWidthMm
                     : live && arg == "--delay-volume"      ? &peaks.delayVolumeMl
                                                            : nullptr;
    if (number == nullptr && arg != "--per-peak" && arg != "--between") {
        return PeakOption::NotMine;
    }
    if (i + 1 >= argc) {
        problem = formatText("%s needs a value.", std::string(arg).c_str());
        return PeakOption::Bad;
    }
    const std::string_view value = argv[++i];
    const std::string shown = visibleText(value);
    if (arg == "--between") {
        if (!parseBetween(value, peaks.betweenEveryMm)) {
            problem = formatText("--between takes \"one\" or \"every:MM\", not \"%s\".", shown.c_str());
            return PeakOption::Bad;
        }
    } else if (arg == "--per-peak") {
        if (!parseNumber(value, peaks.perPeak)) {
            problem = formatText("--per-peak needs a whole number, not \"%s\".", shown.c_str());
            return PeakOption::Bad;
        }
    } else if (!parseNumber(value, *number) || !std::isfinite(*number)) {
        problem = formatText("%s needs a number, not \"%s\".", std::string(arg).c_str(), shown.c_str());
        return PeakOption::Bad;
    }
    return PeakOption::Taken;
}

}  // namespace corvane::cli
