#include "app/ScreenResWarning.h"

#include <cstdio>

#include "app/ConfigFile.h"

namespace corvane {

namespace {
constexpr const char* kPrefs = "[prefs]";
constexpr const char* kDontShowKey = "dontshowscreenreswarning";
}  // namespace

std::string currentResolutionText(int width, int height) {
    char text[64];
    std::snprintf(text, sizeof text, "Current display resolution is: %d x %d", width, height);
    return text;
}

bool screenResWarningDue(int dontShowSetting, int width, int height) {
    return dontShowSetting < 1 && (width < kMinScreenWidth || height < kMinScreenHeight);
}

bool screenResWarningDue(const std::filesystem::path& prefsPath, int width, int height) {
    const ConfigFile prefs(prefsPath);
    return screenResWarningDue(prefs.getInt(kPrefs, kDontShowKey), width, height);
}

void storeScreenResWarningChoice(const std::filesystem::path& prefsPath, bool dontShowAgain) {
    ConfigFile prefs(prefsPath);
    prefs.setInt(kPrefs, kDontShowKey, dontShowAgain ? 1 : 0);
}

}  // namespace corvane
