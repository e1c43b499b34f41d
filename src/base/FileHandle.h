#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace corvane {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A C stream that closes itself. Run files use C streams: text mode gives the
// platform's line ends, and fflush hands a row to the OS in one write.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// fopen's modes, with "x" (create, never open an existing file; errno
// EEXIST) and "e" (not inherited by child processes) on every platform.
[[nodiscard]] FileHandle openFile(const std::filesystem::path& path, const char* mode);

// What a name stands for, links followed, found without opening it: opening
// a pipe for reading waits for a writer, and a device may never end.
enum class FileKind { Missing, Regular, Folder, Other };
[[nodiscard]] FileKind fileKindOf(const std::filesystem::path& path);

// Opens a regular file for reading in binary mode; nothing for a pipe, a
// device, a folder or a missing file. The open itself never blocks, and the
// kind is checked on the opened file, so a name swapped for a pipe in the
// meantime is refused too.
[[nodiscard]] FileHandle openRegularFile(const std::filesystem::path& path);

// Whether this program may create files in folder: the permission bits on
// POSIX; on Windows, where a folder answers by its access list, a file made
// and removed at once.
[[nodiscard]] bool canCreateFilesIn(const std::filesystem::path& folder);

// Hands what was written through file to the disk itself (flushed, then
// synced), so that a crash or a power cut after it keeps the bytes.
[[nodiscard]] bool syncToDisk(std::FILE* file);

// An open file's size and last write time, to tell whether it changed
// between two looks.
struct FileStamp {
    std::uintmax_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
[[nodiscard]] std::optional<FileStamp> stampOf(std::FILE* file);

}  // namespace corvane
