#include "recording/ReceiveThread.h"

#include <algorithm>
#include <mutex>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "app/WindowPoster.h"
#include "recording/RunWriter.h"
#include "recording/SampleReader.h"

namespace corvane {

ReceiveHolds::Guard::Guard(ReceiveHolds& holds, Kind kind, Clock* clock, SampleReader* reader)
    : count_(holds.counter(kind)) {
    count_.fetch_add(1);
    if (clock != nullptr && reader != nullptr) {
        // The thread checks the flags before each turn; a turn already under
        // way ends when it gives the sample lock back.
        auto& lock = reader->sampleLock();
        if (clock->tryLockFor(lock, ReceiveThread::kSampleLockMs)) {
            lock.unlock();
        }
    }
}

ReceiveHolds::Guard::~Guard() { count_.fetch_sub(1); }

ReceiveThread::ReceiveThread(const ReceiveSeams& seams, SampleReader& reader)
    : clock_(seams.clock),
      prompter_(seams.prompter),
      window_(seams.window),
      handler_(seams.handler),
      holds_(seams.holds),
      reader_(reader),
      writer_(seams.writer),
      running_(true),
      thread_([this](std::stop_token stop) { run(stop); }) {}

ReceiveThread::~ReceiveThread() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ReceiveThread::requestStop(bool preserveLink) {
    preserveLink_.store(preserveLink);
    thread_.request_stop();
}

void ReceiveThread::run(std::stop_token stop) {
    const UvLink* link = reader_.link();
    if (link != nullptr && !link->connected()) {
        prompter_.message("Error, unable to open port.");
        reader_.StopLink();
    } else {
        while (!stop.stop_requested()) {
            if (holds_.held()) {
                heldSinceArrival_ = true;
                clock_.sleepMs(kHeldMs, stop);
                continue;
            }
            if (!turn(stop)) {
                clock_.sleepMs(kIdleMs, stop);
            }
        }
        if (!preserveLink_.load()) {
            reader_.StopLink();
        }
    }
    running_.store(false);
    window_.post(UserMsg::ReceiveEnded);
    ended_.store(true);
}

bool ReceiveThread::turn(std::stop_token stop) {
    auto& lock = reader_.sampleLock();
    if (!clock_.tryLockFor(lock, kSampleLockMs)) {
        return false;
    }
    bool lost = false;
    {
        const std::unique_lock held(lock, std::adopt_lock);
        if (stop.stop_requested()) {
            return false;
        }
        if (reader_.GetSample(record_) == SampleReader::kOk) {
            takeRecord();
            return true;
        }
        lost = silenceIsLoss();
    }
    if (lost) {
        window_.post(UserMsg::LinkLost);
        clock_.sleepMs(kAfterLossMs, stop);
    }
    return false;
}

void ReceiveThread::takeRecord() {
    // The silence clock starts only once the piston has left the upper limit
    // in a streamed sample: a unit parked there may be quiet by design.
    if (record_.positionA > 0.0) {
        armed_ = true;
    }
    lastSampleMs_ = clock_.nowMs();
    lossReported_ = false;
    noteArrival();
    handler_.onSample(record_);
}

void ReceiveThread::noteArrival() {
    if (writer_ == nullptr || !writer_->isRecording()) {
        return;
    }
    const auto opened = writer_->openedAtMs();
    if (opened != runOpenedAtMs_) {
        // A new run: its account starts empty, at its opening.
        runOpenedAtMs_ = opened;
        lastArrivalMs_ = opened;
        usualIntervalMs_ = 0.0;
        heldSinceArrival_ = false;
        const std::scoped_lock lock(silencesMutex_);
        silences_ = {};
    }
    const auto gap = lastSampleMs_ - lastArrivalMs_;
    const auto limit = std::max(static_cast<double>(kSilenceMs), usualIntervalMs_ * kSilenceIntervals);
    if (heldSinceArrival_) {
        // The unit was driven meanwhile: a pause of the program's own.
    } else if (static_cast<double>(gap) > limit) {
        const std::scoped_lock lock(silencesMutex_);
        ++silences_.count;
        silences_.totalMs += gap;
        if (gap > silences_.longestMs) {
            silences_.longestMs = gap;
            silences_.longestAtMs = lastArrivalMs_ - opened;
        }
    } else {
        // A slow mean: one long interval does not make the next silence look usual.
        usualIntervalMs_ = usualIntervalMs_ == 0.0 ? static_cast<double>(gap)
                                                   : usualIntervalMs_ * 0.95 + static_cast<double>(gap) * 0.05;
    }
    lastArrivalMs_ = lastSampleMs_;
    heldSinceArrival_ = false;
}

ReceiveThread::Silences ReceiveThread::silences() const {
    const std::scoped_lock lock(silencesMutex_);
    return silences_;
}

bool ReceiveThread::silenceIsLoss() {
    // A run being recorded wants samples from its first moment: a unit that
    // is silent from the start loses the run as surely as one that falls
    // silent later.
    const bool recording = writer_ != nullptr && writer_->isRecording();
    if (recording && lossReported_ && writer_->openedAtMs() > lossReportedAtMs_) {
        lossReported_ = false;  // a new run since the last report
    }
    if (!(armed_ || recording) || lossReported_) {
        return false;
    }
    const auto since = recording ? std::max(lastSampleMs_, writer_->openedAtMs()) : lastSampleMs_;
    bool lost = clock_.nowMs() - since > kLinkLostMs;
    if (!lost) {
        if (auto* de1 = reader_.de1Source()) {
            lost = de1->LinkLost();
        }
    }
    if (lost) {
        lossReported_ = true;
        lossReportedAtMs_ = clock_.nowMs();
        losses_.fetch_add(1);
    }
    return lost;
}

}  // namespace corvane
