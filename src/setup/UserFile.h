#pragma once

// The steps both USER pages take with a user's settings file.

#include <filesystem>
#include <optional>
#include <string>

#include "base/CalendarTime.h"
#include "runs/Em1Settings.h"
#include "runs/RunInfo.h"

namespace corvane {

class Prompter;

// The message for a typed text the settings file cannot hold (a "[", which
// would end its section, or a line break). The value is never dropped
// silently: the page says so and stays open.
[[nodiscard]] std::string refusedTextMessage(const char* field, const std::string& value);

// "date" and "time" as the user's file keeps them: "%d-%02d-%02d", "%02d:%02d:%02d".
[[nodiscard]] std::string userDateText(const CalendarTime& when);
[[nodiscard]] std::string userTimeText(const CalendarTime& when);

// Makes the user's folder and, when it has none (or an empty one), the
// settings file with its first lines. The file's path; nothing after the
// message when the name cannot be a folder or the file cannot be made
// ("Error, could not create file: %s in Users folder.").
[[nodiscard]] std::optional<std::filesystem::path> ensureUserSettingsFile(
    const std::filesystem::path& startupFolder, const std::string& name, const CalendarTime& when,
    Prompter& prompter);

// OK's first steps on either USER page: the name (not empty, a folder
// name, storable), "lastuser" in "prefs.cfg", the users folder, the user's
// file, and "date", "time" and (when not empty) "experiment_name" in it.
// The user's settings file, or nothing after the first failure's message.
[[nodiscard]] std::optional<std::filesystem::path> confirmUser(
    const std::filesystem::path& startupFolder, const std::string& name, const CalendarTime& when,
    const std::string& experiment, Prompter& prompter);

// The DE-1 settings a setup page opens with: those of "prefs.cfg", with the
// last user's own for the run description's rotor laid over them.
[[nodiscard]] Em1Settings storedEm1Settings(const std::filesystem::path& startupFolder,
                                            const std::optional<RunInfo>& info);

}  // namespace corvane
