#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The texts of the connection help windows (CSerportTroubleShootingDlg and
// CDeviceManagerInstructDlg).

inline constexpr std::string_view kTroubleShootingCaption = "DE-1 Serial Port Troubleshooting";
inline constexpr std::string_view kTryAgainText = "TRY AGAIN";
inline constexpr std::string_view kContinueWithoutText = "CONTINUE WITHOUT CORVANE";
inline constexpr std::string_view kClickHereText = "click here.";

// The numbered steps of the troubleshooting window, with the port the
// program is set to ("COM%d"; "none" without one). posix adds how this
// platform names its serial devices.
[[nodiscard]] std::string troubleShootingSteps(int comPort, bool posix);

// The three ways of opening Device Manager, by the platform's generation.
enum class DeviceManagerSteps { Classic, Vista, Current };

// Which text fits a platform, from its product type and version as the
// platform reports them ("windows", "xp" / "5.1", "vista" / "6.0", "7",
// "10"); any other platform gets the newest text.
[[nodiscard]] DeviceManagerSteps deviceManagerStepsFor(std::string_view productType,
                                                       std::string_view productVersion);

// The five steps of each text.
[[nodiscard]] std::string_view deviceManagerText(DeviceManagerSteps steps);

}  // namespace corvane
