#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::string_view kComPortChooserCaption = "Corvane Serial COM Port";
inline constexpr std::string_view kComPortLabel = "COM Port";

// "COM%d"
[[nodiscard]] std::string comPortEntry(int number);
// The number of a "COM%d" entry, read as sscanf would; nullopt when none.
[[nodiscard]] std::optional<int> parseComPortEntry(std::string_view entry);
// The index of the port numbered stored, else 0 (the first); -1 for no ports.
[[nodiscard]] int comPortSelection(const std::vector<int>& ports, int stored);

// The rules of the start-up COM port chooser; its dialog only binds a list
// and an OK button to this.
class ComPortChooser {
public:
    // ports: the numbers enumeration found, ascending.
    ComPortChooser(std::filesystem::path startupFolder, std::vector<int> ports);

    // What happens when the dialog opens. With a single port its number is
    // stored as "comport" at once. Returns false with no port at all: the
    // dialog then closes by itself.
    bool open();

    [[nodiscard]] const std::vector<std::string>& entries() const { return entries_; }
    // The entry whose number is the stored "comport", else the first; -1 when empty.
    [[nodiscard]] int selection() const { return selection_; }

    // OK with this entry selected: stores its number as "comport" when the
    // entry holds one. Returns whether it did.
    bool accept(std::string_view entry);

private:
    std::filesystem::path startupFolder_;
    std::vector<int> ports_;
    std::vector<std::string> entries_;
    int selection_ = -1;
};

}  // namespace corvane
