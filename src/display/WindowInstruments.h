#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "display/CloseSequence.h"
#include "recording/DeviceJobs.h"

namespace corvane {

class AcquisitionSession;
class ConnectionDriver;
class DialogFolders;
class InstrumentSession;
class NextRun;
class Prompter;
class RecordingCommands;
class RecordingController;
class RunDisplay;
struct SessionSeams;

// The instruments of the main window and how its commands reach them: the
// device worker (DeviceJobs) that runs every command that waits on the unit
// or asks the user, the queued fronts the window's controls call, the
// acquisition session with its connection and receive thread, the recording
// controller, and the close sequence over all of them.
//
// Threads: the window's thread. The worker calls jobEnded after every job.
class WindowInstruments {
public:
    WindowInstruments(Prompter& prompter, std::function<void()> jobEnded);
    // Ends what runs in the order that lets each piece go safely: a warm-up
    // or a meniscus search is aborted, a busy worker's link stopped, the
    // worker joined, then the controller lets go of the samples before the
    // session (with its receive thread) goes.
    ~WindowInstruments();
    WindowInstruments(const WindowInstruments&) = delete;
    WindowInstruments& operator=(const WindowInstruments&) = delete;

    struct Attachment {
        std::filesystem::path startupFolder;
        DialogFolders& folders;
        // Shows and drives the connection steps.
        ConnectionDriver& driver;
        // Ends a connection in progress (its warm-up) at once; resumes.
        std::function<void()> abortConnection;
        std::function<void()> resumeConnection;
        // The live traces, the position line, the end of a DE-1 run.
        RunDisplay& display;
        // What the next run is to be (the window's logic keeps it).
        const NextRun& next;
        // Whether the INTRO page is still due when the unit answers.
        bool introPending = true;
    };
    // Makes the acquisition session over the seams and the recording
    // controller, and binds both. Once.
    void attach(const SessionSeams& seams, const Attachment& attachment);

    // Pieces made elsewhere (tests); null unbinds.
    void bindRecording(RecordingCommands* recording);
    void bindSession(InstrumentSession* session);

    // The pieces themselves, and the fronts that queue their commands.
    [[nodiscard]] RecordingCommands* recording() const { return recording_; }
    [[nodiscard]] InstrumentSession* session() const { return session_; }
    [[nodiscard]] RecordingCommands* queuedRecording() const { return queuedRecording_.get(); }
    [[nodiscard]] InstrumentSession* queuedSession() const { return queuedSession_.get(); }
    // A connection job waits or runs: the acquisition object may be
    // replaced at any moment.
    [[nodiscard]] bool connecting() const;
    [[nodiscard]] DeviceJobs& jobs() { return *jobs_; }
    [[nodiscard]] bool busy() const { return jobs_->busy(); }
    [[nodiscard]] CloseSequence& closing() { return closing_; }
    // What the close sequence does with the window's modeless windows.
    void setModelessCloser(std::function<void()> destroyModeless);

    // Null before attach().
    [[nodiscard]] AcquisitionSession* acquisitionSession() const { return ownSession_.get(); }
    [[nodiscard]] RecordingController* recordingController() const { return ownRecording_.get(); }
    // The Kelvo unit answers (not the DE-1 box, not a plain port).
    [[nodiscard]] bool kelvoConnected() const;

private:
    void rebindClosing();

    // Joined (in the destructor) before the pieces its jobs use go.
    std::unique_ptr<DeviceJobs> jobs_;
    CloseSequence closing_;
    std::function<void()> abortConnection_;
    std::function<void()> resumeConnection_;
    std::function<void()> destroyModeless_;
    RecordingCommands* recording_ = nullptr;
    InstrumentSession* session_ = nullptr;
    std::unique_ptr<QueuedRecording> queuedRecording_;
    std::unique_ptr<QueuedSession> queuedSession_;
    std::unique_ptr<AcquisitionSession> ownSession_;
    std::unique_ptr<RecordingController> ownRecording_;
};

}  // namespace corvane
