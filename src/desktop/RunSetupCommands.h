#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runs/Em1Settings.h"

namespace corvane {

class DialogFolders;
class PageDispatcher;
class Prompter;
class WindowSetupHost;

// "START MODE: ..." and the lines under it that the window shows in DE-1
// mode.
[[nodiscard]] std::string de1StartModeText(const Em1Settings& settings);
[[nodiscard]] std::string de1SummaryText(const Em1Settings& settings, int fractionationKind);

// What a check list item shown asks of the window: a setup item while the
// window is hidden refreshes the DE-1 SETUP page (when it is up); any other
// item while that page is not up brings the graph.
enum class ChecklistFollow { Nothing, RefreshDe1Page, ShowGraph };
[[nodiscard]] ChecklistFollow checklistFollow(bool setupItem, bool windowHidden, bool de1PageShown);

// The main window's commands that lead into the setup pages or use what they
// set: "Go to User Page", "NEW RUN?", the Scan Setup command (menu, F6,
// "Open Scan Setup (F6)"), "Save &Buffered Data".
//
// Threads: the window's thread.
class RunSetupCommands {
public:
    static constexpr const char* kAnotherRun = "Another identical run?";
    static constexpr const char* kIdenticalRun = "Do you want to do another identical run?";
    static constexpr const char* kSameSettings = "Do you wish to use the same run settings?";
    static constexpr const char* kBufferedTitle = "Save Buffered Data As...";
    static constexpr const char* kCsvFilter = "CSV Text Files (*.csv)|*.csv|All Files (*.*)|*.*||";

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        DialogFolders& folders;
        PageDispatcher& pages;
        WindowSetupHost& host;
        // The run-name page: the name given, nothing when it was closed.
        std::function<std::optional<std::string>()> askRunName;
        // The recording controller's run name.
        std::function<void(const std::string&)> setRunName;
        // Clears the overlays, the graph and the live traces.
        std::function<void()> clearGraph;
        // The DE-1 values held by the live display, oldest first.
        std::function<std::vector<double>()> bufferedAbsorbances;
        // A recording has been started since the program started.
        std::function<bool()> recordedSinceStart;
        // The DE-1 writer lets the last run go: the description its pages
        // named and the offset of its marks (NEW RUN? in DE-1 mode).
        std::function<void()> resetDe1Writer{};
    };

    explicit RunSetupCommands(Env env);

    void goToUserPage();
    // "NEW RUN?": the overlay, the graph and the live traces cleared, in
    // DE-1 mode the DE-1 writer reset, the run name cleared, then "Another
    // identical run?"; No opens the USER page, Yes in DE-1 mode names the run.
    void newRun();
    // The Scan Setup command: the DE-1 SETUP page in DE-1 mode; otherwise
    // the identical-run question leads to the SCANNING SETUP beside the
    // graph (Yes) or to the chain of setup pages (No).
    void scanSetup();
    [[nodiscard]] bool scanSetupAvailable() const;
    // "Save &Buffered Data": the DE-1 values held, with the run's header.
    void saveBufferedData();
    // The DE-1 settings the window shows and a buffered file's header
    // carries: the pages' own, else those of "prefs.cfg".
    [[nodiscard]] Em1Settings de1Settings() const;

private:
    Env env_;
};

}  // namespace corvane
