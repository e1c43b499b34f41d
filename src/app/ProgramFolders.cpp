#include "app/ProgramFolders.h"

#include <cstdlib>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

#include "app/Preferences.h"

namespace corvane {

std::filesystem::path executableFolder() {
#ifdef _WIN32
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) {
            return {};
        }
        if (n < name.size()) {
            name.resize(n);
            return std::filesystem::path(name).parent_path();
        }
        name.resize(name.size() * 2);
    }
#else
    std::error_code error;
    const auto exe = std::filesystem::canonical("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
#endif
}

std::filesystem::path installedDataFolder(const std::filesystem::path& executableFolder) {
    if (executableFolder.empty()) {
        return {};
    }
    const auto folder = (executableFolder / ".." / "share" / "corvane").lexically_normal();
    std::error_code error;
    return std::filesystem::is_regular_file(Preferences::pathIn(folder), error) ? folder
                                                                                : std::filesystem::path();
}

std::filesystem::path xdgDataFolder(std::string_view xdgDataHome, std::string_view home) {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    const std::filesystem::path data(xdgDataHome);
    if (data.is_absolute()) {
        return data / "corvane";
    }
    const std::filesystem::path user(home);
    if (user.is_absolute()) {
        return user / ".local" / "share" / "corvane";
    }
    return {};
}

std::filesystem::path perUserDataFolder() {
#ifdef _WIN32
    PWSTR local = nullptr;
    std::filesystem::path folder;
    if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local) == S_OK) {
        folder = std::filesystem::path(local) / "Corvane";
    }
    ::CoTaskMemFree(local);
    return folder;
#else
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string homeText = home != nullptr ? home : "";
    if (homeText.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
            homeText = entry->pw_dir;
        }
    }
    return xdgDataFolder(data != nullptr ? data : "", homeText);
#endif
}

StartFolder chooseStartFolder(const std::filesystem::path& given, const std::filesystem::path& executableFolder,
                              const std::filesystem::path& currentFolder,
                              const std::filesystem::path& perUserFolder) {
    if (!given.empty()) {
        return {std::filesystem::absolute(currentFolder / given).lexically_normal(), false};
    }
    if (installedDataFolder(executableFolder).empty()) {
        return {currentFolder, false};
    }
    return {perUserFolder, !perUserFolder.empty()};
}

}  // namespace corvane
