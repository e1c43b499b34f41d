#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "base/FileHandle.h"

namespace corvane {

// Reads a whole regular file as bytes, retrying for about a second while it
// is busy (interrupted, locked or out of descriptors for a moment). nullopt
// when it is missing, unreadable, not a regular file (a pipe or a device is
// refused without waiting on it), or larger than maxBytes.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::filesystem::path& path,
                                                       std::size_t maxBytes);

// The rules every whole-file rewrite of this program follows:
// - A link is written through: its target gets the new content, the link
//   stays a link. A link to nothing is refused.
// - A read-only file (no write permission for anyone, or none for us) is
//   refused and left as it is, even where the folder would allow a rename.
// - Only regular files are replaced, never a device, a pipe or a folder.
// - The new content keeps the old file's permissions (and its owner, where
//   we may set it).
// Returns the message to show when path cannot be rewritten, empty when it
// can (a missing file can be created).
[[nodiscard]] std::string replaceProblem(const std::filesystem::path& path);

// Replaces the file's content with bytes so that a crash, a power cut or a
// full disk leaves either the old or the new content, never a mix: the bytes
// go to a hidden sibling file (".NAME.replacing-XXXXXX"), reach the disk
// (fsync), and the sibling is then renamed over the target. False, with the old file
// untouched and no sibling left behind, when anything fails or the rules
// above refuse it. Siblings of any file in that folder left by an earlier
// replacement that was killed are removed on the way (never one another
// process is still writing).
[[nodiscard]] bool replaceFile(const std::filesystem::path& path, std::string_view bytes);

// The same for a finished file: replacement takes the place of path by
// rename (copied beside the target first when they are on different file
// systems). On failure path is unchanged, replacement is left where it was
// for the caller to remove, and error says why.
[[nodiscard]] bool replaceFileWith(const std::filesystem::path& path,
                                   const std::filesystem::path& replacement, std::error_code& error);

// A work file for a replacement of path written bit by bit: the hidden
// sibling replaceFile uses, open for writing and marked as being written, so
// a copy left by a kill is cleared by the next replacement in that folder.
// Finish it with replaceFileWith(path, replacement.path). An empty path
// (errno set) when the rules above refuse path or no file can be created.
struct Replacement {
    std::filesystem::path path;
    FileHandle file;
};
[[nodiscard]] Replacement createReplacement(const std::filesystem::path& path);

// What a write does to a file already at its name: the desktop's save
// dialogs have asked before replacing one; a script must ask for it.
enum class ExistingTarget { Replace, Keep };

// The message for a file another descriptor keeps locked for a rewrite (a
// run being recorded, another command changing it): EditLock::refused().
[[nodiscard]] std::string heldFileProblem(const std::filesystem::path& path);

// Puts a finished work file (a sibling of path from createReplacement,
// written, flushed and closed by the caller) at path: Replace over a file
// there by the rewrite rules above, under its rewrite lock (EditLock); Keep
// only where no file of that name exists, not even one that appears at the
// last moment. On failure the work file is left for the caller to remove,
// and error says why (file_exists for Keep and a taken name,
// device_or_resource_busy for a locked file).
[[nodiscard]] bool placeWorkFile(const std::filesystem::path& path, const std::filesystem::path& work,
                                 ExistingTarget existing, std::error_code& error);

// Writes bytes as the whole content of path: checked to the last write and
// on the disk (fsync) before it takes the name, so a full disk or a failed
// write leaves an earlier file as it was and nothing new; then placed by
// placeWorkFile. False with error when nothing was written.
[[nodiscard]] bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes,
                                  ExistingTarget existing, std::error_code& error);

// A file as it was read: the same file (device and inode) of the same size
// and last change. Copies compare it before they let go of their source.
struct FileState {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    [[nodiscard]] bool sameAs(const FileState& other) const;
};
[[nodiscard]] FileState fileStateOf(int fd);

// Deletes path only when it is still the file that was read, unchanged
// (state), and no other descriptor holds its rewrite lock: a source that
// grew while it was copied, or is being recorded, stays. False when kept.
[[nodiscard]] bool removeIfUnchanged(const std::filesystem::path& path, const FileState& state);

// Puts a finished file at a name that must not exist yet: never over an
// existing file, not even one that appears at the last moment. from and to
// must be on one file system (a sibling). False, from left as it is, when to
// exists (error is file_exists) or the move fails.
[[nodiscard]] bool placeNewFile(const std::filesystem::path& from, const std::filesystem::path& to,
                                std::error_code& error);

}  // namespace corvane
