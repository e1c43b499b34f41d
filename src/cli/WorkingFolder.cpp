#include "cli/WorkingFolder.h"

#include <cstdio>
#include <system_error>

#include "app/Preferences.h"
#include "app/ProgramFolders.h"
#include "app/ResourceSeeder.h"

namespace corvane::cli {

std::optional<std::filesystem::path> prepareWorkingFolder(const std::string& command) {
    const std::string prefix = "corvane-cli " + command + ": ";
    std::error_code error;
    const auto folder = std::filesystem::current_path(error);
    if (error) {
        std::fprintf(stderr, "%sthe current folder cannot be found: %s\n", prefix.c_str(),
                     error.message().c_str());
        return std::nullopt;
    }
    if (std::filesystem::exists(Preferences::pathIn(folder), error)) {
        return folder;
    }
    const auto resources = findResourcesFolder(executableFolder());
    if (resources.empty() || seedWorkingFolder(resources, folder) < 0) {
        std::fprintf(stderr,
                     "%sthis folder has no prefs.cfg, and the default settings files could not be "
                     "copied here\n",
                     prefix.c_str());
        return std::nullopt;
    }
    std::fprintf(stderr,
                 "%sthis folder had no prefs.cfg; the default settings files were copied here "
                 "from %s\n",
                 prefix.c_str(), resources.string().c_str());
    return folder;
}

}  // namespace corvane::cli
