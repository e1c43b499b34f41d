#include "app/UserStore.h"

#include <algorithm>
#include <cctype>
#include <system_error>
#include <vector>

#include "app/ConfigFile.h"
#include "app/FileReplace.h"
#include "app/NameCheck.h"
#include "app/Prompter.h"

namespace corvane {

namespace {

// An old user file is a settings file: a few kilobytes.
constexpr std::size_t kMaxUserFileBytes = 1u << 20;

bool hasTxtExtension(const std::filesystem::path& file) {
    auto extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".txt";
}

bool missingOrEmpty(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    return error || size == 0;
}

}  // namespace

UserStore::UserStore(std::filesystem::path startupFolder)
    : startup_(std::filesystem::absolute(startupFolder).lexically_normal()) {}

std::filesystem::path UserStore::usersFolder() const { return startup_ / "Users"; }
std::filesystem::path UserStore::tempFolder() const { return startup_ / "TEMP"; }
std::filesystem::path UserStore::presetRunsFolder() const { return startup_ / "PRESET RUNS"; }
std::filesystem::path UserStore::standardRunsFolder() const { return startup_ / "STANDARD RUNS"; }

std::filesystem::path UserStore::madeStandardRunsFolder() const {
    const auto folder = standardRunsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}
std::filesystem::path UserStore::exportFolder() const { return startup_ / "Export"; }

std::filesystem::path UserStore::userFolder(std::string_view name) const {
    if (!folderNameProblem(name).empty()) {
        return {};
    }
    return usersFolder() / std::string(name);
}

std::filesystem::path UserStore::settingsPath(std::string_view name) const {
    const auto folder = userFolder(name);
    if (folder.empty()) {
        return {};
    }
    auto path = folder / "settings.txt";
    if (missingOrEmpty(path)) {
        migrateOldUserFiles();
    }
    return path;
}

std::string UserStore::ownFolderSetting(std::string_view name, std::string_view key) const {
    const auto path = settingsPath(name);
    if (path.empty()) {
        return {};
    }
    return ConfigFile(path).getString(kUserSettings, key).value_or("");
}

UserFolders UserStore::loadFolders(std::string_view name) const {
    const auto folder = userFolder(name);
    if (folder.empty()) {
        return {};
    }
    const ConfigFile settings(settingsPath(name));
    auto folderKey = [&](const char* key) {
        return settings.getString(kUserSettings, key).value_or(folder.string());
    };
    UserFolders folders;
    folders.dataFolder = folderKey("lastdatafolder");
    folders.presetRunFolder = folderKey("lastpresetrunfolder");
    folders.overlayPlanFolder = folderKey("lastoverlayplanfolder");
    folders.overlayPlanFile = settings.getString(kUserSettings, "lastoverlayplanfile").value_or("");
    return folders;
}

std::filesystem::path UserStore::ensureUserFolder(std::string_view name, Prompter& prompter) const {
    if (const auto problem = folderNameProblem(name); !problem.empty()) {
        prompter.message(problem);
        return {};
    }
    const auto folder = userFolder(name);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error) ? folder : std::filesystem::path{};
}

int UserStore::migrateOldUserFiles() const {
    std::error_code error;
    std::filesystem::directory_iterator entries(usersFolder(), error);
    if (error) {
        return 0;
    }
    // Listed first: the loop adds folders to the folder it walks.
    std::vector<std::filesystem::path> candidates;
    for (const auto& entry : entries) {
        if (entry.is_regular_file(error) && hasTxtExtension(entry.path())) {
            candidates.push_back(entry.path());
        }
    }
    int moved = 0;
    for (const auto& file : candidates) {
        const auto bytes = readWholeFile(file, kMaxUserFileBytes);
        if (!bytes) {
            continue;
        }
        const std::string_view firstLine =
            std::string_view(*bytes).substr(0, bytes->find_first_of("\r\n"));
        const auto name = file.stem().string();
        if (firstLine.find(kUserSettings) == std::string_view::npos || name.empty()) {
            continue;
        }
        const auto folder = userFolder(name);
        if (folder.empty()) {
            continue;
        }
        std::filesystem::create_directory(folder, error);
        if (!std::filesystem::is_directory(folder, error) ||
            !replaceFile(folder / "settings.txt", *bytes)) {
            continue;
        }
        std::filesystem::remove(file, error);
        ++moved;
    }
    return moved;
}

}  // namespace corvane
