#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Which serial device stands behind "COM n". The "[ports]" section of
// "prefs.cfg" maps numbers to devices, one line each ("com5 /dev/ttyUSB0"; a
// bare name means a device below the device folder). Unmapped devices get
// fixed numbers from their names:
//   ttyS0 .. ttyS99      COM1 .. COM100     (built-in UARTs)
//   ttyUSB0 .. ttyUSB99  COM101 .. COM200   (USB serial adapters)
//   ttyACM0 .. ttyACM55  COM201 .. COM256   (USB modem-class devices)
// A mapping wins over these: a mapped number names the mapped device only,
// and a mapped device is reached by its mapped number only.
class PortMap {
public:
    static constexpr const char* kSection = "[ports]";
    static constexpr int kMaxPort = 256;

    explicit PortMap(std::filesystem::path deviceFolder = "/dev");
    // The mappings of the "[ports]" section of the settings in startupFolder
    // (keys "com1" to "com256").
    [[nodiscard]] static PortMap load(const std::filesystem::path& startupFolder,
                                      std::filesystem::path deviceFolder = "/dev");

    void map(int number, std::string device);

    // The device of "COM n": mapped, else by the fixed numbering; empty when none.
    [[nodiscard]] std::filesystem::path deviceFor(int number) const;
    // The number under which a device is listed; nullopt when it has none.
    [[nodiscard]] std::optional<int> numberFor(const std::filesystem::path& device) const;

    [[nodiscard]] const std::map<int, std::filesystem::path>& mapped() const { return mapped_; }
    [[nodiscard]] const std::filesystem::path& deviceFolder() const { return deviceFolder_; }

    // The fixed numbering alone: "ttyUSB0" -> 101.
    [[nodiscard]] static std::optional<int> defaultNumber(std::string_view deviceName);
    [[nodiscard]] static std::string defaultDeviceName(int number);

private:
    std::filesystem::path deviceFolder_;
    std::map<int, std::filesystem::path> mapped_;
};

}  // namespace corvane
