#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// What a file dialog needs: the filter string in the classic form
// "Text (*.csv;*.txt)|*.csv;*.txt|All Files (*.*)|*.*||", the folder it opens
// in, a proposed file name and the extension added when the user types none.
struct FileDialogRequest {
    std::string title;
    std::string filter;
    std::string initialFolder;
    std::string defaultName;
    std::string defaultExtension;
};

// A plain table's x and y columns to choose when it is opened: the file's
// name, its columns' names in order and the two preselected (0-based).
struct ColumnChoiceRequest {
    std::string fileName;
    std::vector<std::string> columns;
    std::size_t x = 0;
    std::size_t y = 1;
};
struct ColumnChoice {
    std::size_t x = 0;
    std::size_t y = 1;

    bool operator==(const ColumnChoice&) const = default;
};

// Every message box, question and file dialog of the program goes through this
// seam, so that the core decides *what* is said and a test can check it.
// message() and askYesNo() block until the user answers and may be called from
// any thread; notify() never blocks and is the one to use while a link lock is
// held or on a worker thread: the text is shown later, on the UI thread.
class Prompter {
public:
    virtual ~Prompter() = default;

    virtual void message(const std::string& text, const std::string& caption = {}) = 0;
    [[nodiscard]] virtual bool askYesNo(const std::string& text, const std::string& caption = {}) = 0;
    virtual void notify(const std::string& text, const std::string& caption = {}) = 0;

    // Each returns nothing (or an empty list) when the user cancels.
    [[nodiscard]] virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    [[nodiscard]] virtual std::vector<std::string> openFiles(const FileDialogRequest& request) = 0;
    [[nodiscard]] virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
    // The colour chooser, opened on rgb (r | g << 8 | b << 16): the colour
    // chosen, nothing when cancelled. Only the desktop has one.
    [[nodiscard]] virtual std::optional<int> chooseColour(int rgb) {
        (void)rgb;
        return std::nullopt;
    }
    // The columns chosen, nothing when cancelled; x and y always differ.
    // Where there is no dialog, the preselected ones.
    [[nodiscard]] virtual std::optional<ColumnChoice> chooseColumns(const ColumnChoiceRequest& request) {
        return ColumnChoice{request.x, request.y};
    }
};

}  // namespace corvane
