#include "app/NameCheck.h"

namespace corvane {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string folderNameProblem(std::string_view name) {
    if (name.empty()) {
        return "Error, please enter a name.";
    }
    const std::string quoted = "\"" + std::string(name) + "\"";
    for (const char c : name) {
        if (isControl(c)) {
            return "Error, the name contains a control character. Please use letters, digits and "
                   "punctuation only.";
        }
    }
    if (name.find_first_of("/\\") != std::string_view::npos) {
        return "Error, the name " + quoted + " contains \"/\" or \"\\\". A name cannot contain a "
               "folder separator.";
    }
    if (name == "." || name.find("..") != std::string_view::npos) {
        return "Error, the name " + quoted + " contains \"..\" or is \".\". Please choose another name.";
    }
    if (name.find_first_of("<>:\"|?*") != std::string_view::npos) {
        return "Error, the name " + quoted + " contains one of the characters < > : \" | ? * "
               "which a folder name cannot hold.";
    }
    if (name.front() == ' ' || name.back() == ' ') {
        return "Error, the name " + quoted + " begins or ends with a blank. Please remove the blank.";
    }
    if (name.size() > kMaxNameBytes) {
        return "Error, the name is too long. Please use at most 255 characters.";
    }
    return {};
}

}  // namespace corvane
