#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvane::cli {

// The folder the instrument commands work in, as the desktop program works
// in its start-up folder: the current folder, with the default settings
// files copied in first when it has no "prefs.cfg" (a user's files are never
// replaced). Its "prefs.cfg" gives the line speed and the port map,
// "pressKeyLog.txt" logs the key presses, "TEMP" keeps the runs. Says on
// standard error what it copied, prefixed with "corvane-cli COMMAND: ";
// nothing, with the reason said, when the folder cannot be prepared.
[[nodiscard]] std::optional<std::filesystem::path> prepareWorkingFolder(const std::string& command);

}  // namespace corvane::cli
