#pragma once

// What the link tests share: a unit that sends exactly the bytes a test
// scripts, an acquisition loop like the one that will own the link, and a
// bench that builds a link against a simulated rig.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "RecordingPoster.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "link/UvLink.h"
#include "sim/SimDevice.h"
#include "sim/SimRig.h"

namespace corvane::test {

// A device that sends what the test tells it: bytes at once, and optionally a
// heartbeat every 1000 ms from the time it is set.
class ScriptedUnit : public SimDevice {
public:
    explicit ScriptedUnit(Clock& clock);

    void inject(std::span<const std::uint8_t> bytes);
    // Starts (or with nullopt stops) a heartbeat every 1000 ms, the first
    // after firstAfterMs.
    void setHeartbeat(std::optional<Cmd1> beat, std::int64_t firstAfterMs = 1000);
    // Everything the PC wrote, in order.
    [[nodiscard]] std::vector<std::uint8_t> received();

protected:
    void advanceTo(std::int64_t nowMs) override;
    void receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) override;
    [[nodiscard]] std::optional<std::int64_t> nextEventMs() const override;

private:
    std::optional<Cmd1> beat_;
    std::int64_t nextBeatMs_ = 0;
    std::vector<std::uint8_t> received_;
};

// A heartbeat from the unit.
[[nodiscard]] Cmd1 UnitBeat(std::uint8_t mode, std::uint8_t key = 0, std::uint8_t control = 0,
                            std::uint8_t version = kMenuVersion);

// The key packets a bridge was given, in order: single-byte writes joined
// and split into packets (heartbeats, key 0, left out).
[[nodiscard]] std::vector<std::uint8_t> KeysWritten(const SimBridgeLibrary& bridge);
// The PC heartbeats written, as the clock times of their first bytes.
[[nodiscard]] std::vector<std::int64_t> HeartbeatTimes(const SimBridgeLibrary& bridge);
// Every settings packet written.
[[nodiscard]] std::vector<Cmd0Bytes> SettingsWritten(const SimBridgeLibrary& bridge);
// The bridge calls other than reads and writes, as text ("purge(2, 3)").
[[nodiscard]] std::vector<std::string> SetupCalls(const SimBridgeLibrary& bridge);
// Lines of "pressKeyLog.txt" that are not timestamp lines.
[[nodiscard]] std::vector<std::string> KeyLogLines(const TempDir& folder);

// The receive loop the acquisition code will run, on its own thread.
class AcquisitionLoop {
public:
    AcquisitionLoop(UvLink& link, Clock& clock);
    ~AcquisitionLoop();
    AcquisitionLoop(const AcquisitionLoop&) = delete;
    AcquisitionLoop& operator=(const AcquisitionLoop&) = delete;

    [[nodiscard]] int packets() const { return packets_.load(); }
    // The longest time in clock ms between two packets so far.
    [[nodiscard]] std::int64_t longestGapMs() const { return longestGapMs_.load(); }

private:
    void run(std::stop_token stop);

    UvLink& link_;
    Clock& clock_;
    std::atomic<int> packets_{0};
    std::atomic<std::int64_t> longestGapMs_{0};
    std::jthread thread_;
};

// A rig, the seams and a link on it. Build the link with open() once the
// rig is set up; it goes before the rig.
struct LinkBench {
    explicit LinkBench(Clock& clock, SimRigConfig config = {});
    ~LinkBench();

    UvLink& open(bool heartbeatThread, int comPort = 3, std::uint32_t interByteDelayMs = 2);
    void close() { link.reset(); }
    // Reads until the link has parsed a heartbeat, so it knows the unit's mode.
    void hearUnit();

    Clock& clock;
    TempDir folder;
    ScriptedPrompter prompter;
    RecordingPoster poster;
    SampleLock sampleLock;
    SimRig rig;
    std::unique_ptr<UvLink> link;
};

// A link on a scripted unit (COM 5), no heartbeat thread.
struct ScriptedLink {
    explicit ScriptedLink(std::uint32_t interByteDelayMs = 2);
    ~ScriptedLink();

    // Reads until n settings packets came or `reads` reads were made.
    std::vector<Cmd0> readCmd0s(int n, int reads = 20);
    // The unit sends one heartbeat; the link reads and parses it.
    bool feedBeat(const Cmd1& beat);

    ManualClock clock;
    ScriptedUnit unit;
    SimBridgeLibrary bridge;
    TempDir folder;
    ScriptedPrompter prompter;
    RecordingPoster poster;
    SampleLock sampleLock;
    std::unique_ptr<UvLink> link;
};

}  // namespace corvane::test
