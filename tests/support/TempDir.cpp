#include "TempDir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <stdexcept>
#include <system_error>

namespace corvane::test {

TempDir::TempDir() {
    // A name nobody holds, taken by creating it (create_directory is false
    // for a folder that exists): no race with other tests running at once.
    static std::mt19937_64 random(std::random_device{}());
    static std::mutex mutex;
    const std::scoped_lock lock(mutex);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "corvane-test-%012llx",
                      static_cast<unsigned long long>(random() & 0xffffffffffffULL));
        auto candidate = std::filesystem::temp_directory_path() / name;
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::write(const std::string& relative, const std::string& bytes) const {
    const auto target = path_ / relative;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return target;
}

std::string TempDir::read(const std::string& relative) const { return readFile(path_ / relative); }

bool TempDir::exists(const std::string& relative) const {
    return std::filesystem::exists(path_ / relative);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);  // text mode
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace corvane::test
