// corvane-cli collect --preview RUN ...: the fractions collecting by peaks
// would have cut on a recorded run (ours, or another instrument's profile in
// its own units), so a lab can tune its thresholds on its old runs. The cuts
// come from the detector a live run uses.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "app/FileReplace.h"
#include "base/TextFormat.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FractionJson.h"
#include "cli/PeakArgs.h"
#include "cli/ProfileArgs.h"
#include "recording/PeakCutter.h"
#include "runs/PeakCollection.h"
#include "runs/ProfileFile.h"
#include "runs/RunFileCopy.h"

namespace corvane::cli {

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli collect --preview RUN --start-level AU [--end-level AU] [--start-slope AU/mm]\n"
                 "                           [--end-slope AU/mm] [--min-width MM] [--per-peak N]\n"
                 "                           [--between one|every:MM] [--dead-volume ML --volume-per-mm V]\n"
                 "                           [--x-column C] [--y-column C] [--json]\n"
                 "  levels are absorbance above the run's baseline (its level at the start); positions are\n"
                 "  at the detector, in the file's x unit; the dead volume (the run's, or the two options)\n"
                 "  only holds back changes found too late to be sent in time.\n");
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "corvane-cli collect: %s\n", visibleText(message).c_str());
    return 1;
}

// The delay a live run of this file had: the options, else what the run file
// says its pulses were sent after, else its dead volume; nothing for a profile.
double delayOf(const RunOrProfileFile& read, std::optional<double> deadVolume, std::optional<double> volumePerMm,
               const std::string& fileText) {
    if (deadVolume && volumePerMm) {
        return *deadVolume / *volumePerMm;
    }
    if (!read.isRun) {
        return PeakCutter::kNoDelayLimit;
    }
    if (const auto table = readFractionTable(fileText)) {
        return table->delayMm;
    }
    if (const auto& em1 = read.run.header().em1) {
        return em1->deadVolumeDistance;
    }
    return PeakCutter::kNoDelayLimit;
}

}  // namespace

int runCollect(int argc, char** argv) {
    PeakCollection settings;
    settings.enabled = true;
    bool preview = false;
    bool json = false;
    std::optional<std::string> file;
    std::optional<double> deadVolume;
    std::optional<double> volumePerMm;
    ProfileFileOptions reading;
    std::string problem;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--preview") {
            preview = true;
        } else if (arg == "--json") {
            json = true;
        } else if (takeColumnOption(argc, argv, i, reading)) {
        } else if (arg == "--dead-volume" || arg == "--volume-per-mm") {
            if (i + 1 >= argc) return usage();
            double value = 0.0;
            if (!parseNumber(std::string_view(argv[++i]), value) || !std::isfinite(value)) {
                return fail(formatText("%s needs a number, not \"%s\".", std::string(arg).c_str(), argv[i]));
            }
            (arg == "--dead-volume" ? deadVolume : volumePerMm) = value;
        } else if (const auto taken = takePeakOption(argc, argv, i, settings, false, problem);
                   taken != PeakOption::NotMine) {
            if (taken == PeakOption::Bad) {
                return fail(problem);
            }
        } else if (arg.starts_with("-") && arg.size() > 1) {
            std::fprintf(stderr, "corvane-cli collect: %s is not understood here\n", visibleText(arg).c_str());
            return usage();
        } else if (file) {
            std::fprintf(stderr, "corvane-cli collect: one run at a time (%s and %s)\n", visibleText(*file).c_str(),
                         visibleText(arg).c_str());
            return usage();
        } else {
            file = std::string(arg);
        }
    }
    if (!preview || !file) {
        return usage();
    }
    if (const auto problem = peakCollectionProblem(settings); !problem.empty()) {
        return fail(problem);
    }
    if (deadVolume.has_value() != volumePerMm.has_value()) {
        return fail("--dead-volume and --volume-per-mm go together (the dead volume as piston travel).");
    }
    if (deadVolume && (!(*deadVolume >= 0.0) || !(*volumePerMm > 0.0))) {
        return fail("Invalid dead volume or volume per mm: the dead volume must be 0 or more, the volume per mm above 0.");
    }

    if (const auto problem = columnsProblem("collect", reading, {*file}); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    RunOrProfileFile read;
    if (const auto problem = readRunOrProfile("collect", *file, reading, read); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    std::optional<Profile> profile = read.isRun ? profileFromRun(read.run, *file) : read.profile;
    if (!profile) {
        return fail(visibleText(*file) + " holds several runs (an export file); give one run.");
    }
    std::string fileText;
    if (read.isRun) {
        if (auto text = readWholeFile(*file, kMaxRunFileBytes)) fileText = std::move(*text);
    }
    const double delay = delayOf(read, deadVolume, volumePerMm, fileText);
    const auto fractions = previewFractions(profile->x, profile->y, settings, delay);
    const std::string unit = read.isRun ? std::string("mm") : profile->xUnit;

    if (json) {
        Json out(stdout);
        out.open('{');
        out.field("file", *file);
        out.key("fractions");
        writeFractionsJson(out, fractions);
        out.close('}');
        std::fputc('\n', stdout);
        return 0;
    }
    int peaks = 0;
    for (const auto& f : fractions) peaks = std::max(peaks, f.peak);
    std::printf("%s: %zu fractions, %d peaks\n", visibleText(*file).c_str(), fractions.size(), peaks);
    for (const auto& f : fractions) {
        const std::string where = f.peak > 0 ? formatText("peak %d", f.peak) : std::string("between");
        std::printf("%4d  %s to %s  %s\n", f.number, xText(f.from, unit).c_str(), xText(f.to, unit).c_str(),
                    where.c_str());
    }
    return 0;
}

}  // namespace corvane::cli
