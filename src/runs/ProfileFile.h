#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runs/Profile.h"
#include "runs/RunDataFile.h"

namespace corvane {

// How a file is to be read as a profile. channel picks the channel of a run
// of ours; the columns pick a plain table's x and y by name or by 1-based
// number (empty: the first and the second column). Files of other kinds are
// read as they are (a .pks or .asc file holds one signal): a command that
// reads several files applies the columns to its tables, and refuses them
// where no file is a table (profileFormatOf tells).
struct ProfileFileOptions {
    RunChannel channel = RunChannel::AbsA;
    std::string xColumn;
    std::string yColumn;
};

// A profile, or why the file gives none (a sentence without the file's name:
// the caller names the file).
struct ProfileFileResult {
    std::optional<Profile> profile;
    std::string error;
};

// The error for a file of ours (its title line) without a column header:
// commands keep the message they always gave for it.
inline constexpr std::string_view kRunWithoutColumnHeader = "a run file of ours without its column header line";
// The errors for a file that is not there, or cannot be opened or read.
inline constexpr std::string_view kNoSuchFile = "no such file";
inline constexpr std::string_view kCannotRead = "cannot be opened or read";
// The error for a spreadsheet.
inline constexpr std::string_view kSpreadsheetRefusal =
    "a spreadsheet file, not text: save it as CSV or tab-separated text first";

// The one reader every command (and the desktop) uses. Our run files come
// first, told by their column header exactly as RunDataFile tells them; then
// .pks, .asc and plain tables, told by content and extension. Only a regular
// file is opened (a folder, a pipe or a device is refused without waiting on
// it), at most kMaxRunFileBytes of it, and nothing in it can make the reader
// hang or crash.
[[nodiscard]] ProfileFileResult readProfileFile(const std::filesystem::path& path,
                                                const ProfileFileOptions& options = {});

// The same from bytes in memory; fileName names the profile and its
// extension tells the format where the content alone does not.
[[nodiscard]] ProfileFileResult profileFromBytes(std::string_view bytes, const std::filesystem::path& fileName,
                                                 const ProfileFileOptions& options = {});

// A file read once for a command that shows a run's whole header: a run of
// ours (an export file too) as RunDataFile reads it, else a profile of
// another instrument, else why it is neither.
struct RunOrProfileFile {
    bool isRun = false;  // run holds the file
    RunDataFile run;
    std::optional<Profile> profile;
    std::string error;
};
[[nodiscard]] RunOrProfileFile readRunOrProfileFile(const std::filesystem::path& path,
                                                    const ProfileFileOptions& options = {});

// A file to be shown as a run (the desktop's File > Open, overlay, compare
// and standard run; corvane-cli render): a run of ours as RunDataFile reads
// it, else another instrument's profile made a run (RunDataFile::fromProfile).
// Empty when read, else why not: kNoSuchFile, kCannotRead,
// kRunWithoutColumnHeader, or why the file is no profile either.
[[nodiscard]] std::string readRunForViewing(const std::filesystem::path& path, RunDataFile& out,
                                            const ProfileFileOptions& options = {});

// What a file would be read as (Corvane for a run of ours, an export file
// and a run without its column header included), told without reading it as
// that; nothing for a file that cannot be read or is refused whatever its
// layout (a spreadsheet, binary data, not a regular file).
[[nodiscard]] std::optional<ProfileFormat> profileFormatOf(const std::filesystem::path& path);

// The names of a plain table's columns in order ("column 3" where it has no
// header line), for choosing its x and y; nothing for a file that is not
// a plain table, or not one whose rows can be found.
[[nodiscard]] std::optional<std::vector<std::string>> tableColumnsOf(const std::filesystem::path& path);

// The message refusing a profile of another instrument where a command
// would write a run of ours from it (profiles are read-only): "Error, F is
// a profile of another instrument (pks): profiles are read-only, and WHAT
// takes only run files of ours."
[[nodiscard]] std::string profileRefusalMessage(const std::filesystem::path& path, const Profile& profile,
                                                std::string_view what);

}  // namespace corvane
