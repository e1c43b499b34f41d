#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>

namespace corvane {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A C stream that closes itself. Run files use C streams: text mode gives the
// platform's line ends, and fflush hands a row to the OS in one write.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

[[nodiscard]] inline FileHandle openFile(const std::filesystem::path& path, const char* mode) {
    return FileHandle(std::fopen(path.string().c_str(), mode));
}

// What a name stands for, links followed, found without opening it: opening
// a pipe for reading waits for a writer, and a device may never end.
enum class FileKind { Missing, Regular, Folder, Other };
[[nodiscard]] FileKind fileKindOf(const std::filesystem::path& path);

// Opens a regular file for reading in binary mode; nothing for a pipe, a
// device, a folder or a missing file. The open itself never blocks, and the
// kind is checked on the opened file, so a name swapped for a pipe in the
// meantime is refused too.
[[nodiscard]] FileHandle openRegularFile(const std::filesystem::path& path);

}  // namespace corvane
