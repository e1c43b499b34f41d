#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvane {

class DialogFolders;
class GraphView;
class Prompter;
class RecordingCommands;
class WindowPoster;
class WindowPreferences;

// The window's file commands: "&Open Data File", "&Close Data File",
// "&Rescue Lost Data", "Save &Graph Data As..." and the check list files.
// The dialogs start in the folders DialogFolders keeps (shared with the
// recording's save question) and remember the folder chosen.
//
// Threads: the window's thread.
class DataFiles {
public:
    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        DialogFolders& folders;
        WindowPoster& window;  // RedrawGraph after a file is shown
        GraphView& view;
        WindowPreferences& prefs;
    };

    // Makes sure TEMP exists, moving older temporary runs into it, as the
    // window's construction does.
    explicit DataFiles(Env env);

    // The recording, stopped before a file is closed; null unbinds.
    void bind(RecordingCommands* recording) { recording_ = recording; }

    // "&Open Data File": dialog, read, show. False when cancelled or failed.
    bool openDataFile();
    // Reads and shows a run file without the dialog; a plain table of more
    // than two columns is asked its columns first (cancelled: false).
    bool showDataFile(const std::filesystem::path& path);
    // "&Close Data File": a recording stops first; the live run comes back
    // with its sample window as stored.
    void closeDataFile();
    [[nodiscard]] int openDataSets() const;
    // "&Close Data File", "Close File" or "Close Files".
    [[nodiscard]] std::string closeDataMenuText() const;
    // "&Rescue Lost Data" is enabled only while TEMP holds a "*.csv".
    [[nodiscard]] bool lostDataPresent() const;
    void rescueLostData();
    // "Save &Graph Data As...": a copy of the data set on show.
    void saveGraphDataAs();
    // The check list file to open ("detailed_checklist.txt" or
    // "short_checklist.txt" in the start-up folder); nothing, after "Error,
    // could not find file: %s", when it is missing.
    [[nodiscard]] std::optional<std::filesystem::path> checklistFile(bool detailed) const;

private:
    Env env_;
    RecordingCommands* recording_ = nullptr;
};

}  // namespace corvane
