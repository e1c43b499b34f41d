// corvane-cli plan RUN --zone START END N [--zone ...] [--autofrac N]
// [--limit ML] [--volume-per-mm V]: what DONE of the STANDARD RUN window
// does, for scripts: the zones are checked, the collection limit too, and
// the plan is written into the run with its header lines, the file replaced
// whole so a crash leaves the old run or the new one.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FileArgs.h"
#include "cli/ProfileArgs.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/OverlayPlanRules.h"
#include "runs/RunDataFile.h"
#include "setup/CollectionVolume.h"

namespace corvane::cli {
namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli plan RUN --zone START END N [--zone START END N]... [--autofrac N]\n"
                 "                        [--limit ML] [--volume-per-mm V]\n");
    return 2;
}

// A message of several lines keeps them: each is shown safe on its own.
int fail(const std::string& message) {
    std::fprintf(stderr, "corvane-cli plan: ");
    std::size_t from = 0;
    while (from < message.size()) {
        const std::size_t eol = std::min(message.find('\n', from), message.size());
        std::fprintf(stderr, "%s\n", visibleText(std::string_view(message).substr(from, eol - from)).c_str());
        from = eol + 1;
    }
    return 1;
}

struct ZoneArgs {
    std::string start;
    ZoneRow row;
};

// The file keeps positions to the hundredth of a mm: a zone follows on from
// the previous one when they agree there.
bool sameHundredth(double a, double b) { return std::fabs(a - b) < 0.005; }

}  // namespace

int runPlan(int argc, char** argv) {
    std::optional<std::filesystem::path> runPath;
    std::vector<ZoneArgs> zones;
    int autofrac = 0;
    std::optional<double> limit;
    std::optional<double> volumePerMm;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--zone") {
            if (i + 3 >= argc) {
                return usage();
            }
            zones.push_back({argv[i + 1], {argv[i + 2], argv[i + 3]}});
            i += 3;
        } else if (arg == "--autofrac" || arg == "--limit" || arg == "--volume-per-mm") {
            if (i + 1 >= argc) {
                return usage();
            }
            const std::string_view value = argv[++i];
            double number = 0.0;
            const bool ok = arg == "--autofrac" ? parseNumber(value, autofrac) : parseNumber(value, number);
            if (!ok || !std::isfinite(number)) {
                return fail(formatText("%s needs a number, not \"%s\".", std::string(arg).c_str(),
                                       std::string(value).c_str()));
            }
            if (arg == "--limit") {
                limit = number;
            } else if (arg == "--volume-per-mm") {
                volumePerMm = number;
            }
        } else if (arg.starts_with("-") || runPath) {
            return usage();
        } else {
            runPath = std::filesystem::path(arg);
        }
    }
    if (!runPath || zones.empty()) {
        return usage();
    }

    // Zones follow on from each other from the meniscus; the file has no
    // way to hold a gap, so a start elsewhere is a mistake in the command.
    std::vector<ZoneRow> rows;
    double previousEnd = 0.0;
    for (std::size_t k = 0; k < zones.size(); ++k) {
        const auto start = scanDouble(zones[k].start);
        if (!start || !sameHundredth(*start, previousEnd)) {
            return fail(formatText("zone %zu starts at \"%s\", but it must start at %.2f mm, where %s; zones "
                                   "follow on from each other from 0.00 mm.",
                                   k + 1, zones[k].start.c_str(), previousEnd,
                                   k == 0 ? "the meniscus is" : formatText("zone %zu ends", k).c_str()));
        }
        rows.push_back(zones[k].row);
        previousEnd = scanDouble(zones[k].row.end).value_or(previousEnd);
    }
    if (auto problem = zoneRowsProblem(rows); !problem.empty()) {
        return fail(problem);
    }
    OverlayPlan plan;
    plan.autofrac = autofrac;
    double start = 0.0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (auto problem = fractionCountProblem(rows[k].number); !problem.empty()) {
            return fail(formatText("zone %zu: %s", k + 1, problem.c_str()));
        }
        const double end = *scanDouble(rows[k].end);
        plan.zones.push_back({start, end, *scanInt(rows[k].number)});
        start = end;
    }

    // The size too: the plan reads the whole run to write it back.
    for (const auto& problem : {runFileProblem("plan", *runPath), profileRefusal("plan", *runPath)}) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    RunDataFile run;
    if (run.readHeader(*runPath) == RunDataFile::ReadStatus::CannotOpen) {
        return fail(planWriteMessage(PlanWriteResult::CannotRead, *runPath, *runPath, 0));
    }
    if (!run.hasColumnHeader() || run.isExport()) {
        return fail(planWriteMessage(PlanWriteResult::NotARunFile, *runPath, *runPath, 0));
    }
    const double vpm = volumePerMm.value_or(run.header().hasVolumePerMm ? run.header().info.volumePerMm : 0.0);
    std::error_code error;
    const double collection = limit.value_or(loadCollectionVolume(std::filesystem::current_path(error), ""));
    if (auto problem = collectionLimitProblem(&plan, vpm, collection); !problem.empty()) {
        if (!volumePerMm && !(vpm > 0.0)) {
            // The run names no tube: say where the figure comes from instead.
            problem += formatText(" %s names no volume per mm of its tube: give it with --volume-per-mm V (ml per "
                                  "mm of tube height).",
                                  runPath->string().c_str());
        }
        return fail(problem);
    }

    int systemError = 0;
    const auto result = writeStandardRun(*runPath, *runPath, plan, planHeaderLines(plan), systemError);
    if (result != PlanWriteResult::Ok) {
        return fail(planWriteMessage(result, *runPath, *runPath, systemError));
    }
    const auto lines = planHeaderLines(plan);
    std::printf("%s: %zu zone%s, %d fractions over %.2f mm written\n", visibleText(runPath->string()).c_str(),
                plan.zones.size(), plan.zones.size() == 1 ? "" : "s", lines.fractions, lines.totalDistance);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace corvane::cli
