#include "link/ConnectionHelp.h"

#include "base/TextFormat.h"

namespace corvane {

std::string troubleShootingSteps(int comPort, bool posix) {
    const std::string port = comPort >= 1 ? formatText("COM%d", comPort) : std::string("none");
    std::string text =
        "1. Make sure the instrument is switched on and its USB cable is plugged into this "
        "computer.\n"
        "2. Open Device Manager and find the \"USB Serial Port (COMXX)\" entry under \"Ports "
        "(COM & LPT)\". To learn how, use the link below.\n"
        "3. Compare its number with the \"comport\" entry of prefs.cfg. The program is set to: " +
        port +
        "\n"
        "4. If they differ, choose the instrument's port in the COM Port list of the main "
        "window, or correct \"comport\" in prefs.cfg.\n"
        "5. Press TRY AGAIN.";
    if (posix) {
        text +=
            "\n\nOn this computer a USB serial bridge appears as /dev/ttyUSB0 (COM101), "
            "/dev/ttyUSB1 (COM102) and so on. A \"[ports]\" section in prefs.cfg can give a "
            "device another number, one line each, for example: com5 /dev/ttyUSB0";
    }
    return text;
}

DeviceManagerSteps deviceManagerStepsFor(std::string_view productType, std::string_view productVersion) {
    if (productType != "windows") {
        return DeviceManagerSteps::Current;
    }
    if (productVersion == "xp" || productVersion.starts_with("5.")) {
        return DeviceManagerSteps::Classic;
    }
    if (productVersion == "vista" || productVersion == "7" || productVersion.starts_with("6.0") ||
        productVersion.starts_with("6.1")) {
        return DeviceManagerSteps::Vista;
    }
    return DeviceManagerSteps::Current;
}

std::string_view deviceManagerText(DeviceManagerSteps steps) {
    switch (steps) {
        case DeviceManagerSteps::Classic:
            return "1. Click on Start and then Control Panel.\n"
                   "2. Double-click System.\n"
                   "3. Click the Hardware tab, then the Device Manager button.\n"
                   "4. Double-click Ports (COM & LPT).\n"
                   "5. Note the number of the USB Serial Port (COMXX) entry.\n";
        case DeviceManagerSteps::Vista:
            return "1. Click on the Start button and then Control Panel.\n"
                   "2. Click System and Maintenance, then System.\n"
                   "3. Click Device Manager in the list on the left.\n"
                   "4. Double-click Ports (COM & LPT).\n"
                   "5. Note the number of the USB Serial Port (COMXX) entry.\n";
        case DeviceManagerSteps::Current:
            break;
    }
    return "1. Click on the Start button and then choose Control Panel.\n"
           "2. Choose Hardware and Sound.\n"
           "3. Under Devices and Printers, choose Device Manager.\n"
           "4. Expand Ports (COM & LPT).\n"
           "5. Note the number of the USB Serial Port (COMXX) entry.\n";
}

}  // namespace corvane
