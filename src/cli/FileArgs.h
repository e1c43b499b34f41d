#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {
class RunDataFile;
}

namespace corvane::cli {

// The checks of the file names the commands are given, made before anything
// is read, connected or written. Each returns the message for standard
// error ("corvane-cli COMMAND: ..."), empty when the name may be used.

// A file to read: a regular file, or missing (the command's own reader then
// says it cannot open it). A folder, a device or a pipe is refused without
// being opened: reading one would hang or never end.
[[nodiscard]] std::string inputFileProblem(std::string_view command, const std::filesystem::path& file);

// A file to write: its folder exists, its name fits the file system with
// the copy suffix, and it does not exist yet, unless force; with force an
// existing one must be a file that may be replaced (not read-only, not a
// device; a link is written through).
[[nodiscard]] std::string outputFileProblem(std::string_view command,
                                            const std::filesystem::path& file, bool force);

// A command never writes over a file it reads, --force or not: the message
// when out is one of inputs (the same file under any name: a link, a hard
// link, another spelling), empty when it is none of them.
[[nodiscard]] std::string outputIsInputProblem(std::string_view command, const std::filesystem::path& out,
                                               const std::vector<std::filesystem::path>& inputs);

// What an existing file starts as, by its first bytes: "png", "bmp",
// "tiff", "pdf" or "svg" for the page files render writes, empty for
// anything else (a run, a text, a missing file).
[[nodiscard]] std::string pageFileKindOnDisk(const std::filesystem::path& file);

// inputFileProblem and a size check, giving the message.
[[nodiscard]] std::string runFileProblem(std::string_view command, const std::filesystem::path& file);

// inputFileProblem and a size check (every row is held in memory, and a file
// far beyond any run could exhaust it): false, with the message on standard
// error, when the file is not to be read as a run.
[[nodiscard]] bool runFileReadable(std::string_view command, const std::filesystem::path& file);

// Reads a whole run file for a command after runFileReadable. False, with the
// message on standard error, when it cannot be read or holds no column header.
[[nodiscard]] bool readRunFile(std::string_view command, const std::filesystem::path& file, RunDataFile& run);

// The same, giving the message instead of printing it: empty when run holds the file.
[[nodiscard]] std::string readRunFileProblem(std::string_view command, const std::filesystem::path& file,
                                             RunDataFile& run);

}  // namespace corvane::cli
