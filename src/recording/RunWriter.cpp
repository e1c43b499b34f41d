#include "recording/RunWriter.h"

#include <algorithm>
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
        lastRecordMs_ = clock_.nowMs();
        usualIntervalMs_ = 0.0;
        closedAtMs_ = -1;
        silences_ = {};
        openedAtMs_.store(lastRecordMs_);
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

namespace {

// A pause of gapMs in the records, added to silences when it is one.
// Returns whether it was.
bool countSilence(RunWriter::Silences& silences, double usualIntervalMs, std::int64_t gapMs,
                  std::int64_t sinceStartMs) {
    const auto limit = std::max(static_cast<double>(RunWriter::kSilenceMs),
                                usualIntervalMs * RunWriter::kSilenceIntervals);
    if (static_cast<double>(gapMs) <= limit) {
        return false;
    }
    ++silences.count;
    silences.totalMs += gapMs;
    if (gapMs > silences.longestMs) {
        silences.longestMs = gapMs;
        silences.longestAtMs = sinceStartMs;
    }
    return true;
}

}  // namespace

void RunWriter::onRecord(const SampleRecord& record, SourceReading::Row row) {
    const std::scoped_lock lock(mutex_);
    if (closedAtMs_ < 0 && openedAtMs_.load() >= 0) {
        const auto now = clock_.nowMs();
        const auto gap = now - lastRecordMs_;
        if (!countSilence(silences_, usualIntervalMs_, gap, lastRecordMs_ - openedAtMs_.load())) {
            // A slow mean: one long interval does not make the next silence look usual.
            usualIntervalMs_ = usualIntervalMs_ == 0.0
                                   ? static_cast<double>(gap)
                                   : usualIntervalMs_ * 0.95 + static_cast<double>(gap) * 0.05;
        }
        lastRecordMs_ = now;
    }
    if (row == SourceReading::Row::De1) {
        // Paused or not, the run has come this far.
        lastDe1Record_ = record;
        haveDe1Record_ = true;
    }
    if (paused_.load() || rowsEnded_) {
        return;
    }
    if (row == SourceReading::Row::De1) {
        // The DE-1 record carries its row: distance, absorbance, event value.
        recorder_.writeEm1Sample(record.positionA, record.absorbanceA, record.sampleA);
    } else {
        recorder_.writeSample(record);
    }
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

RunWriter::Silences RunWriter::silences() const {
    const std::scoped_lock lock(mutex_);
    auto silences = silences_;
    if (openedAtMs_.load() >= 0) {
        // A silence that lasted to the end of the run.
        const auto end = closedAtMs_ >= 0 ? closedAtMs_ : clock_.nowMs();
        (void)countSilence(silences, usualIntervalMs_, end - lastRecordMs_, lastRecordMs_ - openedAtMs_.load());
    }
    return silences;
}

void RunWriter::runClosed() {
    const std::scoped_lock lock(mutex_);
    if (closedAtMs_ < 0 && openedAtMs_.load() >= 0) {
        closedAtMs_ = clock_.nowMs();
    }
}

// The file is closed by each of these, so no row is left to hold back: the
// pause goes without waiting for the sample lock.
bool RunWriter::saveAs(const std::filesystem::path& target, ExistingTarget existing,
                       const std::optional<FileState>& onlyOver) {
    runClosed();
    const bool saved = recorder_.saveAs(target, existing, onlyOver);
    paused_.store(false);
    return saved;
}

bool RunWriter::close(bool deleteFile) {
    runClosed();
    const bool closed = recorder_.close(deleteFile);
    paused_.store(false);
    return closed;
}

bool RunWriter::keepAsIs() {
    runClosed();
    const bool kept = recorder_.closeAsIs();
    paused_.store(false);
    return kept;
}

}  // namespace corvane
