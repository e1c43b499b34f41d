#include "recording/RunWriter.h"

#include <utility>

#include "app/Clock.h"
#include "link/UvLink.h"

namespace corvane {

RunWriter::RunWriter(RunWriterSeams seams)
    : clock_(seams.clock),
      sampleLock_(seams.sampleLock),
      link_(seams.link),
      recorder_(seams.prompter, std::move(seams.folders), std::move(seams.calendar)) {}

bool RunWriter::OpenRunFile(const std::filesystem::path& path, const RunDescription& description) {
    {
        const std::scoped_lock lock(mutex_);
        if (!recorder_.open(path, description)) {
            return false;
        }
        rowsEnded_ = false;
        haveDe1Record_ = false;
        openedAtMs_.store(clock_.nowMs());
    }
    // A new run starts recording at once, whatever the last one was left at.
    paused_.store(false);
    if (link_ != nullptr) {
        link_->SetRecordingStarted(true);
    }
    return true;
}

bool RunWriter::SetPaused(bool paused) {
    if (!clock_.tryLockFor(sampleLock_, kPauseLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    paused_.store(paused);
    return true;
}

bool RunWriter::onRecord(const SampleRecord& record, SourceReading::Row row) {
    const std::scoped_lock lock(mutex_);
    if (row == SourceReading::Row::De1) {
        // Paused or not, the run has come this far.
        lastDe1Record_ = record;
        haveDe1Record_ = true;
    }
    if (paused_.load() || rowsEnded_ || !recorder_.isOpen()) {
        return false;
    }
    if (row == SourceReading::Row::De1) {
        // The DE-1 record carries its row: distance, absorbance, event value.
        recorder_.writeEm1Sample(record.positionA, record.absorbanceA, record.sampleA);
    } else {
        recorder_.writeSample(record);
    }
    return true;
}

RunWriter::Closing RunWriter::finishDe1Run() {
    const std::scoped_lock lock(mutex_);
    rowsEnded_ = true;
    // A run stopped before its first record ends where it began.
    const SampleRecord last = haveDe1Record_ ? lastDe1Record_ : SampleRecord{};
    Closing closing{.distance = last.positionA};
    closing.ok = recorder_.finishEm1Run(last.positionA, last.absorbanceA) !=
                 RunRecorder::ClosingRow::Failed;
    return closing;
}

// The file is closed by each of these, so no row is left to hold back: the
// pause goes without waiting for the sample lock.
bool RunWriter::saveAs(const std::filesystem::path& target, ExistingTarget existing,
                       const std::optional<FileState>& onlyOver) {
    const bool saved = recorder_.saveAs(target, existing, onlyOver);
    paused_.store(false);
    return saved;
}

bool RunWriter::close(bool deleteFile) {
    const bool closed = recorder_.close(deleteFile);
    paused_.store(false);
    return closed;
}

bool RunWriter::keepAsIs() {
    const bool kept = recorder_.closeAsIs();
    paused_.store(false);
    return kept;
}

}  // namespace corvane
