#pragma once

#include <filesystem>
#include <span>
#include <string_view>

namespace corvane {

// The settings files the program is installed with; a working folder lacking
// them is seeded from the resources folder.
inline constexpr std::string_view kSeededFiles[] = {
    "prefs.cfg",
    "rotors.txt",
    "short_checklist.txt",
    "detailed_checklist.txt",
};

// The folder holding the default settings files: "resources" beside the
// executable or one level up, the installed "share/corvane"
// (installedDataFolder), else the source tree's resources folder the build
// was made from. Empty when none of them holds "prefs.cfg".
[[nodiscard]] std::filesystem::path findResourcesFolder(const std::filesystem::path& executableFolder);

// Copies each of files from resources into working that working lacks; an
// existing file, even an empty one, is never touched. Returns how many were
// copied, or -1 when a missing file could not be copied.
int seedWorkingFolder(const std::filesystem::path& resources, const std::filesystem::path& working,
                      std::span<const std::string_view> files = kSeededFiles);

}  // namespace corvane
