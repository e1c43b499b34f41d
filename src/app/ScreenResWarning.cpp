#include "app/ScreenResWarning.h"

#include <cstdio>

#include "app/Preferences.h"

namespace corvane {

std::string currentResolutionText(int width, int height) {
    char text[64];
    std::snprintf(text, sizeof text, "Current display resolution is: %d x %d", width, height);
    return text;
}

bool screenResWarningDue(int dontShowSetting, int width, int height) {
    return dontShowSetting < 1 && (width < kMinScreenWidth || height < kMinScreenHeight);
}

bool screenResWarningDue(const std::filesystem::path& startupFolder, int width, int height) {
    return screenResWarningDue(Preferences(startupFolder).screenResWarningOff() ? 1 : 0, width, height);
}

void storeScreenResWarningChoice(const std::filesystem::path& startupFolder, bool dontShowAgain) {
    Preferences(startupFolder).setScreenResWarningOff(dontShowAgain);
}

}  // namespace corvane
