// Loads arbitrary bytes as a settings file, reads and edits it, saves it and
// reads it back: no crash, no hang, and every value just stored reads back.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "FuzzCheck.h"
#include "FuzzWorkFolder.h"

#include "app/ConfigFile.h"

namespace {

using corvane::ConfigFile;

const std::filesystem::path& workFolder() {
    static const corvane::fuzz::WorkFolder folder("fuzz-config");
    return folder.path();
}

using corvane::fuzz::check;

// Names the program itself would use, plus one taken from the input.
constexpr std::array kSections = {"[prefs]", "[user_settings]", "Volumes", "Beckman", "[scan]"};
constexpr std::array kKeys = {"baudrate", "lastuser", "A_Volume", "A_Volume_Per_MM", "SW41Ti", "comport"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string ownSection = input.ConsumeRandomLengthString(16);
    const std::string ownKey = input.ConsumeRandomLengthString(16);
    const std::string value = input.ConsumeRandomLengthString(32);
    const int number = input.ConsumeIntegral<int>();
    const double real = input.ConsumeFloatingPoint<double>();
    const auto section = input.ConsumeBool() ? ownSection : std::string(input.PickValueInArray(kSections));
    const auto key = input.ConsumeBool() ? ownKey : std::string(input.PickValueInArray(kKeys));
    const std::string content = input.ConsumeRemainingBytesAsString();

    const auto path = workFolder() / "settings.cfg";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }

    // Stored values read back only for names the file's grammar can hold.
    const bool plainKey = ownKey.find_first_of(std::string("[\r\n\0", 4)) == std::string::npos;
    {
        ConfigFile file(path);
        check(file.isOpen(), "a readable file opens");
        (void)file.getInt(section, key);
        (void)file.getDouble(section, key);
        (void)file.getString(section, key);
        std::array<int, 8> ints{};
        std::array<double, 8> doubles{};
        check(file.getIntArray(section, key, ints) <= 8, "list count bounded");
        (void)file.getDoubleArray(section, key, doubles);

        if (file.setInt(section, key, number) && plainKey && key == ownKey) {
            check(file.getInt(section, key) == number, "an int reads back");
        }
        if (file.setString(section, key, value) && plainKey && key == ownKey) {
            const auto back = file.getString(section, key);
            check(back && *back == value, "a string reads back");
        }
        (void)file.setDouble(section, key, real);
        (void)file.setIntArray(section, key, ints);
        file.removeKey(section, key);
        file.setInt("[prefs]", "comport", number);
        check(file.getInt("[prefs]", "comport") == number ||
                  content.find("[prefs]") != std::string::npos,
              "a fresh section is found");
        check(file.save() > 0, "a modified open file is written");
    }
    ConfigFile again(path);
    check(again.isOpen(), "the saved file opens");
    (void)again.getString(section, key);
    return 0;
}
