#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/Prompter.h"

namespace corvane::test {

// A Prompter that records everything shown and answers from scripts.
// transcript() gives one line per event, e.g.
//   "message: Error, could not start recording."
//   "question: Do you wish to save this run? -> No"
//   "notify: ..."   "save: Save Run -> /tmp/x.csv"   "open: Open -> (cancel)"
// A question or dialog with no scripted answer is answered No / cancel and
// counted in unscripted(), so a test notices prompts it did not expect.
class ScriptedPrompter : public Prompter {
public:
    void message(const std::string& text, const std::string& caption = {}) override;
    [[nodiscard]] bool askYesNo(const std::string& text, const std::string& caption = {}) override;
    void notify(const std::string& text, const std::string& caption = {}) override;
    [[nodiscard]] std::optional<std::string> openFile(const FileDialogRequest& request) override;
    [[nodiscard]] std::vector<std::string> openFiles(const FileDialogRequest& request) override;
    [[nodiscard]] std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    [[nodiscard]] std::optional<int> chooseColour(int rgb) override;
    [[nodiscard]] std::optional<ColumnChoice> chooseColumns(const ColumnChoiceRequest& request) override;

    void answerYes() { scriptYesNo(true); }
    void answerNo() { scriptYesNo(false); }
    void scriptYesNo(bool answer);
    void scriptFile(std::optional<std::string> path);  // open or save; nullopt cancels
    void scriptFiles(std::vector<std::string> paths);
    void scriptColour(std::optional<int> rgb);  // nullopt cancels
    void scriptColumns(std::optional<ColumnChoice> choice);  // nullopt cancels
    // Runs on the asking thread before each question is answered, as if the
    // user took a while (the world goes on meanwhile).
    void beforeAnswering(std::function<void(const std::string&)> hook);
    // Runs on the showing thread after each message, as if the user did
    // what it asked before pressing OK.
    void onMessage(std::function<void(const std::string&)> hook);

    [[nodiscard]] std::vector<std::string> transcript() const;
    // Only the texts, in order, whatever their kind.
    [[nodiscard]] std::vector<std::string> texts() const;
    [[nodiscard]] std::vector<FileDialogRequest> fileRequests() const;
    [[nodiscard]] std::vector<ColumnChoiceRequest> columnRequests() const;
    [[nodiscard]] int unscripted() const;
    void clear();

private:
    void record(std::string line, std::string text);

    mutable std::mutex mutex_;
    std::deque<bool> yesNo_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::vector<std::string>> fileLists_;
    std::deque<std::optional<int>> colours_;
    std::deque<std::optional<ColumnChoice>> columns_;
    std::vector<ColumnChoiceRequest> columnRequests_;
    std::vector<std::string> transcript_;
    std::vector<std::string> texts_;
    std::vector<FileDialogRequest> fileRequests_;
    int unscripted_ = 0;
    std::function<void(const std::string&)> beforeAnswer_;
    std::function<void(const std::string&)> onMessage_;
};

}  // namespace corvane::test
