#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvane {

class Prompter;

// The four folder settings of a user, for the file dialogs.
struct UserFolders {
    std::string dataFolder;         // "lastdatafolder"
    std::string presetRunFolder;    // "lastpresetrunfolder"
    std::string overlayPlanFolder;  // "lastoverlayplanfolder"
    std::string overlayPlanFile;    // "lastoverlayplanfile"
};

// The folder layout below the start-up folder and each user's settings file.
// Every path is absolute; an empty path means "not available" (no user, or a
// user name that cannot be a folder name, see folderNameProblem).
class UserStore {
public:
    static constexpr const char* kUserSettings = "[user_settings]";

    explicit UserStore(std::filesystem::path startupFolder);

    [[nodiscard]] const std::filesystem::path& startupFolder() const { return startup_; }
    [[nodiscard]] std::filesystem::path usersFolder() const;         // "Users"
    [[nodiscard]] std::filesystem::path tempFolder() const;          // "TEMP"
    [[nodiscard]] std::filesystem::path presetRunsFolder() const;    // "PRESET RUNS"
    [[nodiscard]] std::filesystem::path standardRunsFolder() const;  // "STANDARD RUNS"
    // The same, made when missing: a file dialog opens only in a folder that
    // exists.
    [[nodiscard]] std::filesystem::path madeStandardRunsFolder() const;
    [[nodiscard]] std::filesystem::path exportFolder() const;        // "Export"

    [[nodiscard]] std::filesystem::path userFolder(std::string_view name) const;
    // The user's "settings.txt". When it is missing or empty, older user
    // files are moved into their folders first (migrateOldUserFiles).
    [[nodiscard]] std::filesystem::path settingsPath(std::string_view name) const;
    // The folder keys of "[user_settings]"; the three folders fall back to the
    // user's own folder, the overlay plan file stays empty when missing.
    [[nodiscard]] UserFolders loadFolders(std::string_view name) const;
    // One folder key of the user's "[user_settings]" as it stands; empty when
    // missing (no fallback).
    [[nodiscard]] std::string ownFolderSetting(std::string_view name, std::string_view key) const;

    // Makes "Users" and the user's folder when missing. A name that cannot be
    // a folder name is refused with its message through the prompter, and
    // nothing is created. Empty when refused or when the folder cannot be made.
    [[nodiscard]] std::filesystem::path ensureUserFolder(std::string_view name,
                                                         Prompter& prompter) const;

    // Older versions kept a user's settings as "NAME.txt" in the users folder.
    // Each such "*.txt" whose first line holds "[user_settings]" becomes
    // "settings.txt" in the folder NAME (overwriting) and the old file goes.
    // Returns how many files were moved.
    int migrateOldUserFiles() const;

private:
    std::filesystem::path startup_;
};

}  // namespace corvane
