#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace corvane::test {

// A fresh folder below the system's temporary folder, removed with everything
// in it when the object goes. Tests use it as the program's start-up folder.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string str() const { return path_.string(); }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes bytes exactly as given (no line-end translation); creates parent folders.
    std::filesystem::path write(const std::string& relative, const std::string& bytes) const;
    [[nodiscard]] std::string read(const std::string& relative) const;
    [[nodiscard]] bool exists(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

// Reads a whole file as the platform's text mode reads it: the bytes on
// POSIX; on Windows, where the program writes its text files with CR LF,
// each CR LF as LF, so one expectation holds on both. Empty when it cannot
// be read.
[[nodiscard]] std::string readFile(const std::filesystem::path& path);
// The bytes of a whole file, line ends as they are.
[[nodiscard]] std::string readBytes(const std::filesystem::path& path);
// The names of a folder's entries, sorted.
[[nodiscard]] std::vector<std::string> namesIn(const std::filesystem::path& folder);

}  // namespace corvane::test
