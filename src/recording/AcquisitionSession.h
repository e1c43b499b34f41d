#pragma once

// The connection to the instrument as the main window holds it: the
// connection steps, the acquisition object (SampleReader, which owns the
// link or the DE-1 source) with its run writer, and the receive thread that
// feeds the window. One per window; the desktop binds it as its
// InstrumentSession, the command line drives it directly.
//
// Threads: connect() and the ConnectionHost calls run on the thread that
// drives the connection steps; the receive thread runs from the end of a
// connection until stopLink(). The acquisition object is made and destroyed
// only while no recording command or scan sequence runs (the connection is
// modal, and closing stops the link first).

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "link/BridgeLibrary.h"
#include "link/ConnectionFlow.h"
#include "recording/De1Source.h"
#include "link/UvLink.h"
#include "link/UvLinkPacketDebug.h"
#include "base/CalendarTime.h"
#include "recording/InstrumentSession.h"
#include "recording/ReceiveThread.h"

namespace corvane {

class Clock;
class Prompter;
class RunDisplay;
class RunWriter;
class SampleReader;
class SerialPortApi;
class WindowPoster;

struct SessionSeams {
    SerialPortApi& ports;
    BridgeLibrary& bridge;
    Clock& clock;
    Prompter& prompter;
    // The main window: LinkLost, ReceiveEnded, the link's statistics.
    WindowPoster& window;
    // Where the DE-1 source reports event marks; may be null.
    De1EventSink* de1Events = nullptr;
    // False only for single-threaded tests that drive the link themselves.
    bool startHeartbeatThread = true;
    CalendarSource calendar = localCalendarTime;
};

// How the connection steps are shown and driven: the desktop's connection
// window, the command line's progress lines.
class ConnectionDriver {
public:
    virtual ~ConnectionDriver() = default;
    // Where the steps show their texts, for the whole of one connection.
    [[nodiscard]] virtual ConnectionDisplay& display() = 0;
    // Runs the steps until the flow has finished (or the driver gives up).
    virtual void drive(ConnectionFlow& flow) = 0;
};

class AcquisitionSession : public InstrumentSession,
                           public ConnectionHost,
                           public LinkHost,
                           private SampleHandler {
public:
    AcquisitionSession(SessionSeams seams, std::filesystem::path workingFolder);
    // Stops the receive thread and destroys the acquisition object.
    ~AcquisitionSession() override;
    AcquisitionSession(const AcquisitionSession&) = delete;
    AcquisitionSession& operator=(const AcquisitionSession&) = delete;

    // --- Wiring (before the first connection) ---
    void setDriver(ConnectionDriver* driver) { driver_ = driver; }
    // Position and speed of the link's piston moves go here.
    void setDisplay(RunDisplay* display) { display_.store(display); }
    // Every new sample of the receive thread goes here. Unsetting it waits
    // for a sample being handed on, so the handler may go away afterwards.
    void setSampleHandler(SampleHandler* handler);
    // The source factors every acquisition object made from now on starts with.
    void setSourceFactors(const std::array<double, 2>& factors);
    // Whether the INTRO page is still due when the unit answers.
    void setIntroPending(bool pending) { introPending_.store(pending); }
    // Read "testFile.txt" instead of the unit (a development aid).
    void setTestFile(bool on) { testFile_ = on; }

    // --- InstrumentSession ---
    // Stops a running receive thread, runs the connection steps through the
    // driver, then starts the receive thread on the acquisition object made.
    void connect(int comPort, int baudRate, int interByteDelayMs) override;
    [[nodiscard]] bool linkExists() const override;
    [[nodiscard]] bool linkActive() const override;
    [[nodiscard]] bool receiveThreadRunning() const override;
    [[nodiscard]] bool de1Source() const override;
    [[nodiscard]] bool mayClose() override { return true; }
    void stopLink() override;
    void destroyAcquisition() override;
    [[nodiscard]] PacketDebugLink* packetDebugLink() override;

    // --- ConnectionHost ---
    void createSampleReader(bool useLink, BridgeHandle de1Handle) override;
    void destroySampleReader() override;
    [[nodiscard]] bool hasSampleReader() const override;
    [[nodiscard]] UvLink* link() override;
    void setComPort(int comPort) override { comPort_.store(comPort); }
    [[nodiscard]] LinkHost& linkHost() override { return *this; }
    [[nodiscard]] bool introPending() const override { return introPending_.load(); }

    // --- LinkHost ---
    void showPositionAndSpeed(double positionMm, double speedMmPerS) override;
    void setPositionOffset(double mm) override;
    [[nodiscard]] double pendingScanDistance() const override { return pendingScanDistance_.load(); }
    void clearPendingScanDistance() override { pendingScanDistance_.store(0.0); }
    [[nodiscard]] bool sendSettings(const Cmd0Bytes& packet) override;
    // A scan distance correction for the next move to the upper limit in auto mode.
    void setPendingScanDistance(double mm) { pendingScanDistance_.store(mm); }

    // --- The pieces ---
    // The acquisition object; null before a connection and after it ended.
    [[nodiscard]] SampleReader* reader();
    // The run file the acquisition object's records go to; made and
    // destroyed with it (a run still open then is closed and kept).
    [[nodiscard]] RunWriter* runWriter();
    [[nodiscard]] ReceiveHolds& holds() { return holds_; }
    [[nodiscard]] Clock& clock() { return seams_.clock; }
    [[nodiscard]] int comPort() const { return comPort_.load(); }
    // How the last connection ended: OK (ready), Cancel, or nothing when it
    // has not finished.
    [[nodiscard]] std::optional<bool> connectResult() const;
    // Starts the receive thread on the acquisition object, if there is one
    // and no thread runs.
    void startReceiveThread();
    // Losses the receive thread reported so far.
    [[nodiscard]] int linkLossesReported() const;
    // The pauses in the samples of the run being recorded, or of the last
    // one (ReceiveThread::silences); none without a receive thread.
    [[nodiscard]] ReceiveThread::Silences runSilences() const;

private:
    // The receive thread's handler: passes each sample to the one set.
    void onSample(const SampleRecord& record) override;
    void stopReceiveThread();
    // Takes the acquisition object out (with its debug view) and destroys it
    // outside the lock, then its run writer.
    void destroyReader();

    SessionSeams seams_;
    const std::filesystem::path folder_;
    ConnectionDriver* driver_ = nullptr;
    std::atomic<RunDisplay*> display_{nullptr};
    std::mutex handlerMutex_;
    SampleHandler* handler_ = nullptr;
    std::array<double, 2> sourceFactors_{2.0, 2.0};  // under mutex_
    std::atomic<bool> introPending_{false};
    bool testFile_ = false;

    std::atomic<int> comPort_{0};
    std::uint32_t baudRate_ = 57600;
    std::uint32_t interByteDelayMs_ = 2;
    std::atomic<double> pendingScanDistance_{0.0};
    std::optional<bool> connectResult_;

    ReceiveHolds holds_;
    mutable std::mutex mutex_;  // the two pointers below (not the objects)
    std::unique_ptr<SampleReader> reader_;
    std::unique_ptr<RunWriter> writer_;
    // The debug windows' view of the reader's link; goes before the reader.
    std::unique_ptr<UvLinkPacketDebug> debug_;
    std::unique_ptr<ReceiveThread> receive_;
};

}  // namespace corvane
