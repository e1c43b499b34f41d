#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/Prompter.h"

namespace corvane::fuzz {

// A user who answers No and picks no file: the fuzz targets run without one.
class SilentPrompter : public Prompter {
public:
    void message(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void notify(const std::string&, const std::string&) override {}
    std::optional<std::string> openFile(const FileDialogRequest&) override { return {}; }
    std::vector<std::string> openFiles(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return {}; }
};

}  // namespace corvane::fuzz
