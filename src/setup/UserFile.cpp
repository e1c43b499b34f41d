#include "setup/UserFile.h"

#include <system_error>

#include "app/ConfigFile.h"
#include "app/FileReplace.h"
#include "app/NameCheck.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "runs/Em1SettingsStore.h"

namespace corvane {
namespace {

constexpr const char* kUserSection = UserStore::kUserSettings;

bool hasContent(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::file_size(path, error) > 0 && !error;
}

}  // namespace

std::string refusedTextMessage(const char* field, const std::string& value) {
    return formatText("Error, the %s \"%s\" cannot be kept in the settings: it holds a \"[\" or a "
                      "line break. Please change it and try again.",
                      field, visibleText(value).c_str());
}

std::string userDateText(const CalendarTime& when) {
    return formatText("%d-%02d-%02d", when.year, when.month, when.day);
}

std::string userTimeText(const CalendarTime& when) {
    return formatText("%02d:%02d:%02d", when.hour, when.minute, when.second);
}

std::optional<std::filesystem::path> ensureUserSettingsFile(const std::filesystem::path& startupFolder,
                                                            const std::string& name,
                                                            const CalendarTime& when,
                                                            Prompter& prompter) {
    const UserStore users(startupFolder);
    if (users.ensureUserFolder(name, prompter).empty()) {
        // A refused name has had its message; a folder that cannot be made
        // is told as the file that cannot be made in it.
        if (folderNameProblem(name).empty()) {
            prompter.message(formatText("Error, could not create file: %s in Users folder.",
                                        (users.userFolder(name) / "settings.txt").string().c_str()));
        }
        return std::nullopt;
    }
    const auto path = users.settingsPath(name);
    if (!hasContent(path)) {
        const std::string first = "date " + userDateText(when) + "\ntime " + userTimeText(when) +
                                  "\n\n\n" + kUserSection + "\n";
        if (!replaceFile(path, first)) {
            prompter.message(formatText("Error, could not create file: %s in Users folder.",
                                        path.string().c_str()));
            return std::nullopt;
        }
    }
    return path;
}

std::optional<std::filesystem::path> confirmUser(const std::filesystem::path& startupFolder,
                                                 const std::string& name, const CalendarTime& when,
                                                 const std::string& experiment, Prompter& prompter) {
    if (name.empty()) {
        prompter.message("Error, invalid username.");
        return std::nullopt;
    }
    if (const auto problem = folderNameProblem(name); !problem.empty()) {
        prompter.message(problem);
        return std::nullopt;
    }
    {
        Preferences prefs(startupFolder);
        if (!prefs.setLastUser(name)) {
            prompter.message(refusedTextMessage("user name", name));
            return std::nullopt;
        }
    }
    const UserStore users(startupFolder);
    std::error_code error;
    std::filesystem::create_directories(users.usersFolder(), error);
    if (!std::filesystem::is_directory(users.usersFolder(), error)) {
        prompter.message("Error, unable to find Users folder.");
        return std::nullopt;
    }
    auto path = ensureUserSettingsFile(startupFolder, name, when, prompter);
    if (!path) {
        return std::nullopt;
    }
    ConfigFile user(*path);
    user.setString(kUserSection, "date", userDateText(when));
    user.setString(kUserSection, "time", userTimeText(when));
    // A description of several lines is kept whole, as one line.
    if (!experiment.empty() && !user.setString(kUserSection, "experiment_name", oneLineText(experiment))) {
        prompter.message(refusedTextMessage("experiment name", experiment));
        return std::nullopt;
    }
    if (user.save() < 0) {
        prompter.message(formatText("Error, could not create file: %s in Users folder.",
                                    path->string().c_str()));
        return std::nullopt;
    }
    return path;
}

Em1Settings storedEm1Settings(const std::filesystem::path& startupFolder, const std::optional<RunInfo>& info) {
    const Preferences prefs(startupFolder);
    Em1Settings s = loadEm1Settings(prefs.store());
    if (const auto user = prefs.lastUser(); !user.empty() && info) {
        if (const auto path = UserStore(startupFolder).settingsPath(user); !path.empty()) {
            (void)loadUserEm1Settings(ConfigFile(path), info->manufacturerIndex, info->rotorModelIndex, s);
        }
    }
    return s;
}

}  // namespace corvane
