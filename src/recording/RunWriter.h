#pragma once

// The run file as the acquisition object feeds it: every stored record that
// makes a row is written unless recording is paused, a DE-1 record as a DE-1
// row (distance, absorbance, event value) and any other as a two-channel row,
// each to the run of its kind. One writer per acquisition object; the
// recording controller opens, pauses, finishes and saves the run through it.
//
// Threads: onRecord comes from the acquisition thread with the sample lock
// held; the rest from the recording controller. The writer's own lock makes
// a DE-1 run's closing row the last row: once it is written no row follows,
// whatever the acquisition thread does meanwhile. Lock order: sample lock ->
// writer lock -> recorder lock.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>

#include "base/CalendarTime.h"
#include "link/LinkLocks.h"
#include "recording/RecordSink.h"
#include "runs/RunFolders.h"
#include "runs/RunRecorder.h"

namespace corvane {

class Clock;
class Prompter;
class UvLink;

struct RunWriterSeams {
    Prompter& prompter;
    Clock& clock;
    // The acquisition object's: a pause never falls in the middle of a sample.
    SampleLock& sampleLock;
    // Told when a recording starts; null without a link.
    UvLink* link = nullptr;
    RunFolders folders;
    CalendarSource calendar = localCalendarTime;
};

class RunWriter : public RecordSink {
public:
    static constexpr std::int64_t kPauseLockMs = 100;

    explicit RunWriter(RunWriterSeams seams);

    // Creates the run file (see RunRecorder::open): recording starts, not
    // paused, whatever the last run was left at, and the link is told that a
    // recording has started.
    [[nodiscard]] bool OpenRunFile(const std::filesystem::path& path,
                                   const RunDescription& description);
    // A run file is open.
    [[nodiscard]] bool isRecording() const { return recorder_.isOpen(); }
    [[nodiscard]] bool isDe1Run() const { return recorder_.isEm1Run(); }
    // Under the sample lock (at most 100 ms); false when it could not be had
    // and nothing changed.
    [[nodiscard]] bool SetPaused(bool paused);
    [[nodiscard]] bool isPaused() const { return paused_.load(); }

    // A row, unless paused or the DE-1 run has had its closing row.
    bool onRecord(const SampleRecord& record, SourceReading::Row row) override;

    struct Closing {
        // The closing row was written, or none was due; false when it could
        // not be written (disk full, file gone).
        bool ok = true;
        // Where the run ended: the distance of its last DE-1 record.
        double distance = 0.0;
    };
    // Ends a DE-1 run's rows: its closing event row at the last record's
    // distance and absorbance (unless the last row was a mark), and no row
    // after it until the next run is opened.
    [[nodiscard]] Closing finishDe1Run();

    // The ends of a run (see RunRecorder): each closes the run file, and a
    // run ended while paused leaves nothing paused behind.
    [[nodiscard]] bool saveAs(const std::filesystem::path& target,
                              ExistingTarget existing = ExistingTarget::Replace,
                              const std::optional<FileState>& onlyOver = std::nullopt);
    bool close(bool deleteFile);
    // Closes the run and leaves its file exactly as it is, for a rescue.
    bool keepAsIs();
    [[nodiscard]] bool writeAufsChange(int step, double distance) {
        return recorder_.writeAufsChange(step, distance);
    }
    [[nodiscard]] bool writeFractionTable(const FractionTable& table) {
        return recorder_.writeFractionTable(table);
    }
    [[nodiscard]] std::filesystem::path path() const { return recorder_.path(); }
    [[nodiscard]] std::int64_t failedWrites() const { return recorder_.failedWrites(); }
    [[nodiscard]] std::int64_t rowsWritten() const { return recorder_.rowsWritten(); }
    // The clock time the last run file was opened at (-1 before the first):
    // the silence rule of a run counts from it as from a sample.
    [[nodiscard]] std::int64_t openedAtMs() const { return openedAtMs_.load(); }

private:
    Clock& clock_;
    SampleLock& sampleLock_;
    UvLink* link_;
    RunRecorder recorder_;
    std::atomic<bool> paused_{false};

    std::atomic<std::int64_t> openedAtMs_{-1};

    std::mutex mutex_;  // the rows' order: the state below and every row written
    bool rowsEnded_ = false;
    bool haveDe1Record_ = false;
    SampleRecord lastDe1Record_;
};

}  // namespace corvane
