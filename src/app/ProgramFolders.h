#pragma once

#include <filesystem>
#include <string_view>

namespace corvane {

// Where the program finds itself and the folder it works in.

// The folder holding the running program; empty when the system does not say.
[[nodiscard]] std::filesystem::path executableFolder();

// The default settings files of an installed program: "share/corvane" beside
// the folder of the programs (/usr/bin and /usr/share/corvane in the Debian
// package, PREFIX\bin and PREFIX\share\corvane on Windows). Empty when that
// folder holds no "prefs.cfg", i.e. the program runs from a build tree.
[[nodiscard]] std::filesystem::path installedDataFolder(const std::filesystem::path& executableFolder);

// The per-user folder of an installed program: "corvane" in the XDG data
// home (xdgDataHome when it is an absolute path, else home/.local/share);
// empty when neither gives an absolute path.
[[nodiscard]] std::filesystem::path xdgDataFolder(std::string_view xdgDataHome, std::string_view home);

// The per-user folder on this system: xdgDataFolder of the environment on
// POSIX, "Corvane" in the user's local application data (the known-folder
// API) on Windows. Empty when the system names none.
[[nodiscard]] std::filesystem::path perUserDataFolder();

// The folder the desktop program works in, and whether it is seeded with the
// default settings files it lacks at every start.
struct StartFolder {
    std::filesystem::path folder;
    bool seed = false;
};

// A folder given on the command line wins. Without one an installed program
// works in its per-user folder (the current folder of a program started from
// a menu is the home folder, and the installed defaults are not writable),
// seeded at every start so a first start finds its settings; a program run
// from its build tree works in the current folder as it always has.
// An empty folder when the program is installed and no per-user folder can
// be named.
[[nodiscard]] StartFolder chooseStartFolder(const std::filesystem::path& given,
                                            const std::filesystem::path& executableFolder,
                                            const std::filesystem::path& currentFolder,
                                            const std::filesystem::path& perUserFolder);

}  // namespace corvane
