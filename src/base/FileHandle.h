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

}  // namespace corvane
