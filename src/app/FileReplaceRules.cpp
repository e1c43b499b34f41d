#include "app/FileReplaceRules.h"

#include <cctype>

#include "base/TextFormat.h"
#include "base/WriterLock.h"

namespace corvane::replacing {

namespace {

bool isSiblingName(const std::string& name, const std::string& prefix) {
    if (name.size() != prefix.size() + kSiblingSuffixLength || !name.starts_with(prefix)) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!std::isalnum(c)) {
            return false;
        }
    }
    return true;
}

// Whether name is a sibling of any file: ".NAME.replacing-XXXXXX".
bool isAnySiblingName(const std::string& name) {
    const auto at = name.rfind(".replacing-");
    return name.size() > 1 && name.front() == '.' && at != std::string::npos && at > 1 &&
           isSiblingName(name, name.substr(0, at) + ".replacing-");
}

}  // namespace

std::error_code errorFor(Refusal refusal) {
    switch (refusal) {
        case Refusal::None: return {};
        case Refusal::ReadOnly: return std::make_error_code(std::errc::permission_denied);
        case Refusal::NotRegular: return std::make_error_code(std::errc::invalid_argument);
        case Refusal::LinkToNothing: return std::make_error_code(std::errc::no_such_file_or_directory);
        case Refusal::Unreachable: return std::make_error_code(std::errc::io_error);
    }
    return {};
}

std::string refusalText(Refusal refusal, const std::filesystem::path& path) {
    const std::string text = path.string();
    const char* name = text.c_str();
    switch (refusal) {
        case Refusal::None: return {};
        case Refusal::ReadOnly:
            return formatText("Error, the file is read-only; it was not changed: %s", name);
        case Refusal::NotRegular:
            return formatText("Error, not a regular file (a folder, a device or a pipe); it was not "
                              "changed: %s",
                              name);
        case Refusal::LinkToNothing:
            return formatText("Error, the link leads to no file; it was not changed: %s", name);
        case Refusal::Unreachable:
            return formatText("Error, the file cannot be reached; it was not changed: %s", name);
    }
    return {};
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
    auto folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

std::string siblingPrefix(const std::filesystem::path& file) {
    return "." + file.filename().string() + ".replacing-";
}

void removeLeftoverSiblings(const std::filesystem::path& file) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folderOf(file), error)) {
        if (isAnySiblingName(entry.path().filename().string())) {
            removeIfAbandoned(entry.path());
        }
    }
}

}  // namespace corvane::replacing
