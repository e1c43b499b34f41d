#include "cli/ProfileArgs.h"

#include <optional>

#include "base/TextFormat.h"
#include "cli/FileArgs.h"

namespace corvane::cli {

namespace {

// What a file that is no table is, for a message.
std::string formatWords(ProfileFormat format) {
    switch (format) {
        case ProfileFormat::Pks: return "a .pks profile, which holds one signal";
        case ProfileFormat::Asc: return "an .asc profile, which holds one signal";
        default: return "a run file of ours, whose channels are its own";
    }
}

}  // namespace

std::string readRunOrProfile(std::string_view command, const std::filesystem::path& file,
                             const ProfileFileOptions& options, RunOrProfileFile& read) {
    read = RunOrProfileFile{};
    if (auto problem = runFileProblem(command, file); !problem.empty()) {
        return problem;
    }
    read = readRunOrProfileFile(file, options);
    const std::string shown = visibleText(file.string());
    if (read.isRun || read.profile) {
        return {};
    }
    if (read.error == kCannotRead || read.error == kNoSuchFile) {
        return "Error, unable to open file: " + shown;
    }
    const std::string noHeader = "Error, unable to find header in file: " + shown;
    // A run of ours without its column header keeps the message it always had.
    return read.error == kRunWithoutColumnHeader ? noHeader : noHeader + "; " + visibleText(read.error);
}

std::string xUnitOf(const RunOrProfileFile& read) { return read.isRun ? std::string("mm") : read.profile->xUnit; }

AlignTrace traceOf(const RunOrProfileFile& read) {
    return read.isRun ? alignTraceOf(read.run) : alignTraceOf(*read.profile);
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

std::string axisUnitProblem(std::string_view command, const std::filesystem::path& file,
                            const RunOrProfileFile& read, AlignAxis axis, const std::string& unit) {
    const std::string own = xUnitOf(read);
    if (axis == AlignAxis::Samples || own == unit) {
        return {};
    }
    const std::string ownText = own.empty() ? "in no stated unit" : "in " + visibleText(own);
    return formatText("corvane-cli %.*s: --x %s, but the x of %s is %s; give --x samples to line files of different "
                      "units up by sample",
                      static_cast<int>(command.size()), command.data(), unit.c_str(),
                      visibleText(file.string()).c_str(), ownText.c_str());
}

bool takeColumnOption(int argc, char** argv, int& i, ProfileFileOptions& options) {
    const std::string_view arg = argv[i];
    if ((arg != "--x-column" && arg != "--y-column") || i + 1 >= argc) {
        return false;
    }
    (arg == "--x-column" ? options.xColumn : options.yColumn) = argv[++i];
    return true;
}

std::string columnsProblem(std::string_view command, const ProfileFileOptions& options,
                           const std::vector<std::string>& files) {
    if (options.xColumn.empty() && options.yColumn.empty()) {
        return {};
    }
    std::optional<ProfileFormat> other;
    for (const auto& file : files) {
        const auto format = profileFormatOf(file);
        if (!format || *format == ProfileFormat::Table) {
            return {};
        }
        other = other.value_or(*format);
    }
    const bool both = !options.xColumn.empty() && !options.yColumn.empty();
    const char* given = both ? "--x-column and --y-column choose" : options.xColumn.empty() ? "--y-column chooses"
                                                                                            : "--x-column chooses";
    const std::string what = files.size() == 1 ? visibleText(files.front()) + " is " + formatWords(*other)
                                               : std::string("none of the files is one");
    return formatText("corvane-cli %.*s: %s a plain table's columns, and %s", static_cast<int>(command.size()),
                      command.data(), given, what.c_str());
}

std::string xText(double value, const std::string& unit) {
    if (unit == "mm" || unit == "ml") return formatText("%.2f %s", value, unit.c_str());
    if (unit == "min") return formatText("%.4f min", value);
    if (unit.empty()) return formatText("%g", value);
    return formatText("%g %s", value, visibleText(unit).c_str());
}

}  // namespace corvane::cli
