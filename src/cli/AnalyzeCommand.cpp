// corvane-cli analyze [--json | --csv] [options] FILE...: the landmarks,
// baseline, regions, areas and ratios of each profile, found without clicks,
// and the mean and spread of the ratios of replicate groups. Scripts batch a
// day's runs through it; its outputs are documented in the README and are
// kept stable.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/ProfileAnalysis.h"
#include "analysis/Replicates.h"
#include "analysis/SignalStats.h"
#include "base/TextFormat.h"
#include "cli/AnalyzeReport.h"
#include "cli/CliArgs.h"
#include "cli/Commands.h"
#include "cli/FileArgs.h"
#include "cli/OrderedWork.h"
#include "cli/ProfileArgs.h"
#include "runs/Profile.h"
#include "runs/ProfileFile.h"

namespace corvane::cli {
namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli analyze [--json | --csv] [--channel NAME] [--x-column C] [--y-column C]\n"
                 "                           [--x index|native]\n"
                 "                           [--smooth auto|none|ma:N|sg:N:ORDER]\n"
                 "                           [--baseline start|end|VALUE|line:X1:X2:X3:X4|blank=FILE]\n"
                 "                           [--prominence P] [--full-scale V] [--region NAME=FROM:TO]...\n"
                 "                           [--group NAME=FILE,FILE...]... [--deconvolve FROM:TO\n"
                 "                           [--shape gaussian|skewed] [--components N] [--widths auto|shared|free]]\n"
                 "                           FILE...\n"
                 "  the landmarks (top, 40S, 60S, 80S, polysomes 2, 3, ...), baseline, regions, areas and\n"
                 "  P/M, polysome/total and 60S/40S ratios of each profile; x and regions in the file's unit\n"
                 "  (--x native, mm for runs) or in sample numbers (--x index)\n"
                 "%s",
                 kColumnUsage);
    return 2;
}

enum class Output { Text, Json, Csv };

struct Options {
    Output output = Output::Text;
    AnalyzeParameters parameters;
    AnalysisSettings settings;
    ProfileFileOptions reading;  // the channel of our runs, a table's columns
    std::string blankFile;
    std::vector<std::string> files;
    std::vector<GroupReport> groups;
    bool deconvolveGiven = false;
};

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool finiteNumber(std::string_view text, double& value) {
    return parseNumber(text, value) && std::isfinite(value);
}

// "FROM:TO" as two numbers.
bool parseSpan(std::string_view text, double& from, double& to) {
    const auto parts = split(text, ':');
    return parts.size() == 2 && finiteNumber(parts[0], from) && finiteNumber(parts[1], to) && from != to;
}

bool parseBaseline(std::string_view text, Options& o) {
    BaselineChoice& b = o.settings.baseline;
    if (text == "start" || text == "end") {
        b.kind = text == "start" ? BaselineKind::Start : BaselineKind::End;
    } else if (text.starts_with("line:")) {
        const auto parts = split(text.substr(5), ':');
        if (parts.size() != 4) {
            return false;
        }
        b.kind = BaselineKind::Line;
        for (std::size_t k = 0; k < 4; ++k) {
            if (!finiteNumber(parts[k], b.windows[k])) {
                return false;
            }
        }
    } else if (text.starts_with("blank=") && text.size() > 6) {
        b.kind = BaselineKind::Blank;
        o.blankFile = std::string(text.substr(6));
    } else if (finiteNumber(text, b.level)) {
        b.kind = BaselineKind::Constant;
    } else {
        return false;
    }
    o.parameters.baseline = std::string(text);
    return true;
}

// "NAME=REST": the name (not empty) and the rest.
std::optional<std::pair<std::string, std::string_view>> named(std::string_view text) {
    const auto equals = text.find('=');
    if (equals == 0 || equals == std::string_view::npos) {
        return std::nullopt;
    }
    return std::pair{std::string(text.substr(0, equals)), text.substr(equals + 1)};
}

bool parseRegion(std::string_view text, Options& o) {
    const auto parts = named(text);
    RegionChoice region;
    if (!parts || !parseSpan(parts->second, region.fromX, region.toX)) {
        return false;
    }
    region.name = parts->first;
    for (const auto& given : o.settings.regions) {
        if (given.name == region.name) {
            return false;
        }
    }
    o.settings.regions.push_back(region);
    return true;
}

bool parseGroup(std::string_view text, Options& o) {
    const auto parts = named(text);
    if (!parts) {
        return false;
    }
    GroupReport group;
    group.name = parts->first;
    for (const auto file : split(parts->second, ',')) {
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
    if (arg == "--x-column" || arg == "--y-column") {
        const bool taken = takeColumnOption(argc, argv, i, o.reading);
        o.parameters.xColumn = o.reading.xColumn;
        o.parameters.yColumn = o.reading.yColumn;
        return taken;
    }
    if (i + 1 >= argc) {
        return false;
    }
    const std::string_view value = argv[++i];
    auto& deconvolve = o.settings.deconvolution;
    if (arg == "--channel") {
        const auto channel = parseRunChannel(value);
        if (!channel) {
            return false;
        }
        o.reading.channel = *channel;
        o.parameters.channel = runChannelName(*channel);
        return true;
    }
    if (arg == "--x") {
        o.parameters.indexX = value == "index";
        return value == "index" || value == "native";
    }
    if (arg == "--smooth") {
        const auto smoothing = parseSmoothing(value);
        o.settings.smoothing = smoothing.value_or(Smoothing{});
        return smoothing.has_value();
    }
    if (arg == "--baseline") {
        return parseBaseline(value, o);
    }
    if (arg == "--prominence" || arg == "--full-scale") {
        double number = 0.0;
        if (!finiteNumber(value, number) || (arg == "--prominence" && number < 0.0)) {
            return false;
        }
        (arg == "--prominence" ? o.settings.prominence : o.settings.fullScale) = number;
        return true;
    }
    if (arg == "--region") {
        return parseRegion(value, o);
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
        o.parameters.widths = value == "shared" ? PeakWidths::Shared
                              : value == "free" ? PeakWidths::Free
                                                : PeakWidths::Auto;
        deconvolve->widths = o.parameters.widths;
        return value == "shared" || value == "free" || value == "auto";
    }
    return false;
}

// The one place a file becomes a profile: one of our run files (its channel
// against position) or another instrument's profile, in sample numbers with
// --x index, made fit for the analysis. Nothing, with the message, when it
// cannot be read as one.
std::optional<Profile> loadProfile(const std::string& path, const Options& o, std::string& problem,
                                   std::vector<std::string>& warnings) {
    problem = runFileProblem("analyze", path);
    if (!problem.empty()) {
        return std::nullopt;
    }
    auto read = readProfileFile(path, o.reading);
    if (!read.profile) {
        const std::string shown = visibleText(path);
        if (read.error == kNoSuchFile || read.error == kCannotRead) {
            problem = "Error, unable to open file: " + shown;
        } else if (read.error == kRunWithoutColumnHeader) {
            problem = "Error, unable to find header in file: " + shown;
        } else {
            problem = "corvane-cli analyze: " + shown + " is no profile: " + visibleText(read.error);
        }
        return std::nullopt;
    }
    Profile& profile = *read.profile;
    warnings = makeAnalysable(profile);
    if (o.parameters.indexX) {
        for (std::size_t i = 0; i < profile.x.size(); ++i) {
            profile.x[i] = static_cast<double>(i);
        }
        profile.xUnit = "sample";
    }
    return std::move(read.profile);
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
    if (o.settings.deconvolution && !o.deconvolveGiven) {
        std::fprintf(stderr, "corvane-cli analyze: --shape, --components and --widths go with --deconvolve\n");
        return usage();
    }
    o.parameters.prominence = o.settings.prominence;
    o.parameters.fullScale = o.settings.fullScale;
    o.parameters.regions = o.settings.regions;
    o.parameters.deconvolution = o.settings.deconvolution;

    if (const auto problem = columnsProblem("analyze", o.reading, o.files); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    if (o.settings.baseline.kind == BaselineKind::Blank) {
        std::string problem;
        std::vector<std::string> ignored;
        auto blank = loadProfile(o.blankFile, o, problem, ignored);
        if (!blank) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
        o.settings.baseline.blank = std::make_shared<const Profile>(std::move(*blank));
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
        auto profile = loadProfile(file, o, problem, warnings);
        if (profile) {
            const ProfileAnalysis analysis = analyseProfile(*profile, o.settings);
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
            writeJson(stdout, report, o.parameters);
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
        writeCsv(stdout, reports, o.groups, o.parameters);
    }
    return std::fflush(stdout) == 0 && allAnalysed ? 0 : 1;
}

}  // namespace corvane::cli
