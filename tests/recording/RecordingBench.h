#pragma once

// What the recording tests share: a simulated bench connected the way the
// connection window does it, with the recording controller on top, and the
// display and connection window as plain recorders.

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "RecordingPoster.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "VirtualClock.h"
#include "recording/AcquisitionSession.h"
#include "app/DialogFolders.h"
#include "recording/RecordingController.h"
#include "recording/RunDisplay.h"
#include "sim/SimRig.h"

namespace corvane::test {

// A display that keeps what it was shown.
class ShownDisplay : public RunDisplay {
public:
    void clearTraces() override;
    void addSample(const SampleRecord& record) override;
    void redraw() override;
    void setDe1Span(double mm) override;
    void showPositionAndSpeed(double positionMm, double speedMmPerS) override;

    [[nodiscard]] int clears() const;
    [[nodiscard]] int samples() const;
    [[nodiscard]] std::vector<double> de1Spans() const;

private:
    mutable std::mutex mutex_;
    int clears_ = 0;
    int samples_ = 0;
    int redraws_ = 0;
    std::vector<double> de1Spans_;
};

// The connection window with an operator who presses Continue until the
// window closes (or three times), and optionally a key during the warm-up.
class PressingConnection : public ConnectionDriver, public ConnectionDisplay {
public:
    explicit PressingConnection(Clock& clock) : clock_(clock) {}

    void setSkipWarmup(bool skip) { skipWarmup_ = skip; }
    ConnectionDisplay& display() override { return *this; }
    void drive(ConnectionFlow& flow) override;

    void setTitle(const std::string&) override {}
    void setMessage(const std::string& text) override;
    void setContinueCaption(const std::string&) override {}
    void enableButtons(bool, bool) override {}
    void finish(bool) override {}

    [[nodiscard]] std::vector<std::string> messages() const;

private:
    Clock& clock_;
    bool skipWarmup_ = false;
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

// A fast, quiet unit: 4 mm/s scans, 50 ms integration, the piston parked
// 35 mm down at power-on, the meniscus 23.5 mm down.
[[nodiscard]] SimRigConfig fastRig();

// "prefs.cfg" with the keys the recording reads.
void writePrefs(const TempDir& folder, const std::string& extra = {});

// The data rows of a run file as text, header left out.
[[nodiscard]] std::vector<std::string> dataRows(const std::filesystem::path& file);
[[nodiscard]] std::vector<std::string> dataRowsOf(const std::string& text);
// The "*.csv" files of the folder's TEMP.
[[nodiscard]] std::vector<std::filesystem::path> tempRuns(const std::filesystem::path& folder);

struct RecordingBench {
    explicit RecordingBench(SimRigConfig config = fastRig());
    ~RecordingBench();

    // Connects on the rig's Kelvo port (or the configured one); true when
    // the connection finished with OK.
    bool connect(int comPort = 3);
    // Waits (clock time) until pred holds; false at the limit.
    bool waitFor(const std::function<bool()>& pred, std::int64_t limitMs);
    [[nodiscard]] std::vector<std::filesystem::path> tempRuns() const;
    [[nodiscard]] SimKelvoUnit& unit() { return *rig.kelvo(); }

    // Every thread of the bench and the simulated unit share this time: it
    // moves only while all of them wait, so the unit never streams ahead of
    // the program reading it.
    VirtualClock clock;
    TempDir folder;
    bool prefsWritten;
    ScriptedPrompter prompter;
    DialogFolders folders;
    RecordingPoster poster;
    SimRig rig;
    ShownDisplay display;
    PressingConnection connection;
    AcquisitionSession session;
    // The next run's description, as the window's logic keeps it.
    NextRun next;
    RecordingController controller;
};

}  // namespace corvane::test
