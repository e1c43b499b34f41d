#pragma once

// The main window's device worker: the recording commands and the connection
// steps wait on the unit for seconds and may ask the user questions, so they
// run here, one at a time and in the order given, never on the window's
// thread. The window never waits for a job: it disables the controls that
// must not be pressed while busy() and hears through jobEnded when a job is
// done.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"

namespace corvane {

class DeviceJobs {
public:
    // jobEnded is called on the worker after every job.
    explicit DeviceJobs(std::function<void()> jobEnded = {});
    // Drops the jobs still waiting and waits for the running one: the owner
    // ends long jobs first (aborts the connection, stops the link).
    ~DeviceJobs();
    DeviceJobs(const DeviceJobs&) = delete;
    DeviceJobs& operator=(const DeviceJobs&) = delete;

    // Queues a job behind the others; false once closed.
    bool submit(std::function<void()> job);
    // A job runs or waits.
    [[nodiscard]] bool busy() const { return pending_.load() > 0; }
    // Closing: no job is taken from now on (those queued still run).
    void close();
    void reopen();
    [[nodiscard]] bool closed() const;

private:
    void run(const std::stop_token& stop);

    std::function<void()> jobEnded_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> queue_;
    bool closed_ = false;
    std::atomic<int> pending_{0};
    // Last: joined before the queue goes.
    std::jthread worker_;
};

// The recording commands as the window's keys and buttons reach them: each
// command becomes a job; what the buttons show is read straight from the
// controller, which keeps it safe to read from any thread.
class QueuedRecording : public RecordingCommands {
public:
    QueuedRecording(RecordingCommands& target, DeviceJobs& jobs) : target_(target), jobs_(jobs) {}

    [[nodiscard]] bool isRecording() const override { return target_.isRecording(); }
    [[nodiscard]] bool odSensingRun() const override { return target_.odSensingRun(); }
    [[nodiscard]] double runStartOffsetMm() const override { return target_.runStartOffsetMm(); }
    [[nodiscard]] std::vector<CollectedFraction> collectedFractions() const override {
        return target_.collectedFractions();
    }
    void startStop() override;
    void zero() override;
    void pauseResume() override;
    void refresh() override;
    void stopRecording() override;
    void goToUpperLimit() override;
    void aufsChanged(int step) override;
    [[nodiscard]] std::string recordCaption() const override { return target_.recordCaption(); }
    [[nodiscard]] std::string pauseCaption() const override { return target_.pauseCaption(); }
    [[nodiscard]] bool pauseEnabled() const override { return target_.pauseEnabled(); }
    [[nodiscard]] std::int64_t recordedSamples() const override { return target_.recordedSamples(); }

private:
    RecordingCommands& target_;
    DeviceJobs& jobs_;
};

// The instrument session with its connection steps as a job; the questions
// about the link and the stop requests stay on the caller's thread, as they
// never wait.
class QueuedSession : public InstrumentSession {
public:
    QueuedSession(InstrumentSession& target, DeviceJobs& jobs) : target_(target), jobs_(jobs) {}

    void connect(int comPort, int baudRate, int interByteDelayMs) override;
    // A connection job waits or runs: the acquisition object may be
    // replaced at any moment.
    [[nodiscard]] bool connecting() const { return connecting_.load() > 0; }
    [[nodiscard]] bool linkExists() const override { return target_.linkExists(); }
    [[nodiscard]] bool linkActive() const override { return target_.linkActive(); }
    [[nodiscard]] bool receiveThreadRunning() const override { return target_.receiveThreadRunning(); }
    [[nodiscard]] bool de1Source() const override { return target_.de1Source(); }
    // A running job may be using the acquisition object.
    [[nodiscard]] bool mayClose() override { return !jobs_.busy() && target_.mayClose(); }
    void stopLink() override { target_.stopLink(); }
    void destroyAcquisition() override { target_.destroyAcquisition(); }
    [[nodiscard]] PacketDebugLink* packetDebugLink() override { return target_.packetDebugLink(); }

private:
    InstrumentSession& target_;
    DeviceJobs& jobs_;
    std::atomic<int> connecting_{0};
};

}  // namespace corvane
