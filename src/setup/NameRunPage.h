#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvane {

class Prompter;

// The "Name Run?" page (CNameRunDlg): "Do you want to name this run?" with
// the last name given offered again ("lastscanname" of the user's
// settings). A run name becomes part of the run's TEMP file name, so it is
// checked as one before it is taken.
class NameRunPage {
public:
    static constexpr const char* kQuestion = "Do you want to name this run?";

    NameRunPage(std::filesystem::path startupFolder, Prompter& prompter);

    // The name offered: the current user's last one.
    [[nodiscard]] std::string offeredName() const;
    // OK with this text: the name, stored as the user's last one; nothing,
    // after the reason, when it cannot name a run (the page stays). An empty
    // text names no run.
    [[nodiscard]] std::optional<std::string> accept(const std::string& text);

private:
    std::filesystem::path startup_;
    Prompter& prompter_;
};

}  // namespace corvane
