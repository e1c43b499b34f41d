#include "app/ResourceSeeder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "app/FileReplace.h"
#include "app/Preferences.h"
#include "app/ProgramFolders.h"

namespace corvane {

namespace {

constexpr std::size_t kMaxResourceBytes = 4u << 20;

bool holdsDefaults(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_regular_file(Preferences::pathIn(folder), error);
}

enum class Created { Yes, AlreadyThere, Failed };

// Creates target with the bytes unless it exists: O_EXCL, so a file that
// appears in the meantime is never replaced.
Created createNewFile(const std::filesystem::path& target, const std::string& bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno == EEXIST ? Created::AlreadyThere : Created::Failed;
    }
    std::string_view rest = bytes;
    bool ok = true;
    while (ok && !rest.empty()) {
        const auto n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        if (ok) {
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(target.c_str());
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
