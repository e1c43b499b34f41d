// corvane-cli align [--x samples|mm] [--from X1 --to X2] [--json] REF RUN...:
// the peak each run's Abs A reaches in a window and the offset that lines it
// up with the reference's, as the graph's AUTO-ALIGN finds them. Scripts use
// it to line up a day's runs before export. Both outputs are documented in
// the README; keep them stable.
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/TextFormat.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FileArgs.h"
#include "cli/JsonWriter.h"
#include "cli/ProfileArgs.h"
#include "compare/AlignPeaks.h"

namespace corvane::cli {
namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli align [--x samples|mm|ml|min] [--from X1 --to X2] [--json] REF RUN...\n"
                 "  the Abs A peak of each run between X1 and X2 (sample numbers, or positions in the unit\n"
                 "  --x names, which every file's x must have; the whole run without them) and its offset\n"
                 "  from the reference's peak; a profile of another instrument gives its own signal\n%s",
                 kColumnUsage);
    return 2;
}

struct Found {
    std::string file;
    std::optional<PeakOffset> aligned;  // the reference's: its peak, no offset
    std::optional<Profile> profile;     // a profile of another instrument
};

// The x axis: sample numbers, or positions in a unit every file has.
struct XAxis {
    AlignAxis axis = AlignAxis::Samples;
    std::string unit;  // "mm", "ml", "min"; empty on samples
};

void writeText(const std::vector<Found>& found, const XAxis& x) {
    for (std::size_t k = 0; k < found.size(); ++k) {
        const Found& f = found[k];
        const std::string name = visibleText(f.file);
        if (!f.aligned) {
            std::printf("%s: no peak in the window\n", name.c_str());
            continue;
        }
        const Peak& p = f.aligned->peak;
        if (f.profile) {
            std::printf("%s%s: peak at sample %zu, %s, %s %.6f", k == 0 ? "reference " : "", name.c_str(), p.index,
                        xText(p.position, f.profile->xUnit).c_str(), visibleText(f.profile->channel).c_str(),
                        p.value);
        } else {
            std::printf("%s%s: peak at sample %zu, %.2f mm, Abs A %.6f", k == 0 ? "reference " : "", name.c_str(),
                        p.index, p.position, p.value);
        }
        if (k > 0) {
            std::printf("; offset %.0f samples", f.aligned->offsetSamples);
            if (x.axis == AlignAxis::Millimetres) {
                std::printf(", %s", xText(f.aligned->offsetMm, x.unit).c_str());
            }
        }
        std::printf("\n");
    }
}

void writeJson(const std::vector<Found>& found, const XAxis& x) {
    Json j(stdout);
    const bool mm = x.axis == AlignAxis::Millimetres && x.unit == "mm";
    const auto peakFields = [&](const Found& f) {
        j.field("file", f.file);
        if (f.aligned) {
            j.integerField("peak_index", static_cast<long long>(f.aligned->peak.index));
            j.field("peak_position", f.aligned->peak.position);
        } else {
            j.key("peak_index");
            j.null();
            j.key("peak_position");
            j.null();
        }
    };
    j.open('{');
    j.key("reference");
    j.open('{');
    peakFields(found.front());
    j.close('}');
    j.key("runs");
    j.open('[');
    for (std::size_t k = 1; k < found.size(); ++k) {
        j.item();
        j.open('{');
        peakFields(found[k]);
        j.key("offset_samples");
        if (found[k].aligned) {
            j.number(found[k].aligned->offsetSamples);
        } else {
            j.null();
        }
        j.key("offset_mm");
        if (found[k].aligned && mm) {
            j.number(found[k].aligned->offsetMm);
        } else {
            j.null();
        }
        // Positions in another unit (profiles in ml or minutes) have their own key.
        if (x.axis == AlignAxis::Millimetres && !mm) {
            j.key("offset_x");
            found[k].aligned ? j.number(found[k].aligned->offsetMm) : j.null();
        }
        j.close('}');
    }
    j.close(']');
    j.close('}');
    std::printf("\n");
}

}  // namespace

int runAlign(int argc, char** argv) {
    XAxis x;
    bool json = false;
    std::optional<double> from;
    std::optional<double> to;
    std::vector<std::string> files;
    ProfileFileOptions columns;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (takeColumnOption(argc, argv, i, columns)) {
            continue;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--x" && i + 1 < argc) {
            const std::string_view kind = argv[++i];
            if (kind == "mm" || kind == "ml" || kind == "min") {
                x = {AlignAxis::Millimetres, std::string(kind)};
            } else if (kind == "samples") {
                x = {};
            } else {
                return usage();
            }
        } else if ((arg == "--from" || arg == "--to") && i + 1 < argc) {
            double value = 0.0;
            if (!parseNumber(std::string_view(argv[++i]), value) || !std::isfinite(value)) {
                std::fprintf(stderr, "corvane-cli align: %s needs a number\n", std::string(arg).c_str());
                return 2;
            }
            (arg == "--from" ? from : to) = value;
        } else if (arg.starts_with("-")) {
            return usage();
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.size() < 2 || from.has_value() != to.has_value()) {
        return usage();
    }
    const double x1 = from.value_or(-std::numeric_limits<double>::infinity());
    const double x2 = to.value_or(std::numeric_limits<double>::infinity());

    if (const auto problem = columnsProblem("align", columns, files); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    std::vector<AlignTrace> traces;
    std::vector<Found> found;
    for (const auto& file : files) {
        RunOrProfileFile read;
        if (const auto problem = readRunOrProfile("align", file, columns, read); !problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
        if (const auto problem = axisUnitProblem("align", file, read, x.axis, x.unit); !problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
        traces.push_back(traceOf(read));
        found.push_back({file, std::nullopt, std::move(read.profile)});
    }
    const auto reference = findPeak(traces.front(), x1, x2, x.axis);
    found.front().aligned = reference ? std::optional(PeakOffset{*reference, 0.0, 0.0}) : std::nullopt;
    bool complete = reference.has_value();
    for (std::size_t k = 1; k < files.size(); ++k) {
        if (reference) {
            found[k].aligned = alignOn(*reference, traces[k], x1, x2, x.axis);
        }
        complete = complete && found[k].aligned.has_value();
    }
    if (json) {
        writeJson(found, x);
    } else {
        writeText(found, x);
    }
    if (!complete) {
        std::fprintf(stderr, "corvane-cli align: %s\n",
                     reference ? "a run has no peak in the window" : "the reference has no peak in the window");
    }
    return std::fflush(stdout) == 0 && complete ? 0 : 1;
}

}  // namespace corvane::cli
