#pragma once

// The link to the Kelvo unit through its USB serial bridge: the device search,
// the receive ring and its readers, the paced write path, the heartbeat
// thread, and (UvLinkControl.cpp) the mode, key and settings sequences that
// drive the unit like its own front panel.
//
// Threads: the heartbeat thread (owned here), the acquisition loop reading
// packets, and whichever thread runs a control sequence. Locks, always taken
// in this order when more than one is needed:
//   sample lock (the acquisition side's, timed) -> write lock (recursive, no
//   limit, held across a whole key press) -> read lock (recursive, timed,
//   10000 ms, held around every device read and ring change).
// Every wait goes through the Clock and ends at once when the link closes.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stop_token>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "app/AppendLog.h"
#include "app/Clock.h"
#include "app/Prompter.h"
#include "app/WindowPoster.h"
#include "link/BridgeLibrary.h"
#include "link/LinkLocks.h"
#include "link/Packets.h"
#include "link/ReceiveRing.h"

namespace corvane {

// What the link reaches outside itself.
struct UvLinkSeams {
    BridgeLibrary& bridge;
    Clock& clock;
    Prompter& prompter;
    // The main window; null when there is none (nothing is posted then).
    WindowPoster* window = nullptr;
    // False only for single-threaded tests that drive the link themselves.
    bool startHeartbeatThread = true;
};

// The block posted to the main window with UserMsg::LinkStats, by value.
struct LinkStats {
    std::optional<Cmd0> lastCmd0;
    std::int32_t heartbeatsTransmitted = 0;
    std::int32_t heartbeatsReceived = 0;
    // Control bit 1 of the last heartbeat: 0 = the piston touches the upper
    // limit switch, 1 = no contact.
    std::uint8_t upperLimit = 0;
    std::uint8_t bit0 = 0;
    std::uint8_t bit2 = 0;
};

// What went over the wire, for diagnostics ("corvane-cli link").
struct LinkTraffic {
    std::uint64_t bytesReceived = 0;
    std::uint64_t cmd0Packets = 0;
    std::uint64_t cmd1Packets = 0;
    std::uint64_t cmd2Packets = 0;
    // Bytes the packet reader stepped over that were neither a packet of the
    // kind it looked for nor a heartbeat: those before a packet it found, and
    // those that can begin no packet at all (taken at once, so a stream of
    // garbage is counted as it comes and never fills the ring).
    std::uint64_t invalidBytesSkipped = 0;
    // Packets lost to damaged or missing bytes, as the gaps between the
    // packets found tell: a gap of invalid bytes at least three quarters of a
    // packet long between two packets of one kind counts as one packet lost,
    // each further packet length as one more. An estimate: the unit's own
    // count is not on the wire.
    std::uint64_t packetsLost = 0;
    // Bytes a reader lost because it fell a whole ring behind.
    std::uint64_t droppedBytes = 0;
    // Bridge calls that reported an error (their codes are not shown).
    std::uint64_t bridgeFailures = 0;
};

// Debug observers: each is handed every valid packet of its kind, on the
// thread that read it. They must return quickly and must not call back into
// the link's observer setters.
class Cmd0Observer {
public:
    virtual ~Cmd0Observer() = default;
    virtual void onCmd0(const Cmd0& packet) = 0;
};
class Cmd1Observer {
public:
    virtual ~Cmd1Observer() = default;
    virtual void onCmd1(const Cmd1& packet) = 0;
};
class Cmd2Observer {
public:
    virtual ~Cmd2Observer() = default;
    virtual void onCmd2(const Cmd2& packet) = 0;
};

// What GoToUpperLimit needs from the main window.
class LinkHost {
public:
    virtual ~LinkHost() = default;
    // The "Position %.2f mm  Speed %.2f mm/sec" line.
    virtual void showPositionAndSpeed(double positionMm, double speedMmPerS) = 0;
    virtual void setPositionOffset(double mm) = 0;
    // A scan distance correction waiting to be sent, in mm; 0 or less: none.
    [[nodiscard]] virtual double pendingScanDistance() const = 0;
    virtual void clearPendingScanDistance() = 0;
    // The window's own settings send.
    [[nodiscard]] virtual bool sendSettings(const Cmd0Bytes& packet) = 0;
};

enum class UpperLimitVariant { Manual, Auto };

// What a settings sequence changed on the unit that the program keeps in its
// settings ("[scan]"): the duty cycle as percentages of A and B, and the gain
// as its stored "pcpotval" (7 - the value sent). Its caller stores it.
struct ScanSettingsChange {
    std::optional<double> dutyCyclePercentA;
    std::optional<double> dutyCyclePercentB;
    std::optional<int> pcPotValue;
};

class UvLink {
public:
    // Limits and periods of the link, in clock ms.
    static constexpr std::int64_t kReadLockMs = 10000;
    static constexpr std::int64_t kFlushLockMs = 500;
    static constexpr std::int64_t kSampleTurnLockMs = 100;
    static constexpr std::int64_t kHeartbeatPeriodMs = 1000;
    static constexpr std::int64_t kHeartbeatParseMs = 100;
    static constexpr std::int32_t kWarmupHeartbeats = 15;
    static constexpr int kKeyAttempts = 5;
    static constexpr std::int64_t kKeyAckMs = 5000;
    static constexpr int kUnansweredHeartbeats = 4;
    static constexpr std::int64_t kFirstHeartbeatMs = 3000;
    static constexpr std::int64_t kSettingsEchoMs = 3000;
    static constexpr std::int64_t kUpperLimitMs = 60000;
    static constexpr int kFirmwareMismatches = 3;
    // Bridge settings: read time-out until the first heartbeat, then after it.
    static constexpr std::uint32_t kOpenReadTimeoutMs = 100;
    static constexpr std::uint32_t kReadTimeoutMs = 10;
    static constexpr std::uint32_t kWriteTimeoutMs = 100;
    static constexpr std::uint8_t kLatencyTimerMs = 2;
    // How far the piston may seem to move between two running packets taken:
    // this much at once, plus this speed for the time between them.
    static constexpr double kPistonJumpMm = 5.0;
    static constexpr double kPistonSpeedLimitMmPerS = 15.0;
    // How much the reported piston speed may change between two of them.
    static constexpr double kPistonSpeedJumpMmPerS = 10.0;
    // A packet that cannot follow the last one waits for the next packet to
    // judge it by until this many bytes from its start have come.
    static constexpr std::size_t kJumpWaitBytes = 4 * kCmd2Size + 2 * kCmd1Size;

    // Searches the bridge whose COM port number is comPort, configures it and
    // starts the heartbeat thread. Without such a device every operation
    // fails, but the thread still runs. The key log ("pressKeyLog.txt") lives in
    // workingFolder.
    UvLink(const UvLinkSeams& seams, std::filesystem::path workingFolder, int comPort,
           std::uint32_t baudRate, std::uint32_t interByteDelayMs, SampleLock& sampleLock);
    // Stops the heartbeat thread, aborts any wait in progress on other
    // threads and waits for them to leave, then puts the bridge back and
    // closes it.
    ~UvLink();
    UvLink(const UvLink&) = delete;
    UvLink& operator=(const UvLink&) = delete;

    [[nodiscard]] bool connected() const { return handle_ != 0; }

    // --- Transport (all false without a device) ---
    [[nodiscard]] bool ReadCmd0(Cmd0& out);
    [[nodiscard]] bool ReadCmd2(Cmd2& out);
    // One heartbeat from what the other readers put in the ring; never reads
    // the device.
    bool ParseHeartbeat();
    void FlushReceive();
    [[nodiscard]] bool SendPacket10(const Cmd1Bytes& packet);
    [[nodiscard]] bool SendSettings(const Cmd0Bytes& packet);
    // Hands the packet to the heartbeat thread, which sends it with SendSettings.
    void QueueSettings(const Cmd0Bytes& packet);
    [[nodiscard]] bool SendHeartbeat();
    // Stops the heartbeat thread and ends every wait of the link for good.
    void StopThread();
    // One turn of the acquisition loop's reading: the sample lock for at most
    // 100 ms, short-packet mode following the unit's mode, one read of the
    // packet kind the unit streams. True when a packet came (see lastCmd0,
    // lastCmd2).
    [[nodiscard]] bool ReadStreamedPacket();

    // --- Control sequences (UvLinkControl.cpp) ---
    [[nodiscard]] bool WaitForMode(std::uint8_t mode, std::int64_t ms);
    [[nodiscard]] bool InSetupMode(std::int64_t ms);
    [[nodiscard]] bool InManualMode(std::int64_t ms);
    [[nodiscard]] bool InAutoMode(std::int64_t ms);
    [[nodiscard]] bool InCalibrationMode(std::int64_t ms);
    // attempt 0 normally (five sends at most); -1 = a single send.
    bool PressKey(std::uint8_t key, int attempt = 0);
    [[nodiscard]] bool WaitForKeyAck(std::uint8_t key);
    [[nodiscard]] bool SendSetupKey();
    bool EnterSetupMode();
    bool EnterManualMode();
    bool EnterAutoMode();
    bool EnterCalibrationMode();
    [[nodiscard]] bool WaitForSettingsEcho(const Cmd0Bytes& sent);
    [[nodiscard]] bool ReadConfiguration(Cmd0& out);
    // One running-data packet within 5000 ms, parsing heartbeats meanwhile.
    [[nodiscard]] bool ReadRunningPacket(Cmd2& out);
    // The settings sequences report what the program keeps of them in
    // `changed` (when given); the link writes no settings file itself.
    bool SetDutyCycle(double fraction, ScanSettingsChange* changed = nullptr);
    [[nodiscard]] bool GetDutyCycle(double& fraction) const;
    bool SetPcPot(int value, ScanSettingsChange* changed = nullptr, int attempt = 0);
    [[nodiscard]] int GetPcPot();
    void GoToUpperLimit(LinkHost& host, bool silent,
                        UpperLimitVariant variant = UpperLimitVariant::Manual);
    // The host's pending scan distance correction, sent in the unit's own
    // settings and cleared once the unit echoes it; it stays pending when it
    // cannot be sent or is not taken. True when nothing was pending or it went.
    bool SendPendingScanDistance(LinkHost& host);
    void CheckKnob();

    // --- State ---
    [[nodiscard]] std::int32_t heartbeatsReceived() const { return heartbeatsReceived_.load(); }
    [[nodiscard]] std::int32_t heartbeatsTransmitted() const { return heartbeatsTransmitted_.load(); }
    [[nodiscard]] std::uint8_t upperLimitFlag() const { return upperLimit_.load(); }
    [[nodiscard]] std::uint8_t bit0Flag() const { return bit0_.load(); }
    [[nodiscard]] std::uint8_t bit2Flag() const { return bit2_.load(); }
    [[nodiscard]] std::optional<Cmd0> lastCmd0() const;
    // Absent until the first valid heartbeat.
    [[nodiscard]] std::optional<Cmd1> lastCmd1() const;
    [[nodiscard]] std::optional<Cmd2> lastCmd2() const;
    [[nodiscard]] LinkStats stats() const;
    [[nodiscard]] LinkTraffic traffic();

    // Set by the acquisition stream while the unit is not in setup mode.
    void SetShortPacketMode(bool on) { shortPacketMode_.store(on); }
    [[nodiscard]] bool ShortPacketMode() const { return shortPacketMode_.load(); }

    // Subtracted from every computed sample position; set by the meniscus search.
    void SetPositionOffset(double mm) { positionOffset_.store(mm); }
    [[nodiscard]] double GetPositionOffset() const { return positionOffset_.load(); }
    // Where the move in auto mode goes; set by the scan setup pages.
    void SetTargetPosition(double mm) { targetPosition_.store(mm); }
    [[nodiscard]] double GetTargetPosition() const { return targetPosition_.load(); }

    // Once a recording has started the warm-up message is never posted.
    void SetRecordingStarted(bool started) { recordingStarted_.store(started); }

    void SetCmd0Observer(Cmd0Observer* observer);
    void SetCmd1Observer(Cmd1Observer* observer);
    void SetCmd2Observer(Cmd2Observer* observer);

private:
    // Marks a call inside the link, so that the destructor can wait for it
    // to leave.
    class CallGuard {
    public:
        explicit CallGuard(UvLink& link) : link_(link) { link_.activeCalls_.fetch_add(1); }
        ~CallGuard() {
            if (link_.activeCalls_.fetch_sub(1) == 1 && link_.closing()) {
                std::scoped_lock lock(link_.callsMutex_);
                link_.callsDone_.notify_all();
            }
        }
        CallGuard(const CallGuard&) = delete;
        CallGuard& operator=(const CallGuard&) = delete;

    private:
        UvLink& link_;
    };
    void openDevice(std::uint32_t baudRate);
    void noteStatus(BridgeStatus status);
    void heartbeatLoop();
    // Sends the queued settings packet, if any; true when one was taken.
    bool sendQueuedSettings();
    // Until the queued settings packet has been sent; false when closing.
    bool waitForQueuedSettings();
    // Under the read lock: one device read of up to len bytes into the ring.
    [[nodiscard]] std::ptrdiff_t fillRing(std::size_t len);
    // Wakes the heartbeat thread to parse what waits for it.
    void askForHeartbeatParse();
    // The bytes written, pacing each by the inter-byte delay.
    [[nodiscard]] std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n);
    // Under the read lock: one device read of len bytes, then the first window
    // `find` accepts among the packet reader's bytes, consumed together with
    // what lies before it; counted in traffic_.*counter (unless null).
    template <class Find>
    auto takePacket(std::size_t len, Find find, std::uint64_t LinkTraffic::*counter)
        -> decltype(find(std::span<const std::uint8_t>()));
    // Under the read lock, after the device read: the search and consumption
    // of takePacket.
    template <class Find>
    auto takeFound(std::size_t len, Find find, std::uint64_t LinkTraffic::*counter)
        -> decltype(find(std::span<const std::uint8_t>()));
    // Reads while the unit streams running data: its whole packets kept in held_.
    void holdRunningPackets();
    // Keeps a received packet as the last of its kind and shows it to its observer.
    template <class Packet, class Observer>
    void publish(const Packet& packet, std::optional<Packet>& last, Observer* const& observer,
                 void (Observer::*notify)(const Packet&));
    // A running packet's piston position and speed (raw fields), and when it came.
    struct RunningPoint {
        std::int16_t position = 0;
        std::int16_t speed = 0;
        std::int64_t atMs = 0;
        [[nodiscard]] static RunningPoint of(const Cmd2& packet, std::int64_t atMs);
        // Whether packet can follow this one nowMs later.
        [[nodiscard]] bool near(const Cmd2& packet, std::int64_t nowMs) const;
    };
    enum class Verdict { Take, PassOver, Wait };
    // Under the read lock: whether the running packet match, found among
    // bytes, is one the unit can have sent (see judgeRunning in the source).
    [[nodiscard]] Verdict judgeRunning(std::span<const std::uint8_t> bytes, const PacketMatch<Cmd2>& match) const;
    // Under the read lock: the first running packet among `bytes` to take;
    // none while the first candidate waits for the packet that judges it.
    [[nodiscard]] std::optional<PacketMatch<Cmd2>> findRunningPacket(std::span<const std::uint8_t> bytes);
    // Counts the skipped bytes of the packet reader that were not heartbeats.
    void countSkipped(std::span<const std::uint8_t> skipped);
    // A packet of len bytes was found: the gap before it is settled.
    void settleGap(std::size_t len);
    void CheckFirmwareVersion(std::uint8_t version);
    void answerKeyRequest(std::uint8_t control);
    // A message for the user: modal only where no link lock is held and not
    // on the heartbeat thread; queued through notify otherwise.
    void tell(const std::string& text);
    void log(std::string_view text);
    // Waits in clock time; false when the link is closing.
    bool pause(std::int64_t ms);
    // The short wait of a poll that found nothing.
    bool yieldTurn();
    [[nodiscard]] bool closing() const { return stop_.stop_requested(); }
    [[nodiscard]] std::uint8_t lastMode() const;
    struct RunningModeEntry;
    bool enterRunningMode(std::uint8_t mode, const RunningModeEntry& entry);

    // A key's echo is one heartbeat byte and is easily lost on a bad line;
    // pressing again is then wrong when the unit did act (key 4 would stop
    // the scan it just started, keys 2 and 3 would send the piston up). What
    // the unit would show once it has acted on the key, known before it is sent.
    struct KeyWatch {
        // The mode the key leads to from the mode it is pressed in.
        std::optional<std::uint8_t> mode;
        // Key 4 in manual or auto mode: whether the piston moved before it.
        std::optional<bool> movingBefore;
        // Key 1 answering an open request: the request closes.
        bool requestCloses = false;
        std::int32_t heartbeatsBefore = 0;
        std::uint64_t runningBefore = 0;
    };
    // After the flush, before the key goes out: may read the stream for a
    // moment to learn how the piston moves.
    [[nodiscard]] KeyWatch watchKey(std::uint8_t key);
    [[nodiscard]] bool actedOn(const KeyWatch& watch);
    bool waitForKeyAck(std::uint8_t key, const KeyWatch* watch);
    // The read a wait makes to keep the ring moving: the running packets
    // while the unit streams them, else a settings read.
    void feedRing();
    // Whether the running packets taken since `mark` show the piston moving
    // (true) or still (false), two in a row; none while they do not.
    [[nodiscard]] std::optional<bool> motionSince(std::uint64_t mark);
    // Running packets taken or passed over so far (the mark of motionSince).
    [[nodiscard]] std::uint64_t runningTaken();

    BridgeLibrary& bridge_;
    Clock& clock_;
    Prompter& prompter_;
    WindowPoster* window_;
    const std::filesystem::path workingFolder_;
    const int comPort_;
    const std::uint32_t interByteDelayMs_;
    SampleLock& sampleLock_;
    AppendLog log_;

    const bool ownsHeartbeatThread_;
    BridgeHandle handle_ = 0;
    std::atomic<std::uint64_t> bridgeFailures_{0};

    RecursiveTimedMutex writeLock_;  // no limit: only lock() is used
    RecursiveTimedMutex readLock_;
    ReceiveRing ring_;  // under readLock_
    LinkTraffic traffic_;  // under readLock_
    // Invalid bytes since the last packet found (under readLock_).
    std::uint64_t gapBytes_ = 0;
    // The size of the last packet found, settings or running (under readLock_).
    std::size_t lastPacketLen_ = 0;
    // The last running packet taken (under readLock_).
    std::optional<RunningPoint> lastRunning_;
    // Every running packet taken or passed over, and how many in a row so
    // far showed the piston moving, or still (under readLock_).
    struct MotionSeen {
        std::uint64_t taken = 0;
        bool moving = false;
        std::uint64_t inARow = 0;
        void note(const Cmd2& packet);
    };
    MotionSeen motion_;
    // Running packets a key's echo wait or a settings read took off the line,
    // kept for the next ReadCmd2 so that no sample is lost (under readLock_).
    std::deque<Cmd2> held_;
    static constexpr std::size_t kMaxHeld = 512;
    [[nodiscard]] std::optional<PacketMatch<Cmd2>> findTakenRunning(std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool takeHeld(Cmd2& out);
    [[nodiscard]] bool hasHeld();

    mutable std::mutex stateMutex_;
    std::optional<Cmd0> lastCmd0_;
    std::optional<Cmd1> lastCmd1_;
    std::optional<Cmd2> lastCmd2_;

    // The heartbeat thread's wake-ups: queued settings, a filling ring, stop.
    std::mutex wakeMutex_;
    std::condition_variable_any wake_;
    std::optional<Cmd0Bytes> queuedCmd0_;
    std::atomic<bool> heartbeatBacklog_{false};

    std::atomic<std::int32_t> heartbeatsTransmitted_{0};
    std::atomic<std::int32_t> heartbeatsReceived_{0};
    std::atomic<std::uint8_t> upperLimit_{0};
    std::atomic<std::uint8_t> bit0_{0};
    std::atomic<std::uint8_t> bit2_{0};
    std::atomic<bool> shortPacketMode_{false};
    std::atomic<std::uint8_t> pendingKey_{0};
    std::atomic<int> heartbeatsWithoutEcho_{0};
    std::atomic<int> firmwareMismatches_{0};
    std::atomic<bool> firmwareWarned_{false};
    std::atomic<bool> keyRequestLatch_{false};
    std::atomic<bool> recordingStarted_{false};
    std::atomic<double> positionOffset_{0.0};
    std::atomic<double> targetPosition_{0.0};

    std::mutex observerMutex_;
    Cmd0Observer* cmd0Observer_ = nullptr;
    Cmd1Observer* cmd1Observer_ = nullptr;
    Cmd2Observer* cmd2Observer_ = nullptr;

    // Closing: ends every wait; the destructor then waits for the calls
    // still inside the link to leave.
    std::stop_source stop_;
    std::atomic<int> activeCalls_{0};
    std::mutex callsMutex_;
    std::condition_variable callsDone_;

    std::atomic<std::thread::id> heartbeatThreadId_{};
    std::jthread heartbeatThread_;  // last: started when everything else exists
};

}  // namespace corvane
