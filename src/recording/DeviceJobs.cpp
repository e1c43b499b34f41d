#include "recording/DeviceJobs.h"

#include <utility>

namespace corvane {

DeviceJobs::DeviceJobs(std::function<void()> jobEnded)
    : jobEnded_(std::move(jobEnded)), worker_([this](const std::stop_token& stop) { run(stop); }) {}

DeviceJobs::~DeviceJobs() {
    {
        const std::scoped_lock lock(mutex_);
        pending_.fetch_sub(static_cast<int>(queue_.size()));
        queue_.clear();
        closed_ = true;
    }
    worker_.request_stop();
}

bool DeviceJobs::submit(std::function<void()> job) {
    {
        const std::scoped_lock lock(mutex_);
        if (closed_ || !job) {
            return false;
        }
        queue_.push_back(std::move(job));
        pending_.fetch_add(1);
    }
    wake_.notify_one();
    return true;
}

void DeviceJobs::close() {
    const std::scoped_lock lock(mutex_);
    closed_ = true;
}

void DeviceJobs::reopen() {
    const std::scoped_lock lock(mutex_);
    closed_ = false;
}

bool DeviceJobs::closed() const {
    const std::scoped_lock lock(mutex_);
    return closed_;
}

void DeviceJobs::run(const std::stop_token& stop) {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            // Nothing to time here: the worker sleeps until a job or the stop comes.
            if (!wake_.wait(lock, stop, [this] { return !queue_.empty(); })) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job();
        // Counted down only now, so busy() covers the whole job.
        pending_.fetch_sub(1);
        if (jobEnded_) {
            jobEnded_();
        }
    }
}

// --- QueuedRecording ---
// A closed worker refuses jobs only once the window is going, after a running
// recording was stopped by a job of its own: a refused command has nothing
// left to act on.

void QueuedRecording::startStop() { (void)jobs_.submit([this] { target_.startStop(); }); }
void QueuedRecording::zero() { (void)jobs_.submit([this] { target_.zero(); }); }
void QueuedRecording::pauseResume() { (void)jobs_.submit([this] { target_.pauseResume(); }); }
void QueuedRecording::refresh() { (void)jobs_.submit([this] { target_.refresh(); }); }
void QueuedRecording::stopRecording() { (void)jobs_.submit([this] { target_.stopRecording(); }); }
void QueuedRecording::goToUpperLimit() { (void)jobs_.submit([this] { target_.goToUpperLimit(); }); }
void QueuedRecording::aufsChanged(int step) {
    (void)jobs_.submit([this, step] { target_.aufsChanged(step); });
}

// --- QueuedSession ---

void QueuedSession::connect(int comPort, int baudRate, int interByteDelayMs) {
    connecting_.fetch_add(1);
    const bool queued = jobs_.submit([this, comPort, baudRate, interByteDelayMs] {
        target_.connect(comPort, baudRate, interByteDelayMs);
        connecting_.fetch_sub(1);
    });
    if (!queued) {
        connecting_.fetch_sub(1);
    }
}

}  // namespace corvane
