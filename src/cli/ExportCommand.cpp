// corvane-cli export -o OUT [--force] [--offset N]... RUN RUN [RUN [RUN]]
// corvane-cli export -o OUT [--force] --align [--x samples|mm|ml|min] [--from X1 --to X2] RUN...
// The compare window's "Export Data Sets" for scripts: two to four runs (or
// profiles of other instruments) side by side in one export file, shifted by
// sample offsets given or found by the AUTO-ALIGN search of `align`.
// Documented in the README.
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/TextFormat.h"
#include "cli/AlignedOffsets.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FileArgs.h"
#include "cli/ProfileArgs.h"
#include "compare/AlignPeaks.h"
#include "compare/ExportFile.h"

namespace corvane::cli {
namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli export -o OUT [--force] [--offset N]... RUN RUN [RUN [RUN]]\n"
                 "       corvane-cli export -o OUT [--force] --align [--x samples|mm|ml|min] [--from X1 --to X2] RUN...\n"
                 "  one --offset (samples) per run in order; the first run is the reference (offset 0);\n"
                 "  --align takes the offsets from the Abs A peaks as `align` finds them.\n"
                 "  OUT is never replaced unless --force is given.\n%s",
                 kColumnUsage);
    return 2;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "corvane-cli export: %s\n", message.c_str());
    return 1;
}

struct Options {
    std::string output;
    bool force = false;
    bool align = false;
    AlignAxis axis = AlignAxis::Samples;
    std::string unit;  // of the positions with --x mm, ml or min
    std::optional<double> from;
    std::optional<double> to;
    std::vector<double> offsets;
    std::vector<std::string> runs;
    ProfileFileOptions columns;
};

// Nothing when the arguments do not make a command (usage is then shown).
std::optional<Options> parse(int argc, char** argv) {
    Options o;
    bool axisGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (takeColumnOption(argc, argv, i, o.columns)) {
            continue;
        }
        if (arg == "-o" && hasValue && o.output.empty()) {
            o.output = argv[++i];
        } else if (arg == "--force") {
            o.force = true;
        } else if (arg == "--align") {
            o.align = true;
        } else if (arg == "--x" && hasValue) {
            const std::string_view kind = argv[++i];
            if (kind != "mm" && kind != "ml" && kind != "min" && kind != "samples") return std::nullopt;
            o.axis = kind == "samples" ? AlignAxis::Samples : AlignAxis::Millimetres;
            o.unit = kind == "samples" ? std::string() : std::string(kind);
            axisGiven = true;
        } else if ((arg == "--from" || arg == "--to" || arg == "--offset") && hasValue) {
            double value = 0.0;
            if (!parseNumber(std::string_view(argv[++i]), value) || !std::isfinite(value)) {
                std::fprintf(stderr, "corvane-cli export: %s needs a number\n", std::string(arg).c_str());
                return std::nullopt;
            }
            if (arg == "--offset") {
                o.offsets.push_back(value);
            } else {
                (arg == "--from" ? o.from : o.to) = value;
            }
        } else if (arg.starts_with("-")) {
            return std::nullopt;
        } else {
            o.runs.emplace_back(arg);
        }
    }
    const bool alignOnly = axisGiven || o.from || o.to;
    if (o.output.empty() || o.runs.empty() || o.from.has_value() != o.to.has_value() ||
        (o.align && !o.offsets.empty()) || (alignOnly && !o.align)) {
        return std::nullopt;
    }
    return o;
}

}  // namespace

int runExport(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        return usage();
    }
    const Options& o = *options;
    if (o.runs.size() < 2 || o.runs.size() > kMaxExportSets) {
        std::fprintf(stderr, "corvane-cli export: an export file holds 2 to %zu runs, %zu given\n", kMaxExportSets,
                     o.runs.size());
        return 2;
    }
    if (o.offsets.size() > o.runs.size()) {
        std::fprintf(stderr, "corvane-cli export: %zu offsets given for %zu runs\n", o.offsets.size(), o.runs.size());
        return 2;
    }
    for (const auto& problem : {outputFileProblem("export", o.output, o.force),
                                outputIsInputProblem("export", o.output, {o.runs.begin(), o.runs.end()}),
                                columnsProblem("export", o.columns, o.runs)}) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    std::vector<RunOrProfileFile> runs(o.runs.size());
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (const auto problem = readRunOrProfile("export", o.runs[k], o.columns, runs[k]); !problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
        if (runs[k].profile) continue;
        if (const auto message = exportedFileMessage(runs[k].run, visibleText(o.runs[k])); !message.empty()) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
    }
    std::vector<double> offsets = o.offsets;
    offsets.resize(runs.size(), 0.0);
    if (o.align) {
        std::vector<AlignTrace> traces;
        for (std::size_t k = 0; k < runs.size(); ++k) {
            if (const auto problem = axisUnitProblem("export", o.runs[k], runs[k], o.axis, o.unit); !problem.empty()) {
                std::fprintf(stderr, "%s\n", problem.c_str());
                return 1;
            }
            traces.push_back(traceOf(runs[k]));
        }
        std::string problem;
        const auto found = alignedOffsets(traces, o.runs, o.axis, o.from, o.to, problem);
        if (!found) {
            return fail(problem);
        }
        offsets = *found;
    }
    std::vector<ExportSet> sets;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        SetPlacement placement;
        placement.xOffset = k == 0 ? 0.0 : offsets[k];
        sets.push_back(runs[k].profile ? exportSetOf(*runs[k].profile, o.runs[k], placement)
                                       : exportSetOf(runs[k].run, o.runs[k], placement));
    }
    const auto result = exportToFile(o.output, sets, o.force ? ExistingTarget::Replace : ExistingTarget::Keep);
    const auto message = exportResultMessage(result, visibleText(o.output));
    std::fprintf(result == ExportResult::Ok ? stdout : stderr, "%s\n", message.c_str());
    return result == ExportResult::Ok && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace corvane::cli
