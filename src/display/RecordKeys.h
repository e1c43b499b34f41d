#pragma once

#include <functional>
#include <string>

namespace corvane {

class InstrumentSession;
class RecordingCommands;

// The keys the window handles before dialog navigation.
enum class WindowKey { F1, F2, F3, F4, F5, F6, Left, Right, Up, Down, CtrlD, Other };

// What the window does with a key after the logic has seen it.
enum class KeyOutcome {
    PassOn,            // normal handling (dialog navigation, the focused control)
    Handled,           // done, or swallowed
    OpenDebugWindows,  // Ctrl+D with a link
    ChecklistUp,
    ChecklistDown,
    ScanSetup,         // F6: the window's Scan Setup command
};

// The record buttons ("START RECORD (F1)", "ZERO (F2)", "PAUSE (F3)",
// "REFRESH (F4)", "GO TO UPPER LIMIT") and the keys of the main window: the
// function keys, the arrows and Ctrl+D.
//
// Threads: the window's thread. The recording bound here is the window's
// queued front: a command becomes a device job; while one waits or runs
// (busy), the function keys of the commands are swallowed, as their buttons
// are disabled.
class RecordKeys {
public:
    struct Actions {
        // REFRESH without a recording controller: the live traces start again.
        std::function<void()> clearTraces;
        // The graph and its axes rebuilt (after REFRESH).
        std::function<void()> refreshGraph;
        // A device job waits or runs.
        std::function<bool()> busy;
    };

    explicit RecordKeys(Actions actions) : actions_(std::move(actions)) {}

    void bind(RecordingCommands* recording, InstrumentSession* session) {
        recording_ = recording;
        session_ = session;
    }
    [[nodiscard]] bool recordingBound() const { return recording_ != nullptr; }

    [[nodiscard]] std::string recordCaption() const;
    [[nodiscard]] std::string pauseCaption() const;
    [[nodiscard]] bool pauseEnabled() const;
    [[nodiscard]] bool isRecording() const;
    void startStop();
    void zero();
    void pauseResume();
    // REFRESH (F4): the controller's refresh, or the traces alone without
    // one; then the graph.
    void refresh();
    // Stops a recording first.
    void goToUpperLimit();

    // The key-down of a key; autoRepeat is set for the repeats of a key held
    // down.
    KeyOutcome keyDown(WindowKey key, bool autoRepeat);
    void setChecklistOpen(bool open) { checklistOpen_ = open; }

private:
    Actions actions_;
    RecordingCommands* recording_ = nullptr;
    InstrumentSession* session_ = nullptr;
    bool checklistOpen_ = false;
};

}  // namespace corvane
