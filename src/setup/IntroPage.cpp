#include "setup/IntroPage.h"

#include <system_error>

#include "app/NameCheck.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "app/Version.h"
#include "base/TextFormat.h"
#include "setup/UserNames.h"

namespace corvane {

IntroPage::IntroPage(std::filesystem::path startupFolder, Prompter& prompter, bool instrumentFound)
    : startup_(std::move(startupFolder)), prompter_(prompter), instrumentFound_(instrumentFound) {}

std::string IntroPage::title() const { return formatText("Corvane version %s", kVersionText); }

std::string IntroPage::prompt() const { return instrumentFound_ ? kFoundPrompt : kPlainPrompt; }

void IntroPage::loadNames() {
    const auto users = UserStore(startup_).usersFolder();
    std::error_code ec;
    // A folder that cannot be made leaves the list empty; the typed name
    // still works, and the USER page reports the folder.
    std::filesystem::create_directories(users, ec);
    names_ = userNamesIn(users);
}

std::string IntroPage::lastUser() const {
    std::string name = Preferences(startup_).lastUser();
    return folderNameProblem(name).empty() ? name : std::string{};
}

bool IntroPage::accept(const std::string& typedName) {
    const std::string problem = folderNameProblem(typedName);
    if (!problem.empty()) {
        prompter_.message(problem);
        return false;
    }
    userName_ = typedName;
    return true;
}

bool IntroPage::confirmExit() { return prompter_.askYesNo(kExitQuestion); }

}  // namespace corvane
