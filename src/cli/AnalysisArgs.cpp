#include "cli/AnalysisArgs.h"

#include <cmath>
#include <memory>
#include <utility>

#include "analysis/SignalStats.h"
#include "base/Smoothing.h"
#include "base/TextFormat.h"
#include "cli/CliArgs.h"
#include "cli/FileArgs.h"

namespace corvane::cli {

namespace {

bool finiteNumber(std::string_view text, double& value) {
    return parseNumber(text, value) && std::isfinite(value);
}

bool parseBaseline(std::string_view text, AnalysisArgs& a) {
    BaselineChoice& b = a.settings.baseline;
    if (text == "start" || text == "end") {
        b.kind = text == "start" ? BaselineKind::Start : BaselineKind::End;
    } else if (text.starts_with("line:")) {
        const auto parts = splitText(text.substr(5), ':');
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
        a.blankFile = std::string(text.substr(6));
    } else if (finiteNumber(text, b.level)) {
        b.kind = BaselineKind::Constant;
    } else {
        return false;
    }
    a.parameters.baseline = std::string(text);
    return true;
}

bool parseRegion(std::string_view text, AnalysisArgs& a) {
    const auto equals = text.find('=');
    RegionChoice region;
    if (equals == 0 || equals == std::string_view::npos ||
        !parseSpan(text.substr(equals + 1), region.fromX, region.toX)) {
        return false;
    }
    region.name = std::string(text.substr(0, equals));
    for (const auto& given : a.settings.regions) {
        if (given.name == region.name) {
            return false;
        }
    }
    a.settings.regions.push_back(region);
    a.parameters.regions = a.settings.regions;
    return true;
}

}  // namespace

std::vector<std::string_view> splitText(std::string_view text, char separator) {
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

bool parseSpan(std::string_view text, double& from, double& to) {
    const auto parts = splitText(text, ':');
    return parts.size() == 2 && finiteNumber(parts[0], from) && finiteNumber(parts[1], to) && from != to;
}

ArgUse takeAnalysisArg(int argc, char** argv, int& i, AnalysisArgs& a) {
    const std::string_view arg = argv[i];
    if (arg != "--channel" && arg != "--smooth" && arg != "--baseline" && arg != "--prominence" &&
        arg != "--full-scale" && arg != "--region") {
        return ArgUse::NotMine;
    }
    if (i + 1 >= argc) {
        return ArgUse::Wrong;
    }
    const std::string_view value = argv[++i];
    bool taken = false;
    if (arg == "--channel") {
        const auto channel = parseRunChannel(value);
        if (channel) {
            a.reading.channel = *channel;
            a.parameters.channel = runChannelName(*channel);
        }
        taken = channel.has_value();
    } else if (arg == "--smooth") {
        const auto smoothing = parseSmoothing(value);
        a.settings.smoothing = smoothing.value_or(Smoothing{});
        taken = smoothing.has_value();
    } else if (arg == "--baseline") {
        taken = parseBaseline(value, a);
    } else if (arg == "--region") {
        taken = parseRegion(value, a);
    } else {
        double number = 0.0;
        taken = finiteNumber(value, number) && (arg == "--full-scale" || number >= 0.0);
        if (taken) {
            (arg == "--prominence" ? a.settings.prominence : a.settings.fullScale) = number;
            a.parameters.prominence = a.settings.prominence;
            a.parameters.fullScale = a.settings.fullScale;
        }
    }
    return taken ? ArgUse::Taken : ArgUse::Wrong;
}

std::optional<Profile> loadAnalysedProfile(std::string_view command, const std::string& path,
                                           const ProfileFileOptions& reading, bool bySample, std::string& problem,
                                           std::vector<std::string>& warnings) {
    problem = runFileProblem(command, path);
    if (!problem.empty()) {
        return std::nullopt;
    }
    auto read = readProfileFile(path, reading);
    if (!read.profile) {
        const std::string shown = visibleText(path);
        if (read.error == kNoSuchFile || read.error == kCannotRead) {
            problem = "Error, unable to open file: " + shown;
        } else if (read.error == kRunWithoutColumnHeader) {
            problem = "Error, unable to find header in file: " + shown;
        } else {
            problem = formatText("corvane-cli %.*s: %s is no profile: %s", static_cast<int>(command.size()),
                                 command.data(), shown.c_str(), visibleText(read.error).c_str());
        }
        return std::nullopt;
    }
    Profile& profile = *read.profile;
    warnings = makeAnalysable(profile);
    if (bySample) {
        for (std::size_t i = 0; i < profile.x.size(); ++i) {
            profile.x[i] = static_cast<double>(i);
        }
        profile.xUnit = "sample";
    }
    return std::move(read.profile);
}

bool loadBlank(std::string_view command, AnalysisArgs& args, bool bySample, std::string& problem) {
    if (args.settings.baseline.kind != BaselineKind::Blank) {
        return true;
    }
    std::vector<std::string> ignored;
    auto blank = loadAnalysedProfile(command, args.blankFile, args.reading, bySample, problem, ignored);
    if (!blank) {
        return false;
    }
    args.settings.baseline.blank = std::make_shared<const Profile>(std::move(*blank));
    return true;
}

}  // namespace corvane::cli
