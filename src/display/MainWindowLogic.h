#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "display/Channels.h"
#include "display/DataFiles.h"
#include "display/GraphReading.h"
#include "display/InstrumentStatus.h"
#include "display/LiveFeed.h"
#include "display/PortChoice.h"
#include "display/RecordKeys.h"
#include "display/WindowPreferences.h"
#include "display/WindowSetupHost.h"

namespace corvane {

class Clock;
class DialogFolders;
class InstrumentSession;
class LinkHost;
class LiveGraph;
class Prompter;
class RecordingCommands;
class WindowPoster;

// "rotors.txt" volumes (section "Volumes").
struct RotorVolumes {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double dPerMm = 0.0;
};

// The main window (CMainDlg) without any window system: its pieces, each
// with one job, and the few commands that need more than one of them. The
// window binds its controls to the pieces; tests drive them directly.
//
//   feed()       the live samples the receive thread leaves (LiveFeed)
//   graph()      the graph and what reads it (GraphReading):
//   view()       what the graph shows and its axes (GraphView)
//   prefs()      what the window keeps in "prefs.cfg" (WindowPreferences)
//   files()      open, close, rescue, save as, check lists (DataFiles)
//   keys()       record buttons and keys (RecordKeys)
//   ports()      the port list and its reconnect (PortChoice)
//   status()     status lines and caption (InstrumentStatus)
//   setupHost()  the window as the setup pages see it (WindowSetupHost)
//   cursors()    the graph's cursors (GraphCursors)
//   overlays()   overlay, standard run and alignment (GraphOverlays)
//   mouse()      the mouse on the graph and the arrow keys (GraphMouse)
//
// Threads: the window's thread, except feed() (the receive thread adds to
// it) and status().showPositionAndSpeed (a device job).
class MainWindowLogic {
public:
    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        // Where the file dialogs start, shared with the recording.
        DialogFolders& folders;
        Clock& clock;
        WindowPoster& window;  // the window itself: Readouts, LiveData, RedrawGraph
        LiveGraph& graph;
        // A device job waits or runs (the command keys wait meanwhile).
        std::function<bool()> busy;
        // The slot whose colour is under a pixel of the plot (-1: none).
        std::function<int(PixelPoint)> hitTest = {};
        // What the setup pages reach beyond the logic: the link's host and
        // the recording's target of the auto-mode move (none before the
        // instruments are attached), whether a Kelvo unit answers, and the
        // window itself, shown with its graph in front or hidden for a page.
        std::function<LinkHost*()> link = {};
        std::function<void(double)> setTargetPosition = {};
        std::function<bool()> kelvoUnit = {};
        std::function<void()> raiseWindow = {};
        std::function<void()> hideWindow = {};
    };

    // Reads the volumes of "rotors.txt" and makes sure TEMP exists, as the
    // window's construction does.
    explicit MainWindowLogic(Env env);
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    [[nodiscard]] LiveFeed& feed() { return feed_; }
    [[nodiscard]] GraphReading& graph() { return graph_; }
    [[nodiscard]] GraphView& view() { return graph_.view(); }
    [[nodiscard]] const GraphView& view() const { return graph_.view(); }
    [[nodiscard]] WindowPreferences& prefs() { return prefs_; }
    [[nodiscard]] DataFiles& files() { return files_; }
    [[nodiscard]] RecordKeys& keys() { return keys_; }
    [[nodiscard]] PortChoice& ports() { return ports_; }
    [[nodiscard]] InstrumentStatus& status() { return status_; }
    [[nodiscard]] const InstrumentStatus& status() const { return status_; }
    [[nodiscard]] WindowSetupHost& setupHost() { return setupHost_; }
    // The next run's description: the setup pages fill it, the recording
    // controller reads it when a run starts.
    [[nodiscard]] const NextRun& nextRun() const { return next_; }
    [[nodiscard]] GraphCursors& cursors() { return graph_.cursors(); }
    [[nodiscard]] const GraphCursors& cursors() const { return graph_.cursors(); }
    [[nodiscard]] GraphOverlays& overlays() { return graph_.overlays(); }
    [[nodiscard]] GraphMouse& mouse() { return graph_.mouse(); }

    // The recording controller and the instrument session as the window's
    // commands reach them (their queued fronts); null unbinds.
    void bind(RecordingCommands* recording, InstrumentSession* session);
    [[nodiscard]] bool recordingBound() const { return recording_ != nullptr; }
    [[nodiscard]] bool sessionBound() const { return session_ != nullptr; }

    // --- Preferences ---
    // False, with Preferences::kMissingMessage, when the settings file is
    // missing or empty: the defaults stay. The port list is set first.
    bool loadPreferences();
    bool savePreferences();
    [[nodiscard]] const std::string& userName() const { return userName_; }
    // View > "Axis Labels" as loaded ("axislabels").
    [[nodiscard]] bool axisLabels() const { return axisLabels_; }
    // Graph Options' "Stop recording at the end of the scan" ("stopatscanend").
    [[nodiscard]] bool stopAtScanEnd() const { return stopAtScanEnd_; }
    void setStopAtScanEnd(bool on);
    // View > "Legend" as loaded ("legend").
    [[nodiscard]] bool legendShown() const { return legend_; }

    // --- Commands that reach more than one piece ---
    // A channel check box: the trace and its readout, saved at once.
    void setChannelShown(int channel, bool shown);
    // "Show Event Marks" / "Do Not Show Event Marks", saved at once.
    void setEventMarksShown(bool shown);
    // An AUFS radio button: the change line of a recording DE-1 run, the
    // range of the DE-1 trace, "aufs" in the settings.
    void setAufs(int step);
    // A typed window width or a spin click on its box, saved at once.
    void windowSizeEdited(bool mm, std::string_view text);
    void windowSizeSpin(bool mm, bool up);
    // Rebuilds the graph from the data on show and repaints it whole.
    void refreshGraph();
    // DE-1 SETUP's graph axes, as its window stored them: x "Time (sec)",
    // "Time (min)" or "Volume (ml)" (GraphSetupPage's order), y "0.0-1.0 V"
    // or an OD. The graph takes them: x in seconds, minutes or ml, DE-1
    // data in volts or absorbance.
    void graphAxesChosen(int xAxis, int yAxis);
    // The data on show is DE-1 data (a DE-1 source, else the file shown).
    [[nodiscard]] bool de1Mode() const;

    // --- What the window shows ---
    [[nodiscard]] std::string caption() const;
    // The latest sample's values, or with cursors the main cursor's sample.
    [[nodiscard]] std::array<std::string, kChannelCount> readoutTexts() const;
    // "Recorded %d samples": the recording's count (none without one).
    [[nodiscard]] std::string recordedText() const;
    [[nodiscard]] RotorVolumes volumes() const { return volumes_; }

    // --- Messages from the workers ---
    // UserMsg::LinkLost: stop as the record button does.
    void onLinkLost();
    // UserMsg::ReceiveEnded: the link thread ended.
    void onReceiveEnded();
    // The piston of the run recording stopped at the end of its scan
    // distance: the status line says so. True when the run is to stop as
    // STOP RECORD stops it (the option is on); off, it records until STOP.
    [[nodiscard]] bool scanEnded(double travelledMm);

private:
    void readVolumes();
    // The standard run on the graph changed: its plan goes to the runs.
    void standardRunChanged(bool shown);

    Env env_;
    RecordingCommands* recording_ = nullptr;
    InstrumentSession* session_ = nullptr;
    LiveFeed feed_;
    GraphReading graph_;
    WindowPreferences prefs_;
    DataFiles files_;
    RecordKeys keys_;
    PortChoice ports_;
    InstrumentStatus status_;
    NextRun next_;
    WindowSetupHost setupHost_;
    RotorVolumes volumes_;
    std::string userName_;
    bool axisLabels_ = true;
    bool stopAtScanEnd_ = true;
    bool legend_ = true;
};

}  // namespace corvane
