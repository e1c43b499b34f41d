#include "cli/ConsolePrompter.h"

namespace corvane::cli {

void ConsolePrompter::message(const std::string& text, const std::string&) {
    messages_.push_back(text);
}

bool ConsolePrompter::askYesNo(const std::string& text, const std::string&) {
    messages_.push_back(text + " (answered No)");
    return false;
}

void ConsolePrompter::notify(const std::string& text, const std::string&) {
    messages_.push_back(text);
}

std::optional<std::string> ConsolePrompter::openFile(const FileDialogRequest&) { return fileAnswer_; }

std::vector<std::string> ConsolePrompter::openFiles(const FileDialogRequest&) {
    if (fileAnswer_) {
        return {*fileAnswer_};
    }
    return {};
}

std::optional<std::string> ConsolePrompter::saveFile(const FileDialogRequest&) { return fileAnswer_; }

void ConsolePrompter::flush(std::FILE* out) {
    for (const auto& text : messages_) {
        std::fprintf(out, "%s\n", text.c_str());
    }
    messages_.clear();
}

}  // namespace corvane::cli
