#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graph/AxisScaling.h"
#include "link/Packets.h"
#include "runs/SampleRecord.h"
#include "desktop/LiveSamples.h"
#include "desktop/LiveGraph.h"
#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"
#include "runs/RunDataFile.h"

namespace corvane {

class Clock;
class DialogFolders;
class GraphModel;
class Prompter;
class WindowPoster;

// The seven channel switches, in trace-slot order.
inline constexpr int kChannelCount = 7;
enum Channel : int {
    kChannelSampleA = 0,
    kChannelSourceA = 1,
    kChannelAbsA = 2,
    kChannelSampleB = 3,
    kChannelSourceB = 4,
    kChannelAbsB = 5,
    kChannelRatio = 6,
};

enum class XAxisType : int { SampleNumber = 0, Millimetres = 1 };

// The four axis boxes with spins beside the graph.
enum class AxisBox { YMax, YMin, YYMax, YYMin };

// The keys the window handles before dialog navigation.
enum class WindowKey { F1, F2, F3, F4, F5, F6, Left, Right, Up, Down, CtrlD, Other };

// What the window does with a key after the logic has seen it.
enum class KeyOutcome {
    PassOn,            // normal handling (dialog navigation, the focused control)
    Handled,           // done, or swallowed
    OpenDebugWindows,  // Ctrl+D with a link
    ChecklistUp,
    ChecklistDown,
};

// One turn of the close request.
enum class CloseStep {
    Stay,         // the window stays open
    RepostClose,  // the receive thread still runs: post the close request again
    Close,        // close the window now
};

// "rotors.txt" volumes (section "Volumes").
struct RotorVolumes {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double dPerMm = 0.0;
};

// The texts beside the graph's axes.
struct AxisTexts {
    std::string yMax;
    std::string yMin;
    std::string yyMax;
    std::string yyMin;
    std::string windowMm;       // "%.2f"
    std::string windowSamples;  // "%.0f"
};

// The instrument status lines; an empty text hides its field.
struct StatusTexts {
    std::string positionSpeed;  // "Position %.2f mm  Speed %.2f mm/sec"
    std::string upperLimit;     // "Upper Limit Switch: Contact" / "... No Contact"
    std::string samplingRate;   // "A/D Sampling Rate: %.1f Hz"
    std::string dutyCycle;      // "Duty Cycle: %d:%d"
    std::string potValue;       // "pot pC Value: %d"
};

// The state and decisions of the main window (CMainDlg), free of any window
// system: which traces are shown, the axes, the live ring buffers and what
// the graph shows of them, the preferences, the status texts, the key
// handling and the closing sequence. The window binds its controls to it;
// tests drive it directly.
//
// Threads: onSample() and clearTraces() may be called from the receive
// thread; everything else runs on the window's thread. One lock guards the
// ring and the view state; it is never held while the user is asked
// anything or while a bound controller is called.
class MainWindowLogic {
public:
    static constexpr std::int64_t kReadoutIntervalMs = 500;
    static constexpr int kDefaultBaudRate = 57600;
    static constexpr int kInterByteDelayMs = 2;
    static constexpr double kDefaultSampleWindow = 500.0;
    static constexpr int kMaxAutoWidth = 25000;

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        // Where the file dialogs start, shared with the recording.
        DialogFolders& folders;
        Clock& clock;
        WindowPoster& window;  // the window itself: Readouts and RedrawGraph
        LiveGraph& graph;
    };

    // Reads the volumes of "rotors.txt" and makes sure TEMP exists (moving
    // older temporary runs into it), as the window's construction does.
    explicit MainWindowLogic(Env env);
    ~MainWindowLogic();
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // The pieces other parts of the program provide; null unbinds.
    void bindRecording(RecordingCommands* recording) { recording_ = recording; }
    void bindSession(InstrumentSession* session) { session_ = session; }
    [[nodiscard]] bool recordingBound() const { return recording_ != nullptr; }
    [[nodiscard]] bool sessionBound() const { return session_ != nullptr; }

    // --- Caption and first show ---
    // Appended to the caption so a simulated instrument is never taken for
    // the real one.
    void setCaptionSuffix(std::string suffix) { captionSuffix_ = std::move(suffix); }
    // "Corvane version %s", or the heartbeat counts while the debug display
    // is on and no data file is shown.
    [[nodiscard]] std::string caption() const;
    // The port list found by enumeration; the entry of the known port is
    // selected, else the first, whose number becomes the port.
    void setPorts(std::vector<int> ports);
    [[nodiscard]] const std::vector<int>& ports() const { return ports_; }
    [[nodiscard]] std::vector<std::string> portEntries() const;
    [[nodiscard]] int portSelection() const { return portSelection_; }
    [[nodiscard]] int comPort() const { return comPort_; }
    // The operator chose another entry; true when the port changed (the
    // window then reconnects).
    bool choosePort(int index);
    // Without a port number: "Please choose a serial COM port." with ports
    // listed, "No serial COM ports available!" without; empty with a port.
    [[nodiscard]] std::string missingPortMessage() const;
    // Connects when a port is known, a session is bound and the link does
    // not run yet. True when it asked the session to connect.
    bool connectIfPossible();

    // --- Preferences ---
    // False, with Preferences::kMissingMessage, when the settings file is
    // missing or empty: the defaults stay.
    bool loadPreferences();
    bool savePreferences();
    [[nodiscard]] int baudRate() const { return baudRate_; }
    [[nodiscard]] int interByteDelayMs() const { return interByteDelayMs_; }
    [[nodiscard]] const std::string& userName() const { return userName_; }

    // --- Channels and readouts ---
    [[nodiscard]] static const char* channelPrefsKey(int channel);
    // "Sample A" ... "AbsA/AbsB"; DE-1 data names Abs A "Voltage" and the
    // ratio "Mark".
    [[nodiscard]] std::string channelCaption(int channel) const;
    [[nodiscard]] bool channelShown(int channel) const;
    // A check box: shows or hides the trace and its readout, saves the
    // preferences and redraws.
    void setChannelShown(int channel, bool shown);
    // The latest sample's readouts: "%.0f" counts, "%.6f" absorbance, "%.1f"
    // ratio; empty before the first sample.
    [[nodiscard]] std::array<std::string, kChannelCount> readoutTexts() const;
    // "Recorded %d samples".
    [[nodiscard]] std::string recordedText() const;
    [[nodiscard]] std::optional<SampleRecord> latestSample() const;
    [[nodiscard]] RotorVolumes volumes() const { return volumes_; }

    // --- The sample handler and the display interface of the recording ---
    // A new sample from the receive thread: kept as the latest, stored in the
    // ring, added to the graph, and at most every 500 ms a Readouts message
    // to the window. Skipped while the display is paused.
    void onSample(const SampleRecord& record);
    // The traces of the current run are cleared (REFRESH, start of a run).
    void clearTraces();
    void setDisplayPaused(bool paused);
    // Samples held in the ring; samples since the last clear.
    [[nodiscard]] int storedSamples() const;
    [[nodiscard]] std::int64_t totalSamples() const;
    // The sample numbers held, oldest first (for tests and the graph).
    [[nodiscard]] std::vector<std::int64_t> storedNumbers() const;

    // --- The graph's view ---
    // Rebuilds the trace slots from the data on show (live or loaded), runs
    // the auto-scales that are on and repaints.
    void refreshGraph();
    [[nodiscard]] XAxisType xAxisType() const;
    void setXAxisType(XAxisType type);
    [[nodiscard]] bool yAutoScale() const;
    [[nodiscard]] bool yyAutoScale() const;
    void setYAutoScale(bool on);
    void setYYAutoScale(bool on);
    [[nodiscard]] bool showGrid() const;
    void setShowGrid(bool on);
    [[nodiscard]] AxisRange yRange() const;
    [[nodiscard]] AxisRange yyRange() const;
    [[nodiscard]] AxisRange xRange() const;
    [[nodiscard]] AxisTexts axisTexts() const;
    // A typed limit ("%lf"); an unreadable text changes nothing.
    void axisTextEdited(AxisBox box, std::string_view text);
    // One spin click: the box's text moved by a quarter of its axis range.
    void axisSpin(AxisBox box, std::string_view text, bool up);
    // A typed window width (mm or samples); saved at once.
    void windowSizeEdited(bool mm, std::string_view text);
    // A spin click on a window box: the width doubles (up) or halves.
    void windowSizeSpin(bool mm, bool up);
    [[nodiscard]] double windowMm() const;
    [[nodiscard]] double windowSamples() const;
    // The Y controls hide when no Y channel is on; the YY controls show only
    // with the ratio on and data that is not DE-1.
    [[nodiscard]] bool yControlsVisible() const;
    [[nodiscard]] bool yyControlsVisible() const;

    // --- AUFS and event marks (DE-1) ---
    [[nodiscard]] int aufsIndex() const;
    // A radio button under "Absorbance Units Full Scale (AUFS)".
    void setAufs(int step);
    // "0.01" ... "1.00", "2.00".
    [[nodiscard]] std::string aufsLabel() const;
    [[nodiscard]] bool eventMarksShown() const;
    void setEventMarksShown(bool shown);
    // The data on show is DE-1 data (a DE-1 source, else the open data set).
    [[nodiscard]] bool de1Mode() const;

    // --- Files ---
    // "&Open Data File": dialog, read, show. False when cancelled or failed.
    bool openDataFile();
    // Reads and shows a run file without the dialog.
    bool showDataFile(const std::filesystem::path& path);
    // "&Close Data File".
    void closeDataFile();
    [[nodiscard]] bool dataFileShown() const;
    [[nodiscard]] int openDataSets() const;
    // "&Close Data File", "Close File" or "Close Files".
    [[nodiscard]] std::string closeDataMenuText() const;
    [[nodiscard]] const std::filesystem::path& shownFile() const { return shownPath_; }
    // "&Rescue Lost Data" is enabled only while TEMP holds a "*.csv".
    [[nodiscard]] bool lostDataPresent() const;
    void rescueLostData();
    // "Save &Graph Data As...": a copy of the data set on show.
    void saveGraphDataAs();
    // The check list file to open ("detailed_checklist.txt" or
    // "short_checklist.txt" in the start-up folder); nothing, after "Error,
    // could not find file: %s", when it is missing.
    [[nodiscard]] std::optional<std::filesystem::path> checklistFile(bool detailed);

    // --- Record buttons ---
    [[nodiscard]] std::string recordCaption() const;
    [[nodiscard]] std::string pauseCaption() const;
    [[nodiscard]] bool pauseEnabled() const;
    void startStop();
    void zero();
    void pauseResume();
    // REFRESH (F4): the controller's refresh, or the traces alone without one.
    void refresh();
    void goToUpperLimit();
    [[nodiscard]] bool isRecording() const;

    // --- Keys ---
    // The key-down of a key; autoRepeat is set for the repeats of a key held down.
    KeyOutcome keyDown(WindowKey key, bool autoRepeat);
    void setChecklistOpen(bool open) { checklistOpen_ = open; }

    // --- Messages from the workers ---
    // UserMsg::LinkStats: the heartbeat counts and the unit's state.
    void onLinkStats(std::int32_t heartbeatsReceived, std::int32_t heartbeatsTransmitted,
                     std::uint8_t upperLimitFlag, const std::optional<Cmd0>& lastCmd0);
    // The "Position %.2f mm  Speed %.2f mm/sec" line, also from the link's
    // upper-limit move.
    void showPositionAndSpeed(double positionMm, double speedMmPerS);
    // UserMsg::LinkLost: stop as the record button does.
    void onLinkLost();
    // UserMsg::ReceiveEnded: the link thread ended.
    void onReceiveEnded();
    [[nodiscard]] StatusTexts statusTexts() const;
    // A packet debug window is open.
    void setDebugDisplayOn(bool on) { debugDisplayOn_ = on; }

    // --- Closing ---
    // One turn of the close request. destroyModeless is called before the
    // link is stopped.
    CloseStep closeRequested(const std::function<void()>& destroyModeless = {});
    // "E&xit": true when the window should start closing. The exit question
    // is asked here when a link is active, and not again by the close.
    bool exitCommand();
    // The operator confirmed the exit elsewhere (the INTRO page): the close
    // does not ask again.
    void setExitConfirmed() { exitConfirmed_ = true; }
    // The compare page closes the program without the exit question.
    void setCloseWithoutQuestion(bool on) { closeWithoutQuestion_ = on; }

private:
    void readVolumes();
    void buildLiveLocked(GraphModel& model);
    void buildLoadedLocked(GraphModel& model);
    // The Y (and, for the ratio slot, YY) values of the points inside the x
    // range, for auto-scale.
    void scanShownLocked(AutoScaleRange& yScan, AutoScaleRange& yyScan, bool skipRatio) const;
    // The Y and YY ranges (auto-scaled where switched on), the x range and the grid.
    void applyAxesLocked(GraphModel& model, const AutoScaleRange& yScan,
                         const AutoScaleRange& yyScan);
    [[nodiscard]] bool de1ModeLocked() const;
    [[nodiscard]] bool anyYChannelLocked() const;
    void fitXToFileLocked();
    [[nodiscard]] std::string windowMmTextLocked() const;
    [[nodiscard]] std::string windowSamplesTextLocked() const;
    void saveWindowPref(bool mm);
    void setAxisLimit(AxisBox box, double value);

    Env env_;
    RecordingCommands* recording_ = nullptr;
    InstrumentSession* session_ = nullptr;
    std::string captionSuffix_;

    std::vector<int> ports_;
    int portSelection_ = -1;
    int comPort_ = 0;
    int baudRate_ = kDefaultBaudRate;
    int interByteDelayMs_ = kInterByteDelayMs;
    std::string userName_;
    std::array<int, 4> multiColours_{};
    int multiDataType_ = 0;
    RotorVolumes volumes_;

    // Guards everything below: the receive thread feeds the ring and the
    // graph while the window changes the view.
    mutable std::mutex mutex_;
    LiveSamples live_;
    std::optional<SampleRecord> latest_;
    bool displayPaused_ = false;
    std::int64_t lastReadoutPostMs_ = 0;
    bool readoutPosted_ = false;
    std::array<bool, kChannelCount> shown_{};
    XAxisType xAxisType_ = XAxisType::SampleNumber;
    double xMin_ = 0.0;
    double xMax_ = kDefaultSampleWindow;
    double yMin_ = 0.0;
    double yMax_ = 2.0;
    double yyMin_ = 0.0;
    double yyMax_ = 2.0;
    bool xAutoScale_ = false;
    bool yAutoScale_ = false;
    bool yyAutoScale_ = false;
    bool yAutoScaled_ = false;  // the Y limits come from the last auto-scale
    bool logScale_ = false;
    bool showGrid_ = false;
    int xAutoWidth_ = kMaxAutoWidth;
    double windowSamples_ = kDefaultSampleWindow;
    double windowMm_ = 100.0;
    int aufsIndex_ = 0;
    bool eventMarksShown_ = true;
    std::optional<RunDataFile> file_;
    bool de1Source_ = false;      // cached from the session on the window's thread
    bool recordingShown_ = false;  // cached from the controller on the window's thread
    // Scratch arrays of the graph build, reused from sample to sample.
    std::array<std::vector<double>, kChannelCount> xs_;
    std::array<std::vector<double>, kChannelCount> ys_;
    std::filesystem::path shownPath_;

    StatusTexts status_;
    std::int32_t heartbeatsReceived_ = 0;
    std::int32_t heartbeatsTransmitted_ = 0;
    bool debugDisplayOn_ = false;
    bool checklistOpen_ = false;

    bool closeWithoutQuestion_ = false;
    bool exitConfirmed_ = false;
    bool linkWasActive_ = false;
};

}  // namespace corvane
