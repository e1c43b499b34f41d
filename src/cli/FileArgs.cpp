#include "cli/FileArgs.h"

#include <cstdio>
#include <system_error>

#include "app/FileReplace.h"
#include "base/FileHandle.h"
#include "base/TextFormat.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"

namespace corvane::cli {

namespace {

std::string prefixed(std::string_view command, const std::string& text) {
    return "corvane-cli " + std::string(command) + ": " + text;
}

std::string named(const std::filesystem::path& file) { return visibleText(file.string()); }

}  // namespace

std::string inputFileProblem(std::string_view command, const std::filesystem::path& file) {
    switch (fileKindOf(file)) {
        case FileKind::Missing:
        case FileKind::Regular: return {};
        case FileKind::Folder: return prefixed(command, "this is a folder, not a file: " + named(file));
        case FileKind::Other:
            return prefixed(command, "only regular files are read, not a device or a pipe: " +
                                         named(file));
    }
    return {};
}

std::string outputFileProblem(std::string_view command, const std::filesystem::path& file,
                              bool force) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error);
    // A name or path too long for the file system is said so, before the
    // folder is looked for (it could not be found under such a path).
    if (const auto problem = savedNameProblem(file); !problem.empty() && !file.filename().empty()) {
        return prefixed(command, visibleText(problem));
    }
    if (file.filename().empty() || fileKindOf(absolute.parent_path()) != FileKind::Folder) {
        return prefixed(command, "the folder to write into does not exist: " + named(file));
    }
    if (!canCreateFilesIn(absolute.parent_path())) {
        return prefixed(command, "no permission to write into the folder of " + named(file));
    }
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
        return {};
    }
    if (!force) {
        return prefixed(command, named(file) + " already exists; give --force to replace it");
    }
    if (const auto problem = replaceProblem(file); !problem.empty()) {
        return prefixed(command, visibleText(problem));
    }
    return {};
}

std::string outputIsInputProblem(std::string_view command, const std::filesystem::path& out,
                                 const std::vector<std::filesystem::path>& inputs) {
    for (const auto& input : inputs) {
        std::error_code error;
        if (std::filesystem::equivalent(out, input, error)) {
            return prefixed(command, named(out) + " is one of the files this command reads; it is never "
                                                  "written over: choose another output name");
        }
    }
    return {};
}

std::string pageFileKindOnDisk(const std::filesystem::path& file) {
    const auto in = openRegularFile(file);
    char head[512] = {};
    const std::size_t got = in ? std::fread(head, 1, sizeof head, in.get()) : 0;
    const std::string_view bytes(head, got);
    if (bytes.starts_with("\x89PNG\r\n\x1a\n")) return "png";
    if (bytes.starts_with("BM")) return "bmp";
    if (bytes.starts_with(std::string_view("II*\0", 4)) || bytes.starts_with(std::string_view("MM\0*", 4))) {
        return "tiff";
    }
    if (bytes.starts_with("%PDF-")) return "pdf";
    if ((bytes.starts_with("<?xml") || bytes.starts_with("<svg")) && bytes.find("<svg") != std::string_view::npos) {
        return "svg";
    }
    return {};
}

std::string runFileProblem(std::string_view command, const std::filesystem::path& file) {
    if (auto problem = inputFileProblem(command, file); !problem.empty()) {
        return problem;
    }
    std::error_code error;
    if (const auto size = std::filesystem::file_size(file, error); !error && size > kMaxRunFileBytes) {
        return formatText("corvane-cli %.*s: larger than %ju MB, too large for a run file: %s",
                          static_cast<int>(command.size()), command.data(), kMaxRunFileBytes >> 20,
                          named(file).c_str());
    }
    return {};
}

bool runFileReadable(std::string_view command, const std::filesystem::path& file) {
    const auto problem = runFileProblem(command, file);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
    }
    return problem.empty();
}

std::string readRunFileProblem(std::string_view command, const std::filesystem::path& file, RunDataFile& run) {
    if (auto problem = runFileProblem(command, file); !problem.empty()) {
        return problem;
    }
    const std::string shown = named(file);
    switch (run.read(file)) {
        case RunDataFile::ReadStatus::Ok: return {};
        case RunDataFile::ReadStatus::CannotOpen: return "Error, unable to open file: " + shown;
        case RunDataFile::ReadStatus::NoColumnHeader: return "Error, unable to find header in file: " + shown;
    }
    return "Error, unable to open file: " + shown;
}

bool readRunFile(std::string_view command, const std::filesystem::path& file, RunDataFile& run) {
    const auto problem = readRunFileProblem(command, file, run);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
    }
    return problem.empty();
}

}  // namespace corvane::cli
