#include "cli/ConsolePrompter.h"

#include "base/TextFormat.h"

namespace corvane::cli {

void ConsolePrompter::keep(std::string text) {
    std::scoped_lock lock(mutex_);
    messages_.push_back(std::move(text));
}

void ConsolePrompter::message(const std::string& text, const std::string&) {
    keep(text);
}

bool ConsolePrompter::askYesNo(const std::string& text, const std::string&) {
    keep(text + " (answered No)");
    return false;
}

void ConsolePrompter::notify(const std::string& text, const std::string&) {
    keep(text);
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
    std::scoped_lock lock(mutex_);
    // Messages name files: no escape sequence in a name reaches the
    // terminal. Line breaks of the message itself stay.
    for (const auto& text : messages_) {
        std::fprintf(out, "%s\n", visibleLines(text).c_str());
    }
    messages_.clear();
}

}  // namespace corvane::cli
