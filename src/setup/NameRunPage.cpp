#include "setup/NameRunPage.h"

#include "app/Preferences.h"
#include "app/Prompter.h"
#include "runs/TempFolder.h"
#include "setup/UserFile.h"

namespace corvane {

NameRunPage::NameRunPage(std::filesystem::path startupFolder, Prompter& prompter)
    : startup_(std::move(startupFolder)), prompter_(prompter) {}

std::string NameRunPage::offeredName() const { return Preferences(startup_).lastScanName(); }

std::optional<std::string> NameRunPage::accept(const std::string& text) {
    const TempFolder temp({startup_, startup_ / "TEMP"}, prompter_);
    if (const auto problem = temp.runNameProblem(text); !problem.empty()) {
        prompter_.message(problem);
        return std::nullopt;
    }
    Preferences prefs(startup_);
    if (prefs.userStore() != nullptr && !prefs.setLastScanName(text)) {
        prompter_.message(refusedTextMessage("run name", text));
        return std::nullopt;
    }
    return text;
}

}  // namespace corvane
