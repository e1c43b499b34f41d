#pragma once

// The steps of the connection window ("Connect to Corvane"): find the
// instrument, have the acquisition object made, wait out the detector's
// warm-up and bring the piston to its upper limit switch.
//
// A view drives it: each step below is a plain blocking function that the
// view runs off its own thread (one step at a time; a step called while
// another runs does nothing). The flow reports everything it shows through
// ConnectionDisplay, which may be called from that worker thread. Only
// keyPressed() and abort() are meant to be called while a step runs.
//
//   connect()        when the window opens
//   introClosed()    after the INTRO page the view showed (state IntroPending)
//   pressContinue()  "Continue" / "Retry"
//   skipHardwareCheck()  "Skip Hardware Check"
//
// Lifecycle: Connecting -> Failed (Retry: Connecting again) or IntroPending
// -> WarmingUp -> Ready -> (Continue: piston moved, Ready again) -> Finished.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "link/BridgeLibrary.h"
#include "link/ConnectionDisplay.h"
#include "link/ConnectionProbe.h"
#include "link/SerialPortApi.h"
#include "link/UvLink.h"

namespace corvane {

// The main window as the connection steps reach it. Called on the thread
// that runs the step.
class ConnectionHost {
public:
    virtual ~ConnectionHost() = default;

    // Makes the window's acquisition object on the window's folder, port and
    // baud rate: on the link (useLink), else on the plain COM port; with a
    // DE-1 source on the box behind de1Handle when that is not 0 (the
    // acquisition object owns and closes the handle from now on).
    virtual void createSampleReader(bool useLink, BridgeHandle de1Handle) = 0;
    virtual void destroySampleReader() = 0;
    [[nodiscard]] virtual bool hasSampleReader() const = 0;
    // The acquisition object's link; null without one.
    [[nodiscard]] virtual UvLink* link() = 0;
    // A DE-1 box found on another port: that port becomes the window's.
    virtual void setComPort(int comPort) = 0;
    // What the move to the upper limit shows on the window.
    [[nodiscard]] virtual LinkHost& linkHost() = 0;
    // The INTRO page has not been shown yet: the flow stops in IntroPending
    // for the view to show it.
    [[nodiscard]] virtual bool introPending() const = 0;
};

struct ConnectionSeams {
    SerialPortApi& ports;
    BridgeLibrary& bridge;
    Clock& clock;
    Prompter& prompter;
    ConnectionDisplay& display;
    ConnectionHost& host;
};

// What the INTRO page hands back when it is closed with OK.
struct IntroChoice {
    std::string userName;
    int signalType = 0;
};

enum class ConnectionState { Idle, Connecting, Failed, IntroPending, WarmingUp, Ready, Finished };

class ConnectionFlow {
public:
    static constexpr std::int64_t kSettleReadsMs = 1000;
    static constexpr std::int64_t kFirstCmd0PauseMs = 200;
    // The pause of a warm-up poll that found nothing (no device: no wait).
    static constexpr std::int64_t kIdlePollMs = 5;

    static constexpr const char* kConnecting = "Connecting to Corvane...";
    static constexpr const char* kFailed = "Connection failed:";
    static constexpr const char* kEstablished = "Connection established.";
    static constexpr const char* kCountdown =
        "Warming up, time remaining = %d seconds, press any key to skip";
    static constexpr const char* kWarmedUp = "Warmup sequence completed.";
    static constexpr const char* kMoving = "Moving piston to upper limit switch...";
    static constexpr const char* kPositioned = "Piston positioned to upper limit.";
    static constexpr const char* kNotPositionedError = "Error, could not get piston to upper limit switch.";
    static constexpr const char* kNotPositioned = "Could not get piston to upper limit switch.";
    static constexpr const char* kRetry = "Retry";
    static constexpr const char* kContinue = "Continue";

    // workingFolder holds the settings; comPort and baudRate are its
    // "comport" and "baudrate".
    ConnectionFlow(const ConnectionSeams& seams, std::filesystem::path workingFolder, int comPort,
                   std::uint32_t baudRate);
    // Closes a DE-1 box handle nobody took over.
    ~ConnectionFlow();
    ConnectionFlow(const ConnectionFlow&) = delete;
    ConnectionFlow& operator=(const ConnectionFlow&) = delete;

    // Steps (blocking; run them off the view's thread).
    void connect();
    // The INTRO page closed: with a choice (OK) the warm-up starts; without
    // one (Cancel) the window closes with Cancel.
    void introClosed(std::optional<IntroChoice> choice);
    void pressContinue();
    void skipHardwareCheck();

    // Any key in the window: skips the rest of the warm-up once a settings
    // packet has arrived; a key before that is ignored. Any thread.
    void keyPressed() { keyPressed_.store(true); }
    // The window is closing: the warm-up ends at once. Any thread.
    void abort() { stop_.request_stop(); }

    [[nodiscard]] ConnectionState state() const { return state_.load(); }
    [[nodiscard]] bool connected() const { return connected_.load(); }
    [[nodiscard]] bool warmedUp() const { return warmedUp_.load(); }
    [[nodiscard]] bool busy() const { return busy_.load(); }
    // Set once finished: OK (ready) or Cancel.
    [[nodiscard]] std::optional<bool> result() const;
    [[nodiscard]] bool de1Found() const { return de1Found_; }
    [[nodiscard]] int comPort() const { return comPort_.load(); }
    [[nodiscard]] std::optional<IntroChoice> introChoice() const;
    // After a failed connect (same thread): why the unit was not heard.
    [[nodiscard]] std::string silenceReason() const { return probe_.silenceReason(); }

private:
    // Marks a step running; a second step at the same time is refused.
    class Step;

    // Probes; on success adopts a DE-1 box's port. True when connected.
    bool probe();
    void connectionEstablished();
    void warmUp();
    void continueStep();
    void movePiston();
    void retry();
    void showFailed();
    void finish(bool ok);
    void adoptPort(int port);
    // The DE-1 handle found, handed over (0 when none is left to hand).
    BridgeHandle takeDe1Handle();
    void closeDe1Handle();
    [[nodiscard]] std::string title(bool warmingUp) const { return connectionTitle(warmingUp); }

    BridgeLibrary& bridge_;
    Clock& clock_;
    Prompter& prompter_;
    ConnectionDisplay& display_;
    ConnectionHost& host_;
    ConnectionProbe probe_;
    const std::filesystem::path folder_;
    std::atomic<int> comPort_;
    const std::uint32_t baudRate_;

    std::atomic<ConnectionState> state_{ConnectionState::Idle};
    std::atomic<bool> busy_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> warmedUp_{false};
    std::atomic<bool> keyPressed_{false};
    std::stop_source stop_;

    BridgeHandle de1Handle_ = 0;
    bool de1Found_ = false;
    mutable std::mutex resultMutex_;
    std::optional<bool> result_;
    std::optional<IntroChoice> introChoice_;
};

}  // namespace corvane
