#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace corvane {

class Prompter;

// The INTRO page: who is about to run the instrument. Its window (CIntroDlg)
// binds a title, a prompt, an editable name list and OK to this.
class IntroPage {
public:
    static constexpr const char* kFoundPrompt =
        "USB connection to the Corvane established. Please enter your user name and press return: ";
    static constexpr const char* kPlainPrompt = "Please enter your user name and press return: ";
    static constexpr const char* kExitQuestion = "Are you sure you wish to exit?";

    IntroPage(std::filesystem::path startupFolder, Prompter& prompter, bool instrumentFound);

    // "Corvane version %s".
    [[nodiscard]] std::string title() const;
    [[nodiscard]] std::string prompt() const;
    // Fills the name list from the "Users" folder, creating the folder when
    // it is missing.
    void loadNames();
    [[nodiscard]] const std::vector<std::string>& names() const { return names_; }
    // The name the page offers typed in: the user of the last start
    // ("lastuser"), when that is a name OK would take; else empty.
    [[nodiscard]] std::string lastUser() const;

    // OK with this name typed: refused, with the reason shown, when it
    // cannot be a user's folder name (it becomes one on the USER page).
    [[nodiscard]] bool accept(const std::string& typedName);
    // The name taken by the last accepted OK.
    [[nodiscard]] const std::string& userName() const { return userName_; }

    // Closing the window: true when the operator confirms the exit.
    [[nodiscard]] bool confirmExit();

private:
    std::filesystem::path startup_;
    Prompter& prompter_;
    bool instrumentFound_;
    std::vector<std::string> names_;
    std::string userName_;
};

}  // namespace corvane
