#pragma once

// The recording side of the main window: START RECORD / STOP RECORD, PAUSE,
// ZERO and REFRESH, the temporary run file and the question whether to keep
// the run, the two channel factors, and the window's sample handler. The
// buttons (and F1 to F4) reach it through RecordingCommands; the receive
// thread hands it every new sample; it shows the run through RunDisplay.
//
// Threads: the commands run one at a time, on the window's thread or on the
// worker the window runs device jobs on (they wait on the unit and may ask
// the user questions through the Prompter). onSample comes from the receive
// thread or a scan sequence. The captions, the counter and the latest sample
// may be read from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "recording/AutoScan.h"
#include "recording/NextRun.h"
#include "recording/ScanEnd.h"
#include "runs/SampleRecord.h"
#include "base/CalendarTime.h"
#include "runs/Em1RunWriter.h"
#include "runs/RunRecorder.h"
#include "recording/RecordingCommands.h"
#include "recording/ReceiveThread.h"
#include "runs/RunInfo.h"

namespace corvane {

class AcquisitionSession;
class Clock;
class DialogFolders;
class Prompter;
class RunDisplay;
class RunWriter;
class SampleReader;

struct RecordingEnv {
    // The settings and "TEMP" live here.
    std::filesystem::path startupFolder;
    Prompter& prompter;
    // Where the save question's dialog starts, shared with the window.
    DialogFolders& folders;
    Clock& clock;
    RunDisplay& display;
    // The connection: the acquisition object (when there is one), its link,
    // the receive thread's hold flags.
    AcquisitionSession& session;
    // What the next run is to be: read when a run starts.
    const NextRun& next;
    CalendarSource calendar = localCalendarTime;
};

class RecordingController : public RecordingCommands, public SampleHandler {
public:
    static constexpr const char* kStartCaption = "START RECORD (F1)";
    static constexpr const char* kStopCaption = "STOP RECORD (F1)";
    static constexpr const char* kPauseIdleCaption = "PAUSE (F3)";
    static constexpr const char* kPauseCaption = "Pause (F3)";
    static constexpr const char* kResumeCaption = "Resume (F3)";
    static constexpr const char* kScanSetupScanning =
        "The Scan Setup window is running its own scan. Stop it there (Start/Stop Scan) before recording.";
    static constexpr const char* kRunFileFilter =
        "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
    // Factors outside this range are asked about before they are used.
    static constexpr double kFactorLow = 0.1;
    static constexpr double kFactorHigh = 10.0;
    // What a missing or zero stored factor loads as.
    static constexpr double kDefaultFactor = 2.0;
    static constexpr std::int64_t kRefreshLockMs = 100;
    static constexpr std::int64_t kDe1StartLockMs = 2000;

    // Loads the factors and the unlimited-TEMP switch from the settings and
    // hands the factors to every acquisition object the session makes.
    explicit RecordingController(RecordingEnv env);
    ~RecordingController() override;
    RecordingController(const RecordingController&) = delete;
    RecordingController& operator=(const RecordingController&) = delete;

    // --- RecordingCommands ---
    [[nodiscard]] bool isRecording() const override;
    [[nodiscard]] bool odSensingRun() const override { return isRecording() && odSensingRun_.load(); }
    [[nodiscard]] double runStartOffsetMm() const override { return startOffsetMm_.load(); }
    [[nodiscard]] std::vector<CollectedFraction> collectedFractions() const override;
    void startStop() override;
    void zero() override;
    // The zero on counts a setup page read itself (the receive thread is
    // held while a page reads the unit).
    void zeroOn(const SampleRecord& latest);
    void pauseResume() override;
    void refresh() override;
    void stopRecording() override;
    void goToUpperLimit() override;
    void aufsChanged(int step) override;
    [[nodiscard]] std::string recordCaption() const override;
    [[nodiscard]] std::string pauseCaption() const override;
    [[nodiscard]] bool pauseEnabled() const override;
    [[nodiscard]] std::int64_t recordedSamples() const override { return samplesRecorded_.load() / 2; }

    // --- The sample handler ---
    void onSample(const SampleRecord& record) override;

    // --- What a view binds to ---
    // "Recorded %d samples": half the samples shown while a run recorded,
    // since the last clear (a sample of both channels arrives as two
    // readings); what the graph shows before a run is not counted.
    [[nodiscard]] std::string recordedText() const;
    // Every reading handed to the graph since the last clear, recorded or not.
    [[nodiscard]] std::int64_t samplesShown() const { return samplesShown_.load(); }
    [[nodiscard]] std::optional<SampleRecord> latestSample() const;
    [[nodiscard]] bool isPaused() const;
    // The temporary file of the run being recorded, or of the last one.
    [[nodiscard]] std::filesystem::path tempFile() const;
    // When that run started; nothing before the first run.
    [[nodiscard]] std::optional<CalendarTime> runStarted() const;
    // Where the last run was saved; nothing when it stayed in TEMP.
    [[nodiscard]] std::optional<std::filesystem::path> savedFile() const;
    // What the save does to a file already at the chosen name: the desktop's
    // dialog has asked before (Replace, the default); a script keeps it
    // (Keep), or replaces only the file that was there when it started
    // (Replace with onlyOver). A name taken meanwhile leaves the run in TEMP.
    void setExistingFileRule(ExistingTarget existing, std::optional<FileState> onlyOver = std::nullopt);

    // --- Run settings (the setup pages, the command line) ---
    // A safe file name part (the naming page checks it); may be empty.
    void setRunName(std::string name);
    [[nodiscard]] std::string runName() const;
    // What a page of the live DE-1 trace names: the description the run on
    // show (recording, or the last one) was started with; before any run,
    // the settings and details the next one will take.
    [[nodiscard]] RunDescription de1PageDescription() const;
    // NEW RUN? in DE-1 mode: the last DE-1 run is let go, so the live trace's
    // pages describe the next run and its marks sit where they are seen. A
    // run recording now is left as it is.
    void resetDe1Writer();
    // Set while the scan setup drives the unit itself (the "Scan Setup"
    // window's own scan): START RECORD starts no run, PAUSE shows "Pause
    // (F3)" disabled, a stop returns the piston in auto mode and the Scan
    // Setup command asks nothing. Off, PAUSE is as the run leaves it.
    void setScanSetupMode(bool on);
    [[nodiscard]] bool scanSetupMode() const { return scanSetupMode_.load(); }
    // Auto-scan selected: START RECORD searches the meniscus first.
    void setAutoScan(bool selected) { autoScan_.setSelected(selected); }
    [[nodiscard]] bool autoScanSelected() const { return autoScan_.selected(); }
    // Where MoveToTargetPosition takes the piston, in mm.
    void setTargetPosition(double mm) { targetPosition_.store(mm); }
    [[nodiscard]] double targetPosition() const { return targetPosition_.load(); }
    [[nodiscard]] AutoScan& autoScan() { return autoScan_; }
    // FRAC ADV: one event-mark pulse to the collector through the DE-1 box;
    // false without one.
    bool fractionAdvance();
    // The scan sequences on the session's acquisition object; false without one.
    bool moveToTargetPosition();
    bool startAutoScan();
    // What the window does after the record button has stopped a
    // two-channel run, once the save question is answered (its Scan Setup
    // command); nothing when unset. Called on the thread the stop ran on.
    void setAfterTwoChannelRun(std::function<void()> action);
    // What the window is told when the piston of a recorded two-channel run
    // stops at the end of the unit's scan distance (how far it went, mm):
    // once per run, on the receive thread. Nothing is watched when unset.
    void setScanEndAction(std::function<void(double)> action);
    // The end of the scan, as the window decided: the run is stopped and
    // followed as STOP RECORD does. Nothing when the run has stopped or
    // paused meanwhile (the operator was quicker).
    void finishScan();

    // --- Factors and folders ---
    [[nodiscard]] std::array<double, 2> factors() const;
    // The zero calibration's factors in the settings; false, with
    // Preferences::kMissingMessage, when the settings cannot be read.
    bool loadFactors();
    bool saveFactors();
    [[nodiscard]] bool unlimitedTempFiles() const { return unlimitedTemp_; }
    [[nodiscard]] std::string lastDataFolder() const;

private:
    [[nodiscard]] SampleReader* reader();
    [[nodiscard]] RunWriter* writer();
    void start();
    void stop();
    // STOP RECORD of a run that records: the stop, then what follows a
    // two-channel run.
    void stopAndFollow();
    // The receive thread's look at the piston while a two-channel run records.
    void watchScanEnd();
    // The start's steps from the temporary name on; false when no run began.
    bool openRun(SampleReader& reader, RunWriter& writer, const std::filesystem::path& tempPath);
    bool openDe1Run(SampleReader& reader, RunWriter& writer, const std::filesystem::path& tempPath,
                    RunDescription description);
    // The plan the DE-1 run about to start is cut by, checked; false, after
    // its one message, when the run may not start.
    [[nodiscard]] bool chooseDe1Plan();
    // The run description's tube, else the standard run's own, else the
    // default tube: what the run measures its fractions with.
    [[nodiscard]] double runVolumePerMm() const;
    // The closing row and the message; false when the end could not be
    // written (the run is then kept in TEMP as it is).
    bool endDe1Run(SampleReader& reader, RunWriter& writer);
    void askToSave(RunWriter& writer);
    // A run that is not offered for saving: one with rows that never reached
    // its file (kept in TEMP as it is, for a rescue) or with no sample at all
    // (removed: it holds nothing). True, after its message, for either.
    bool endsWithoutSaving(RunWriter& writer);
    void togglePause(SampleReader& reader, RunWriter& writer);
    // New factors for the acquisition object now and every one made later;
    // false, with a message, when the sample lock stayed busy.
    bool applyFactors(SampleReader& reader, const std::array<double, 2>& factors);
    void clearShown();
    [[nodiscard]] std::filesystem::path uniqueTempPath() const;
    void rememberDataFolder(const std::filesystem::path& folder);
    void setRecordCaption(const char* caption);
    void setPauseState(const char* caption, bool enabled);
    [[nodiscard]] Em1RunWriter::Setup de1Setup() const;

    RecordingEnv env_;
    AutoScan autoScan_;

    mutable std::mutex mutex_;  // the state below
    std::string recordCaption_ = kStartCaption;
    std::string pauseCaption_ = kPauseIdleCaption;
    bool pauseEnabled_ = true;
    std::string runName_;
    std::optional<OverlayPlan> runPlan_;  // chosen at the start of a DE-1 run
    std::optional<RunDescription> de1RunDescription_;
    std::filesystem::path tempFile_;
    std::optional<CalendarTime> runStarted_;
    std::optional<std::filesystem::path> savedFile_;
    ExistingTarget existingFile_ = ExistingTarget::Replace;
    std::optional<FileState> replaceOnly_;
    std::optional<SampleRecord> latest_;
    std::array<double, 2> factors_{kDefaultFactor, kDefaultFactor};
    std::function<void()> afterTwoChannelRun_;
    std::function<void(double)> scanEndAction_;
    ScanEndWatch scanEnd_;
    // Where the piston stood when the run's scan was started (the worker's).
    std::optional<double> pistonAtStart_;

    // A run was started and not stopped yet (its file may be paused).
    std::atomic<bool> runActive_{false};
    bool unlimitedTemp_ = false;
    bool de1Run_ = false;  // the run being recorded reads the DE-1 box
    std::atomic<bool> odSensingRun_{false};
    // A two-channel run records whose scan end is watched.
    std::atomic<bool> watchingScan_{false};
    // The samples shown are the run's (from the start to the stop's first step).
    std::atomic<bool> counting_{false};
    std::atomic<double> startOffsetMm_{0.0};
    std::atomic<bool> scanSetupMode_{false};
    std::atomic<double> targetPosition_{0.0};
    std::atomic<std::int64_t> samplesShown_{0};
    std::atomic<std::int64_t> samplesRecorded_{0};
};

}  // namespace corvane
