#include "app/ResourceSeeder.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "app/FileReplace.h"
#include "app/Preferences.h"
#include "app/ProgramFolders.h"
#include "base/FileHandle.h"

namespace corvane {

namespace {

constexpr std::size_t kMaxResourceBytes = 4u << 20;

bool holdsDefaults(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(Preferences::pathIn(folder), error);
}

enum class Created { Yes, AlreadyThere, Failed };

// Creates target with the bytes unless it exists: an exclusive create, so a
// file that appears in the meantime is never replaced.
Created createNewFile(const std::filesystem::path& target, const std::string& bytes) {
    FileHandle file = openFile(target, "wbxe");
    if (!file) {
        return errno == EEXIST ? Created::AlreadyThere : Created::Failed;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (std::fclose(file.release()) != 0 || !written) {
        std::error_code ignored;
        std::filesystem::remove(target, ignored);
        return Created::Failed;
    }
    return Created::Yes;
}

}  // namespace

std::filesystem::path findResourcesFolder(const std::filesystem::path& executableFolder) {
    for (const auto& candidate : {executableFolder / "resources", executableFolder / ".." / "resources"}) {
        if (holdsDefaults(candidate)) {
            return std::filesystem::absolute(candidate).lexically_normal();
        }
    }
    if (auto installed = installedDataFolder(executableFolder); !installed.empty()) {
        return installed;
    }
#ifdef CORVANE_SOURCE_RESOURCES_DIR
    if (holdsDefaults(CORVANE_SOURCE_RESOURCES_DIR)) {
        return CORVANE_SOURCE_RESOURCES_DIR;
    }
#endif
    return {};
}

int seedWorkingFolder(const std::filesystem::path& resources, const std::filesystem::path& working,
                      std::span<const std::string_view> files) {
    std::error_code error;
    std::filesystem::create_directories(working, error);
    int copied = 0;
    for (const auto name : files) {
        const auto target = working / std::string(name);
        if (std::filesystem::exists(std::filesystem::symlink_status(target, error))) {
            continue;
        }
        const auto bytes = readWholeFile(resources / std::string(name), kMaxResourceBytes);
        if (!bytes) {
            return -1;
        }
        const auto created = createNewFile(target, *bytes);
        if (created == Created::Failed) {
            return -1;
        }
        copied += created == Created::Yes ? 1 : 0;
    }
    return copied;
}

}  // namespace corvane
