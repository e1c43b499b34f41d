#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class Prompter;

// One line of a check list.
struct CheckListItem {
    std::string text;
    // The label before the colon holds a "g": the item concerns the DE-1
    // SETUP page.
    bool setupItem = false;

    bool operator==(const CheckListItem&) const = default;
};

// A line of a check list file: "label: text" (text trimmed of blanks) when a
// colon follows the first character, otherwise the whole line.
[[nodiscard]] CheckListItem parseCheckListLine(std::string_view line);

// The check list window's content (CCheckListDlg): both lists of the
// start-up folder and the item on show, one at a time.
class CheckList {
public:
    static constexpr const char* kShortFile = "short_checklist.txt";
    static constexpr const char* kDetailedFile = "detailed_checklist.txt";
    // A hostile file cannot make the window hold more than this.
    static constexpr std::size_t kMaxItems = 10000;
    static constexpr std::size_t kMaxItemBytes = 4096;

    explicit CheckList(Prompter& prompter);

    // Reads both files of the folder; one that cannot be opened gives
    // "Error, unable to open file: %s" and leaves its list empty.
    void load(const std::filesystem::path& startupFolder);
    // Which list is on show; the index stays within it.
    void showDetailed(bool detailed);
    [[nodiscard]] bool detailed() const { return detailed_; }

    [[nodiscard]] const std::vector<CheckListItem>& items() const;
    [[nodiscard]] int index() const { return index_; }
    // The item on show; nothing for an empty list.
    [[nodiscard]] const CheckListItem* current() const;

    // Up and Down: the previous and the next item. False at either end.
    bool previous();
    bool next();

private:
    void clampIndex();
    [[nodiscard]] std::vector<CheckListItem> read(const std::filesystem::path& path);

    Prompter& prompter_;
    std::vector<CheckListItem> short_;
    std::vector<CheckListItem> detailedItems_;
    bool detailed_ = false;
    int index_ = 0;
};

}  // namespace corvane
