#include "app/DialogFolders.h"

#include "app/Prompter.h"
#include "base/TextFormat.h"

namespace corvane {

DialogFolders::DialogFolders(std::filesystem::path startupFolder, Prompter& prompter)
    : startup_(std::move(startupFolder)), prompter_(prompter) {}

std::string DialogFolders::folder(DialogFolder which) const {
    {
        const std::scoped_lock lock(mutex_);
        if (const auto kept = sessionOnly_.find(which); kept != sessionOnly_.end()) {
            return kept->second;
        }
    }
    return Preferences(startup_).folder(which);
}

void DialogFolders::remember(DialogFolder which, const std::string& folder) {
    bool stored = false;
    {
        Preferences prefs(startup_);
        stored = prefs.rememberFolder(which, folder);
    }
    bool tell = false;
    {
        const std::scoped_lock lock(mutex_);
        if (stored) {
            sessionOnly_.erase(which);
        } else {
            sessionOnly_[which] = folder;
            tell = !told_;
            told_ = true;
        }
    }
    // Asked outside the lock: the answer may take as long as the user likes.
    if (tell) {
        prompter_.message(formatText(kNotRememberedMessage, folder.c_str()));
    }
}

}  // namespace corvane
