#pragma once

#include <functional>

namespace corvane {

class DeviceJobs;
class InstrumentSession;
class Prompter;
class RecordingCommands;

// One turn of the close request.
enum class CloseStep {
    Stay,         // the window stays open, everything runs on
    WaitForJob,   // a device job runs: ask again when it has ended
    RepostClose,  // the receive thread still ends: post the close request again
    Close,        // close the window now; the program ends
};

// What closing the main window does, turn by turn; the window asks for a
// turn on every close request (its close box, Alt+F4, "E&xit") and when a
// job it waited for has ended.
//
// 1. While a link is active, "Are you sure you wish to exit?" comes first
//    (not after an exit already confirmed elsewhere, e.g. the INTRO page).
//    No leaves everything as it was: the link, the receive thread, a run.
//    (The traditional sequence stops the link before it asks, so a No left
//    a window without its link; we ask first, as "E&xit" always did.)
// 2. A warm-up or a meniscus search in progress is asked to end; a device
//    job that runs is waited for (never on the window's thread).
// 3. A running recording is stopped as the record button does, its save
//    question included, as a device job.
// 4. The device worker takes no more jobs; the modeless windows go; the
//    link is stopped; the receive thread is waited for by posting the close
//    request again; the acquisition object is destroyed.
//
// Threads: the window's thread. The recording and the session are the
// pieces themselves (not the queued fronts): the sequence decides itself
// what runs as a job.
class CloseSequence {
public:
    static constexpr const char* kExitQuestion = "Are you sure you wish to exit?";

    struct Hooks {
        // A warm-up or a meniscus search ends at once; resumed on a Stay.
        std::function<void()> abortLongWork;
        std::function<void()> resumeLongWork;
        // The modeless child windows are destroyed (before the link stops).
        std::function<void()> destroyModeless;
    };

    CloseSequence(Prompter& prompter, DeviceJobs& jobs) : prompter_(prompter), jobs_(jobs) {}

    void bind(RecordingCommands* recording, InstrumentSession* session) {
        recording_ = recording;
        session_ = session;
    }
    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }

    // One turn of the close request.
    CloseStep turn();
    // A turn returned WaitForJob: the window asks again once the job ended.
    [[nodiscard]] bool waitingForJob() const { return waiting_; }
    // The close has gone past its question (the program is ending).
    [[nodiscard]] bool started() const { return confirmed_; }
    // The operator confirmed the exit elsewhere (the INTRO page), or the
    // program closes without the question (the compare page).
    void setExitConfirmed() { exitConfirmed_ = true; }

private:
    // Back to the start: the window stays open.
    CloseStep stay();

    Prompter& prompter_;
    DeviceJobs& jobs_;
    RecordingCommands* recording_ = nullptr;
    InstrumentSession* session_ = nullptr;
    Hooks hooks_;
    bool exitConfirmed_ = false;
    bool confirmed_ = false;
    bool stopAsked_ = false;
    bool waiting_ = false;
};

}  // namespace corvane
