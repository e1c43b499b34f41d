#include "cli/ProfileArgs.h"

#include "base/TextFormat.h"
#include "cli/FileArgs.h"

namespace corvane::cli {

std::string readRunOrProfile(std::string_view command, const std::filesystem::path& file,
                             const ProfileFileOptions& options, RunOrProfile& read) {
    read.profile.reset();
    auto problem = readRunFileProblem(command, file, read.run);
    if (problem.empty() || !problem.starts_with("Error, unable to find header")) {
        return problem;
    }
    auto result = readProfileFile(file, options);
    if (result.profile) {
        read.profile = std::move(result.profile);
        return {};
    }
    return notAProfileEither(problem, result.error);
}

std::string notAProfileEither(const std::string& runProblem, const std::string& profileError) {
    if (profileError == kRunWithoutColumnHeader) {
        return runProblem;
    }
    return runProblem + "; " + visibleText(profileError);
}

std::string profileRefusal(std::string_view command, const std::filesystem::path& file) {
    if (!inputFileProblem(command, file).empty()) {
        return {};
    }
    RunDataFile run;
    if (run.readHeader(file) != RunDataFile::ReadStatus::NoColumnHeader) {
        return {};
    }
    const auto result = readProfileFile(file);
    if (!result.profile) {
        return {};
    }
    return formatText("corvane-cli %.*s: %s is a profile of another instrument (%s); profiles are read-only, and "
                      "only run files of ours are changed",
                      static_cast<int>(command.size()), command.data(), visibleText(file.string()).c_str(),
                      profileFormatName(result.profile->format));
}

bool takeColumnOption(int argc, char** argv, int& i, ProfileFileOptions& options) {
    const std::string_view arg = argv[i];
    if ((arg != "--x-column" && arg != "--y-column") || i + 1 >= argc) {
        return false;
    }
    (arg == "--x-column" ? options.xColumn : options.yColumn) = argv[++i];
    return true;
}

std::string axisUnitProblem(std::string_view command, const std::filesystem::path& file, const RunOrProfile& read,
                            AlignAxis axis, const std::string& unit) {
    const std::string own = read.xUnit();
    if (axis == AlignAxis::Samples || own == unit) {
        return {};
    }
    const std::string ownText = own.empty() ? "in no stated unit" : "in " + visibleText(own);
    return formatText("corvane-cli %.*s: --x %s, but the x of %s is %s; give --x samples to line files of different "
                      "units up by sample",
                      static_cast<int>(command.size()), command.data(), unit.c_str(), visibleText(file.string()).c_str(),
                      ownText.c_str());
}

std::string xText(double value, const std::string& unit) {
    if (unit == "mm" || unit == "ml") return formatText("%.2f %s", value, unit.c_str());
    if (unit == "min") return formatText("%.4f min", value);
    if (unit.empty()) return formatText("%g", value);
    return formatText("%g %s", value, visibleText(unit).c_str());
}

}  // namespace corvane::cli
