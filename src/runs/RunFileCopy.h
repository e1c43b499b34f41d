#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "base/FileHandle.h"

namespace corvane {

// The first line of every run file; %s is the file's own name.
inline constexpr const char* kRunFileTitle = "Corvane Text Data File: %s";

enum class CopyResult { Ok, CannotOpenSource, CannotCreateTarget, WriteFailed };

// Copies a run file to target with its first line replaced by the title line
// naming target, every further line unchanged. The copy is written beside the
// target and renamed over it only when complete, so neither a failed copy nor
// a target that is the source itself loses a byte. The source is left alone.
[[nodiscard]] CopyResult copyWithTitle(const std::filesystem::path& source,
                                       const std::filesystem::path& target);

// A file this program has just created, open for writing.
struct CreatedFile {
    std::filesystem::path path;
    FileHandle file;
};

// Creates path for writing only if no file of that name exists: scratch files
// never overwrite anybody's file. mode is "w" (text) or "wb".
[[nodiscard]] FileHandle createNewFile(const std::filesystem::path& path, const char* mode);

// A new file beside path (its name and ".part", ".part1", ...), opened "wb";
// an empty path when none could be created.
[[nodiscard]] CreatedFile createSiblingFile(const std::filesystem::path& path);

// Renames from over to, replacing it in one step. Across file systems, where a
// rename cannot work, from is copied beside to first and that copy renamed.
// On failure to is unchanged and the error says why.
[[nodiscard]] bool moveFileOver(const std::filesystem::path& from, const std::filesystem::path& to,
                               std::error_code& error);

}  // namespace corvane
