#include "display/DataFiles.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/DialogFolders.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "app/WindowPoster.h"
#include "base/TextFormat.h"
#include "display/GraphView.h"
#include "display/RunFileScene.h"
#include "display/TableColumnChoice.h"
#include "display/WindowPreferences.h"
#include "recording/RecordingCommands.h"
#include "compare/CompareSets.h"
#include "runs/ProfileFile.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"
#include "runs/TempFolder.h"

namespace corvane {

namespace {

[[nodiscard]] RunFolders runFolders(const std::filesystem::path& startup) {
    return RunFolders{startup, UserStore(startup).tempFolder()};
}

}  // namespace

DataFiles::DataFiles(Env env) : env_(std::move(env)) {
    TempFolder temp(runFolders(env_.startupFolder), env_.prompter);
    // A temporary run of an older version that cannot be moved stays where it
    // is and is tried again at the next start; the window opens regardless.
    (void)temp.prepare();
}

bool DataFiles::openDataFile() {
    FileDialogRequest request;
    request.title = "Open Data File";
    // Beside our runs, profiles of other instruments (the filter names them).
    request.filter = kRunOrProfileFilter;
    request.defaultExtension = "csv";
    request.initialFolder = env_.folders.folder(DialogFolder::Data);
    const auto chosen = env_.prompter.openFile(request);
    if (!chosen) {
        return false;
    }
    const std::filesystem::path path(*chosen);
    if (!showDataFile(path)) {
        return false;
    }
    env_.folders.remember(DialogFolder::Data, path.parent_path().string());
    return true;
}

bool DataFiles::showDataFile(const std::filesystem::path& path) {
    const auto reading = askTableColumns(env_.prompter, path);
    if (!reading) {
        return false;
    }
    RunDataFile file;
    if (const std::string why = readRunForViewing(path, file, *reading); !why.empty()) {
        if (why == kNoSuchFile || why == kCannotRead) {
            env_.prompter.message(formatText("Error, unable to open file: %s", path.string().c_str()));
            return false;
        }
        std::string message = formatText("Invalid data header found in file: %s", path.string().c_str());
        // A file that is no profile of another instrument either says why.
        if (why != kRunWithoutColumnHeader) {
            message += "; " + visibleText(why);
        }
        env_.prompter.message(message);
        return false;
    }
    env_.view.showFile(std::move(file), path);
    env_.window.post(UserMsg::RedrawGraph);
    return true;
}

void DataFiles::closeDataFile() {
    if (recording_ != nullptr && recording_->isRecording()) {
        recording_->stopRecording();
    }
    env_.view.closeFile(env_.prefs.storedWindowSamples());
}

int DataFiles::openDataSets() const { return env_.view.fileScene() != nullptr ? 1 : 0; }

std::string DataFiles::closeDataMenuText() const {
    switch (openDataSets()) {
        case 0: return "&Close Data File";
        case 1: return "Close File";
        default: return "Close Files";
    }
}

bool DataFiles::lostDataPresent() const {
    const TempFolder temp(runFolders(env_.startupFolder), env_.prompter);
    return temp.hasLostData();
}

void DataFiles::rescueLostData() {
    TempFolder temp(runFolders(env_.startupFolder), env_.prompter);
    if (const auto saved = temp.rescueLostData(env_.folders.folder(DialogFolder::Data))) {
        env_.folders.remember(DialogFolder::Data, saved->parent_path().string());
    }
}

void DataFiles::saveGraphDataAs() {
    const RunFileScene* scene = env_.view.fileScene();
    const std::filesystem::path shown = scene != nullptr ? scene->path() : std::filesystem::path{};
    if (shown.empty()) {
        env_.prompter.message("Error, file data does not exist.");
        return;
    }
    if (const Profile* profile = scene->file().profile()) {
        env_.prompter.message(profileRefusalMessage(shown, *profile, "Save Graph Data As"));
        return;
    }
    std::ifstream in(shown, std::ios::binary);
    if (!in) {
        env_.prompter.message("Error, cannot get file data.");
        return;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto tempFolder = UserStore(env_.startupFolder).tempFolder();
    std::error_code ec;
    std::filesystem::create_directories(tempFolder, ec);
    // Created, never opened over a file: another program may be saving its
    // own copy in the same TEMP folder.
    auto [scratch, out] = createNumberedFile(tempFolder / "temp_temp_data.csv", "wb");
    if (!out) {
        env_.prompter.message("Error, unable to open new temporary file.");
        return;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size() &&
                         std::fflush(out.get()) == 0;
    out.reset();
    if (!written) {
        std::filesystem::remove(scratch, ec);
        env_.prompter.message("Error, unable to open new temporary file.");
        return;
    }
    TempFolder temp(RunFolders{env_.startupFolder, tempFolder}, env_.prompter);
    if (const auto saved = temp.saveCopy(scratch, "Save Graph Data As", false,
                                         env_.folders.folder(DialogFolder::Data))) {
        env_.folders.remember(DialogFolder::Data, saved->parent_path().string());
    } else {
        std::error_code ec;
        std::filesystem::remove(scratch, ec);
    }
}

std::optional<std::filesystem::path> DataFiles::checklistFile(bool detailed) const {
    const auto path =
        env_.startupFolder / (detailed ? "detailed_checklist.txt" : "short_checklist.txt");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        env_.prompter.message(formatText("Error, could not find file: %s", path.string().c_str()));
        return std::nullopt;
    }
    return path;
}

}  // namespace corvane
