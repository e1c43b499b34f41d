#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "app/Preferences.h"

namespace corvane {

class Prompter;

// The folders the file dialogs start in, for the whole program: the window's
// Open and Save dialogs and the recording's save question ask the same
// object, so a folder chosen in one is where the next starts.
//
// The folders live in the settings (see Preferences::folder). A folder whose
// name the settings cannot hold (a "[" in it) is kept for this session only,
// and the user is told so once.
//
// Thread-safe: the recording's questions run on a worker thread.
class DialogFolders {
public:
    static constexpr const char* kNotRememberedMessage =
        "The folder %s cannot be kept in the settings, because its name holds a \"[\". It is "
        "used until the program ends; choose another folder to have it remembered.";

    DialogFolders(std::filesystem::path startupFolder, Prompter& prompter);

    [[nodiscard]] std::string folder(DialogFolder which) const;
    // A dialog chose this folder (or file, for DialogFolder::OverlayPlanFile).
    void remember(DialogFolder which, const std::string& folder);

private:
    const std::filesystem::path startup_;
    Prompter& prompter_;
    mutable std::mutex mutex_;
    std::map<DialogFolder, std::string> sessionOnly_;
    bool told_ = false;
};

}  // namespace corvane
