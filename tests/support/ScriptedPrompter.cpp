#include "ScriptedPrompter.h"

namespace corvane::test {

void ScriptedPrompter::record(std::string line, std::string text) {
    transcript_.push_back(std::move(line));
    texts_.push_back(std::move(text));
}

void ScriptedPrompter::message(const std::string& text, const std::string&) {
    std::function<void(const std::string&)> hook;
    {
        std::scoped_lock lock(mutex_);
        record("message: " + text, text);
        hook = onMessage_;
    }
    if (hook) {
        hook(text);
    }
}

void ScriptedPrompter::onMessage(std::function<void(const std::string&)> hook) {
    std::scoped_lock lock(mutex_);
    onMessage_ = std::move(hook);
}

bool ScriptedPrompter::askYesNo(const std::string& text, const std::string&) {
    std::function<void(const std::string&)> hook;
    {
        std::scoped_lock lock(mutex_);
        hook = beforeAnswer_;
    }
    if (hook) {
        hook(text);
    }
    std::scoped_lock lock(mutex_);
    bool answer = false;
    if (yesNo_.empty()) {
        ++unscripted_;
    } else {
        answer = yesNo_.front();
        yesNo_.pop_front();
    }
    record("question: " + text + (answer ? " -> Yes" : " -> No"), text);
    return answer;
}

void ScriptedPrompter::beforeAnswering(std::function<void(const std::string&)> hook) {
    std::scoped_lock lock(mutex_);
    beforeAnswer_ = std::move(hook);
}

void ScriptedPrompter::notify(const std::string& text, const std::string&) {
    std::scoped_lock lock(mutex_);
    record("notify: " + text, text);
}

std::optional<std::string> ScriptedPrompter::openFile(const FileDialogRequest& request) {
    std::scoped_lock lock(mutex_);
    fileRequests_.push_back(request);
    std::optional<std::string> answer;
    if (files_.empty()) {
        ++unscripted_;
    } else {
        answer = files_.front();
        files_.pop_front();
    }
    record("open: " + request.title + " -> " + answer.value_or("(cancel)"), request.title);
    return answer;
}

std::optional<int> ScriptedPrompter::chooseColour(int rgb) {
    std::scoped_lock lock(mutex_);
    std::optional<int> answer;
    if (colours_.empty()) {
        ++unscripted_;
    } else {
        answer = colours_.front();
        colours_.pop_front();
    }
    record("colour: " + std::to_string(rgb) + " -> " + (answer ? std::to_string(*answer) : "(cancel)"), "colour");
    return answer;
}

void ScriptedPrompter::scriptColour(std::optional<int> rgb) {
    std::scoped_lock lock(mutex_);
    colours_.push_back(rgb);
}

std::optional<ColumnChoice> ScriptedPrompter::chooseColumns(const ColumnChoiceRequest& request) {
    std::scoped_lock lock(mutex_);
    columnRequests_.push_back(request);
    std::optional<ColumnChoice> answer;
    if (columns_.empty()) {
        ++unscripted_;
    } else {
        answer = columns_.front();
        columns_.pop_front();
    }
    record("columns: " + request.fileName + " -> " +
               (answer ? std::to_string(answer->x + 1) + ", " + std::to_string(answer->y + 1) : "(cancel)"),
           request.fileName);
    return answer;
}

void ScriptedPrompter::scriptColumns(std::optional<ColumnChoice> choice) {
    std::scoped_lock lock(mutex_);
    columns_.push_back(choice);
}

std::vector<ColumnChoiceRequest> ScriptedPrompter::columnRequests() const {
    std::scoped_lock lock(mutex_);
    return columnRequests_;
}

std::vector<std::string> ScriptedPrompter::openFiles(const FileDialogRequest& request) {
    std::scoped_lock lock(mutex_);
    fileRequests_.push_back(request);
    std::vector<std::string> answer;
    if (fileLists_.empty()) {
        ++unscripted_;
    } else {
        answer = fileLists_.front();
        fileLists_.pop_front();
    }
    std::string joined;
    for (const auto& path : answer) {
        joined += (joined.empty() ? "" : ", ") + path;
    }
    record("open many: " + request.title + " -> " + (answer.empty() ? "(cancel)" : joined),
           request.title);
    return answer;
}

std::optional<std::string> ScriptedPrompter::saveFile(const FileDialogRequest& request) {
    std::scoped_lock lock(mutex_);
    fileRequests_.push_back(request);
    std::optional<std::string> answer;
    if (files_.empty()) {
        ++unscripted_;
    } else {
        answer = files_.front();
        files_.pop_front();
    }
    record("save: " + request.title + " -> " + answer.value_or("(cancel)"), request.title);
    return answer;
}

void ScriptedPrompter::scriptYesNo(bool answer) {
    std::scoped_lock lock(mutex_);
    yesNo_.push_back(answer);
}

void ScriptedPrompter::scriptFile(std::optional<std::string> path) {
    std::scoped_lock lock(mutex_);
    files_.push_back(std::move(path));
}

void ScriptedPrompter::scriptFiles(std::vector<std::string> paths) {
    std::scoped_lock lock(mutex_);
    fileLists_.push_back(std::move(paths));
}

std::vector<std::string> ScriptedPrompter::transcript() const {
    std::scoped_lock lock(mutex_);
    return transcript_;
}

std::vector<std::string> ScriptedPrompter::texts() const {
    std::scoped_lock lock(mutex_);
    return texts_;
}

std::vector<FileDialogRequest> ScriptedPrompter::fileRequests() const {
    std::scoped_lock lock(mutex_);
    return fileRequests_;
}

int ScriptedPrompter::unscripted() const {
    std::scoped_lock lock(mutex_);
    return unscripted_;
}

void ScriptedPrompter::clear() {
    std::scoped_lock lock(mutex_);
    transcript_.clear();
    texts_.clear();
    fileRequests_.clear();
    columnRequests_.clear();
    unscripted_ = 0;
}

}  // namespace corvane::test
