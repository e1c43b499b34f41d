#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvane {

// The small-display warning shown at start-up, before the main window.
inline constexpr int kMinScreenWidth = 1150;
inline constexpr int kMinScreenHeight = 800;
inline constexpr std::string_view kScreenResWarningCaption = "Corvane Warning";
inline constexpr std::string_view kScreenResWarningText =
    "Warning: The recommended minimum resolution for the Corvane Software is 1150 x 800 pixels.";
inline constexpr std::string_view kScreenResAdviceText =
    "It is recommended that you increase your display resolution now, if possible.";
inline constexpr std::string_view kScreenResDontShowText = "Don't show this warning again.";
inline constexpr std::string_view kScreenResOkText = "OK";

// "Current display resolution is: %d x %d"
[[nodiscard]] std::string currentResolutionText(int width, int height);

// Whether a desktop of this size warrants the warning, given the stored
// "dontshowscreenreswarning" (1 or more suppresses it).
[[nodiscard]] bool screenResWarningDue(int dontShowSetting, int width, int height);

// The same, reading "dontshowscreenreswarning" from the settings in
// startupFolder (missing settings read 0, so a small display is warned about).
[[nodiscard]] bool screenResWarningDue(const std::filesystem::path& startupFolder, int width, int height);

// The dialog's OK: stores the check box as 1 (checked) or 0.
void storeScreenResWarningChoice(const std::filesystem::path& startupFolder, bool dontShowAgain);

}  // namespace corvane
