#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/FileReplace.h"
#include "base/FileHandle.h"

namespace corvane {

// The first line of every run file; %s is the file's own name.
inline constexpr const char* kRunFileTitle = "Corvane Text Data File: %s";

// The largest run file that is copied (saved, rescued). A day of recording
// at the fastest rate any source gives (30 rows a second, about 100 bytes a
// row) is about 260 MB, so this is four days; anything larger is not a run
// this program wrote, and copying it could fill the disk.
inline constexpr std::uintmax_t kMaxRunFileBytes = std::uintmax_t{1} << 30;

// A copy is written beside its target as "NAME.part", or "NAME.part1" up to
// "NAME.part99" when those are taken; a file name must leave room for it.
inline constexpr std::size_t kPartSuffixBytes = 7;

// The message to show when a file cannot be written under this name (its
// name, with the longest copy suffix, is longer than the file system allows);
// empty when it can.
[[nodiscard]] std::string savedNameProblem(const std::filesystem::path& target);

// file with "-N" before its extension ("run.csv" -> "run-2.csv"): the name a
// new file takes when file's own name is already there. N runs from 2 to
// kMaxNumberedName, so the suffix is at most kNumberSuffixBytes long.
inline constexpr int kMaxNumberedName = 999;
inline constexpr std::size_t kNumberSuffixBytes = 4;
[[nodiscard]] std::filesystem::path numberedName(const std::filesystem::path& file, int number);

enum class CopyResult {
    Ok,
    CannotOpenSource,    // missing, unreadable, or not a regular file
    CannotCreateTarget,  // no copy could be made or moved into place
    WriteFailed,
    TargetExists,    // ExistingTarget::Keep and the name is taken
    TooLarge,        // above kMaxRunFileBytes
    SourceChanged,   // written to while it was copied
    TargetBusy,      // the file at target is locked by a recording or another rewrite
};


// A copy of a run file on its way to target, with its first line replaced by
// the title line naming target and every further line unchanged. It is
// written beside target and stays there until place() moves it in, so
// neither a failed copy nor a target that is the source itself loses a
// byte; one that is never placed is removed. The source is left alone.
class TitledCopy {
public:
    TitledCopy(const std::filesystem::path& source, const std::filesystem::path& target);
    ~TitledCopy();
    TitledCopy(const TitledCopy&) = delete;
    TitledCopy& operator=(const TitledCopy&) = delete;

    // How the copy went; Ok means partial() holds the whole copy.
    [[nodiscard]] CopyResult result() const { return result_; }
    [[nodiscard]] const std::filesystem::path& partial() const { return partial_; }
    // Lets go of the copy's being-written mark, so a clean-up pass may
    // rewrite it, and takes it again afterwards.
    void release();
    void claimAgain();
    // The source as it was copied, for removeIfUnchanged.
    [[nodiscard]] const FileState& sourceState() const { return source_; }
    // Moves the copy to target: over a file there (by the rules of
    // replaceFileWith: a link is written through, a read-only file refused,
    // under the file's rewrite lock) or only if the name is free. With
    // onlyOver, Replace replaces that very file alone, as it was (the one a
    // script was told to replace when it started): a file that has taken its
    // name since, or changed, is kept (TargetExists), and a name that has
    // come free is taken.
    [[nodiscard]] CopyResult place(ExistingTarget existing,
                                   const std::optional<FileState>& onlyOver = std::nullopt);

private:
    std::filesystem::path target_;
    std::filesystem::path partial_;
    FileHandle held_;  // keeps the copy marked as being written
    FileState source_;
    CopyResult result_ = CopyResult::Ok;
};

// A whole copy, placed at once.
[[nodiscard]] CopyResult copyWithTitle(const std::filesystem::path& source,
                                       const std::filesystem::path& target,
                                       ExistingTarget existing = ExistingTarget::Replace);

// A file this program has just created, open for writing.
struct CreatedFile {
    std::filesystem::path path;
    FileHandle file;
};

// Creates path for writing only if no file of that name exists: scratch files
// never overwrite anybody's file. mode is "w" (text) or "wb".
[[nodiscard]] FileHandle createNewFile(const std::filesystem::path& path, const char* mode);

// path created as createNewFile does, or when that name is taken the first
// free numberedName; the name created and the file (null, with errno, when
// none could be).
[[nodiscard]] CreatedFile createNumberedFile(const std::filesystem::path& path, const char* mode);

// A new file beside path ("NAME.part", ".part1", ... ".part99"), opened "wb"
// and marked as being written; an empty path when none could be created.
// Copies left there by a process that was killed are removed first (never
// one a running process is writing).
[[nodiscard]] CreatedFile createSiblingFile(const std::filesystem::path& path);

}  // namespace corvane
