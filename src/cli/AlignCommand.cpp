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
#include "compare/AlignPeaks.h"
#include "runs/RunDataFile.h"

namespace corvane::cli {
namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli align [--x samples|mm] [--from X1 --to X2] [--json] REF RUN...\n"
                 "  the Abs A peak of each run between X1 and X2 (sample numbers, or mm with --x mm;\n"
                 "  the whole run without them) and its offset from the reference's peak\n");
    return 2;
}

struct Found {
    std::string file;
    std::optional<PeakOffset> aligned;  // the reference's: its peak, no offset
};

void writeText(const std::vector<Found>& found, bool mm) {
    for (std::size_t k = 0; k < found.size(); ++k) {
        const Found& f = found[k];
        const std::string name = visibleText(f.file);
        if (!f.aligned) {
            std::printf("%s: no peak in the window\n", name.c_str());
            continue;
        }
        const Peak& p = f.aligned->peak;
        std::printf("%s%s: peak at sample %zu, %.2f mm, Abs A %.6f", k == 0 ? "reference " : "", name.c_str(),
                    p.index, p.position, p.value);
        if (k > 0) {
            std::printf("; offset %.2f samples", f.aligned->offsetSamples);
            if (mm) {
                std::printf(", %.2f mm", f.aligned->offsetMm);
            }
        }
        std::printf("\n");
    }
}

void writeJson(const std::vector<Found>& found, bool mm) {
    Json j(stdout);
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
        j.close('}');
    }
    j.close(']');
    j.close('}');
    std::printf("\n");
}

}  // namespace

int runAlign(int argc, char** argv) {
    AlignAxis axis = AlignAxis::Samples;
    bool json = false;
    std::optional<double> from;
    std::optional<double> to;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--x" && i + 1 < argc) {
            const std::string_view kind = argv[++i];
            if (kind == "mm") {
                axis = AlignAxis::Millimetres;
            } else if (kind == "samples") {
                axis = AlignAxis::Samples;
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

    std::vector<AlignTrace> traces;
    for (const auto& file : files) {
        RunDataFile run;
        if (!readRunFile("align", file, run)) {
            return 1;
        }
        traces.push_back(alignTraceOf(run));
    }
    std::vector<Found> found;
    const auto reference = findPeak(traces.front(), x1, x2, axis);
    found.push_back({files.front(), reference ? std::optional(PeakOffset{*reference, 0.0, 0.0}) : std::nullopt});
    bool complete = reference.has_value();
    for (std::size_t k = 1; k < files.size(); ++k) {
        std::optional<PeakOffset> aligned;
        if (reference) {
            aligned = alignOn(*reference, traces[k], x1, x2, axis);
        }
        complete = complete && aligned.has_value();
        found.push_back({files[k], aligned});
    }
    if (json) {
        writeJson(found, axis == AlignAxis::Millimetres);
    } else {
        writeText(found, axis == AlignAxis::Millimetres);
    }
    if (!complete) {
        std::fprintf(stderr, "corvane-cli align: %s\n",
                     reference ? "a run has no peak in the window" : "the reference has no peak in the window");
    }
    return std::fflush(stdout) == 0 && complete ? 0 : 1;
}

}  // namespace corvane::cli
