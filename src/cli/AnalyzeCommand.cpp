// corvane-cli analyze [--json | --csv] [options] FILE...: the landmarks,
// baseline, regions, areas and ratios of each profile, found without clicks,
// and the mean and spread of the ratios of replicate groups. Scripts batch a
// day's runs through it; its outputs are documented in the README and are
// kept stable.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/ProfileAnalysis.h"
#include "analysis/Replicates.h"
#include "base/TextFormat.h"
#include "cli/AnalysisArgs.h"
#include "cli/AnalyzeReport.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FileArgs.h"
#include "cli/OrderedWork.h"
#include "cli/ProfileArgs.h"
#include "runs/Profile.h"

namespace corvane::cli {
namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli analyze [--json | --csv] [--x-column C] [--y-column C] [--x index|native]\n"
                 "     %s\n"
                 "     [--group NAME=FILE,FILE...]... [--deconvolve FROM:TO\n"
                 "     [--shape gaussian|skewed] [--components N] [--widths auto|shared|free]] FILE...\n"
                 "  the landmarks (top, 40S, 60S, 80S, polysomes 2, 3, ...), baseline, regions, areas and\n"
                 "  P/M, polysome/total and 60S/40S ratios of each profile; x and regions in the file's unit\n"
                 "  (--x native, mm for runs) or in sample numbers (--x index)\n"
                 "%s",
                 kAnalysisArgsUsage, kColumnUsage);
    return 2;
}

enum class Output { Text, Json, Csv };

struct Options {
    Output output = Output::Text;
    AnalysisArgs analysis;  // settings, parameters, the channel and columns read
    std::vector<std::string> files;
    std::vector<GroupReport> groups;
    bool deconvolveGiven = false;
};

bool parseGroup(std::string_view text, Options& o) {
    const auto equals = text.find('=');
    if (equals == 0 || equals == std::string_view::npos) {
        return false;
    }
    GroupReport group;
    group.name = std::string(text.substr(0, equals));
    for (const auto file : splitText(text.substr(equals + 1), ',')) {
        if (file.empty()) {
            return false;
        }
        group.files.emplace_back(file);
    }
    o.groups.push_back(std::move(group));
    return true;
}

// Takes argv[i] and its value; false for a wrong value or option.
bool takeOption(int argc, char** argv, int& i, Options& o) {
    const std::string_view arg = argv[i];
    if (arg == "--json" || arg == "--csv") {
        const Output wanted = arg == "--json" ? Output::Json : Output::Csv;
        const bool clash = o.output != Output::Text && o.output != wanted;
        o.output = wanted;
        return !clash;
    }
    AnalyzeParameters& parameters = o.analysis.parameters;
    if (arg == "--x-column" || arg == "--y-column") {
        const bool taken = takeColumnOption(argc, argv, i, o.analysis.reading);
        parameters.xColumn = o.analysis.reading.xColumn;
        parameters.yColumn = o.analysis.reading.yColumn;
        return taken;
    }
    if (const ArgUse use = takeAnalysisArg(argc, argv, i, o.analysis); use != ArgUse::NotMine) {
        return use == ArgUse::Taken;
    }
    if (i + 1 >= argc) {
        return false;
    }
    const std::string_view value = argv[++i];
    auto& deconvolve = o.analysis.settings.deconvolution;
    if (arg == "--x") {
        parameters.indexX = value == "index";
        return value == "index" || value == "native";
    }
    if (arg == "--group") {
        return parseGroup(value, o);
    }
    if (arg == "--deconvolve") {
        deconvolve = deconvolve.value_or(AnalysisSettings::Deconvolve{});
        o.deconvolveGiven = true;
        return parseSpan(value, deconvolve->fromX, deconvolve->toX);
    }
    if (arg == "--shape") {
        deconvolve = deconvolve.value_or(AnalysisSettings::Deconvolve{});
        deconvolve->shape = value == "skewed" ? PeakShape::Skewed : PeakShape::Gaussian;
        return value == "skewed" || value == "gaussian";
    }
    if (arg == "--components") {
        deconvolve = deconvolve.value_or(AnalysisSettings::Deconvolve{});
        return parseNumber(value, deconvolve->components) && deconvolve->components >= 1 &&
               deconvolve->components <= DeconvolutionChoice::kMaxComponents;
    }
    if (arg == "--widths") {
        deconvolve = deconvolve.value_or(AnalysisSettings::Deconvolve{});
        parameters.widths = value == "shared" ? PeakWidths::Shared
                            : value == "free"   ? PeakWidths::Free
                                                : PeakWidths::Auto;
        deconvolve->widths = parameters.widths;
        return value == "shared" || value == "free" || value == "auto";
    }
    return false;
}

}  // namespace

int runAnalyze(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("-") && arg.size() > 1) {
            if (!takeOption(argc, argv, i, o)) {
                std::fprintf(stderr, "corvane-cli analyze: %s is not understood here\n",
                             visibleText(i < argc ? argv[i] : arg).c_str());
                return usage();
            }
        } else {
            o.files.emplace_back(arg);
        }
    }
    // Files of a group are analysed as files too, once each.
    for (const auto& g : o.groups) {
        for (const auto& file : g.files) {
            if (std::find(o.files.begin(), o.files.end(), file) == o.files.end()) {
                o.files.push_back(file);
            }
        }
    }
    if (o.files.empty()) {
        return usage();
    }
    const AnalysisSettings& settings = o.analysis.settings;
    const AnalyzeParameters& parameters = o.analysis.parameters;
    if (settings.deconvolution && !o.deconvolveGiven) {
        std::fprintf(stderr, "corvane-cli analyze: --shape, --components and --widths go with --deconvolve\n");
        return usage();
    }
    o.analysis.parameters.deconvolution = settings.deconvolution;
    if (std::string problem; !loadBlank("analyze", o.analysis, parameters.indexX, problem)) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }

    bool allAnalysed = true;
    std::vector<FileReport> reports;
    std::vector<std::optional<Ratios>> ratios;
    std::vector<std::optional<Profile>> grouped;  // kept only for files in a group
    // Files are read and analysed on a few threads and written in order.
    struct Analysed {
        FileReport report;
        std::optional<Profile> profile;  // kept only for a file in a group
    };
    const auto analyse = [&o](std::size_t k) {
        const std::string& file = o.files[k];
        std::string problem;
        std::vector<std::string> warnings;
        Analysed done;
        done.report.file = file;
        auto profile =
            loadAnalysedProfile("analyze", file, o.analysis.reading, o.analysis.parameters.indexX, problem, warnings);
        if (profile) {
            const ProfileAnalysis analysis = analyseProfile(*profile, o.analysis.settings);
            if (analysis.ok()) {
                done.report = reportOf(file, *profile, analysis);
                done.report.warnings.insert(done.report.warnings.begin(), warnings.begin(), warnings.end());
            } else {
                problem = "corvane-cli analyze: " + visibleText(file) + ": " + analysis.problem;
            }
        }
        done.report.error = problem;
        const bool inGroup = std::any_of(o.groups.begin(), o.groups.end(), [&](const GroupReport& g) {
            return std::find(g.files.begin(), g.files.end(), file) != g.files.end();
        });
        if (inGroup && problem.empty()) {
            done.profile = std::move(profile);
        }
        return done;
    };
    const auto write = [&](std::size_t, Analysed&& done) {
        FileReport& report = done.report;
        if (!report.error.empty()) {
            allAnalysed = false;
            std::fprintf(stderr, "%s\n", report.error.c_str());
        }
        ratios.push_back(report.error.empty() ? std::optional(report.ratios) : std::nullopt);
        grouped.push_back(std::move(done.profile));
        if (o.output == Output::Json) {
            writeJson(stdout, report, parameters);
        } else if (o.output == Output::Text) {
            writeText(stdout, report);
        } else {
            reports.push_back(std::move(report));
        }
    };
    doInOrder<Analysed>(o.files.size(), workThreads(o.files.size()), analyse, write);

    for (auto& g : o.groups) {
        std::vector<GroupMember> members;
        for (const auto& file : g.files) {
            const auto at = static_cast<std::size_t>(std::find(o.files.begin(), o.files.end(), file) - o.files.begin());
            members.push_back({file, ratios[at] ? &*ratios[at] : nullptr, ratios[at] ? &*grouped[at] : nullptr});
        }
        summariseGroup(g, members);
        if (o.output == Output::Json) {
            writeJson(stdout, g);
        } else if (o.output == Output::Text) {
            writeText(stdout, g);
        }
    }
    if (o.output == Output::Csv) {
        writeCsv(stdout, reports, o.groups, parameters);
    }
    return std::fflush(stdout) == 0 && allAnalysed ? 0 : 1;
}

}  // namespace corvane::cli
