#pragma once

// The one way the desktop tests build a main window: its working folder
// ("prefs.cfg" with the test's keys, "rotors.txt") and its seams (no ports,
// or a simulated rig's ports and bridge), the first show left to the test.

#include <string>
#include <string_view>

#include "TempDir.h"
#include "desktop/CMainDlg.h"

namespace corvane::test {

// The keys most window tests start from: Abs A on, the usual windows, y 0..2.
inline constexpr std::string_view kWindowPrefs =
    "showAbsA 1\nxaxissamplerange 500\nxaxisposrange 100\nymin 0\nymax 2\n";
inline constexpr std::string_view kWindowRotors = "Volumes\nA_Volume 1\n";

// "prefs.cfg" with these lines under "[prefs]", and "rotors.txt".
inline void writeWindowFolder(const TempDir& dir, std::string_view prefsLines = kWindowPrefs,
                              std::string_view rotors = kWindowRotors) {
    dir.write("prefs.cfg", "[prefs]\n" + std::string(prefsLines));
    dir.write("rotors.txt", std::string(rotors));
}

// A window's seams in the folder: no bridge unless one is given.
inline CMainDlg::Seams windowSeams(const std::filesystem::path& folder, Clock& clock, Prompter& prompter,
                                   SerialPortApi& ports, BridgeLibrary* bridge = nullptr,
                                   std::string captionSuffix = {}, bool autoFirstShow = false) {
    return CMainDlg::Seams{folder, clock, prompter, ports, bridge, std::move(captionSuffix), autoFirstShow};
}

}  // namespace corvane::test
