#pragma once

// What the main window reaches outside itself. The window's logic
// (MainWindowLogic) holds a pointer to each; a null pointer means the piece
// is not part of this program yet, and the window's controls that need it
// stay disabled.

#include <functional>
#include <string>

namespace corvane {

class GraphModel;
class PacketDebugLink;

// The plot. CGraphCtrl in the program (its trace lock around every edit), a
// plain GraphModel in tests.
class LiveGraph {
public:
    virtual ~LiveGraph() = default;
    // Runs f on the model under the trace lock. Callable from any thread.
    virtual void edit(const std::function<void(GraphModel&)>& f) = 0;
    // Repaint; repaint rebuilt from scratch. Callable from any thread.
    virtual void redraw() = 0;
    virtual void redrawAll() = 0;
};

// The recording controller as the record buttons and function keys reach it.
// Every call comes on the window's thread and may ask the user questions.
class RecordingCommands {
public:
    virtual ~RecordingCommands() = default;

    [[nodiscard]] virtual bool isRecording() const = 0;
    // "START RECORD (F1)": starts, or stops when recording.
    virtual void startStop() = 0;
    // "ZERO (F2)".
    virtual void zero() = 0;
    // "PAUSE (F3)".
    virtual void pauseResume() = 0;
    // "REFRESH (F4)": the controller clears the traces through the window's
    // clearTraces() under its own lock.
    virtual void refresh() = 0;
    // Stops a running recording as the record button does, its save
    // question included (link lost, closing, "GO TO UPPER LIMIT", "Close
    // Data File").
    virtual void stopRecording() = 0;
    // "GO TO UPPER LIMIT" after any recording was stopped.
    virtual void goToUpperLimit() = 0;
    // A new AUFS step while a DE-1 run records: the change line of the file.
    virtual void aufsChanged(int step) = 0;

    // The captions the two buttons show now ("START RECORD (F1)" / "STOP
    // RECORD (F1)"; "PAUSE (F3)", "Pause (F3)" or "Resume (F3)").
    [[nodiscard]] virtual std::string recordCaption() const = 0;
    [[nodiscard]] virtual std::string pauseCaption() const = 0;
    [[nodiscard]] virtual bool pauseEnabled() const = 0;
};

// The connection to the instrument: the connection window and its state
// machine, the link, the acquisition object and the receive thread.
class InstrumentSession {
public:
    virtual ~InstrumentSession() = default;

    // Connects on this port (showing the connection window) and starts the
    // receive thread. interByteDelayMs is the pause between written bytes.
    virtual void connect(int comPort, int baudRate, int interByteDelayMs) = 0;
    // A link object exists (the debug windows need one).
    [[nodiscard]] virtual bool linkExists() const = 0;
    // The receive thread's "link active" mark.
    [[nodiscard]] virtual bool linkActive() const = 0;
    [[nodiscard]] virtual bool receiveThreadRunning() const = 0;
    // The acquisition object reads a DE-1 interface box.
    [[nodiscard]] virtual bool de1Source() const = 0;
    // Whether the link may close now (a device sequence may be running).
    [[nodiscard]] virtual bool mayClose() = 0;
    // Stops the link and asks the receive thread to end; never waits for it.
    virtual void stopLink() = 0;
    // Destroys the acquisition object once the receive thread has ended.
    virtual void destroyAcquisition() = 0;
    // The link as the packet debug windows use it; null without a link.
    [[nodiscard]] virtual PacketDebugLink* packetDebugLink() = 0;
};

}  // namespace corvane
