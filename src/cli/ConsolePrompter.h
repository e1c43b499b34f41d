#pragma once

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/Prompter.h"

namespace corvane::cli {

// The Prompter of the command line: messages are kept and printed by the
// command when it knows whether it succeeded (stdout) or failed (stderr);
// questions are answered No; file dialogs get the path given on the command
// line, or are cancelled.
class ConsolePrompter : public Prompter {
public:
    void message(const std::string& text, const std::string& caption = {}) override;
    [[nodiscard]] bool askYesNo(const std::string& text, const std::string& caption = {}) override;
    void notify(const std::string& text, const std::string& caption = {}) override;
    [[nodiscard]] std::optional<std::string> openFile(const FileDialogRequest& request) override;
    [[nodiscard]] std::vector<std::string> openFiles(const FileDialogRequest& request) override;
    [[nodiscard]] std::optional<std::string> saveFile(const FileDialogRequest& request) override;

    void answerFileDialogsWith(std::string path) { fileAnswer_ = std::move(path); }
    // Prints every kept message, one per line, and forgets them.
    void flush(std::FILE* out);

private:
    void keep(std::string text);

    // The link raises messages from its own threads.
    std::mutex mutex_;
    std::vector<std::string> messages_;
    std::optional<std::string> fileAnswer_;
};

}  // namespace corvane::cli
