#pragma once

// The auto-scan sequences of the main window: the move to the target
// position, the scan start with its 25 mm limit, and the meniscus search that
// START RECORD runs before a recorded auto-scan. In auto mode the unit drives
// the piston; these follow it through the running-data stream.
//
// Each sequence is a plain blocking function, run off the window's thread
// (the window keeps painting meanwhile). The abort request (the STOP command)
// may be set from any thread and ends a sequence within one turn. While a
// sequence reads the unit itself it holds the receive thread, so that no two
// readers share the stream.

#include <atomic>
#include <cstdint>
#include <functional>

#include "runs/SampleRecord.h"

namespace corvane {

class Clock;
class Prompter;
class ReceiveHolds;
class RunDisplay;
class SampleHandler;
class SampleReader;

struct AutoScanSeams {
    Clock& clock;
    Prompter& prompter;
    // Position and speed, the redraws.
    RunDisplay& display;
    // Where the samples a sequence reads go: the window's sample handler.
    SampleHandler& samples;
    ReceiveHolds& holds;
};

class AutoScan {
public:
    // Keys of the running modes: 3 sends the piston to the tube top (auto
    // mode), 4 starts or stops the scan (manual and auto mode).
    static constexpr std::uint8_t kKeyTubeTop = 3;
    static constexpr std::uint8_t kKeyStartScan = 4;

    static constexpr double kScanLimitMm = 25.0;
    static constexpr std::int64_t kScanLimitMs = 120000;
    static constexpr std::int64_t kPacketWaitMs = 3000;
    static constexpr int kBaselinePackets = 5;
    // The meniscus: channel A's sample reading falls below 96/100 of the one
    // before it.
    static constexpr std::uint64_t kMeniscusNumerator = 96;
    static constexpr std::uint64_t kMeniscusDenominator = 100;
    static constexpr std::int64_t kRedrawMs = 500;
    // A scan whose piston has moved and then not gone further for this long
    // has stopped short of the limit.
    static constexpr std::int64_t kStillMs = 2000;
    static constexpr std::int64_t kIdleMs = 2;

    explicit AutoScan(const AutoScanSeams& seams);

    // --- The window's flags ---
    void setSelected(bool selected) { selected_.store(selected); }
    [[nodiscard]] bool selected() const { return selected_.load(); }
    [[nodiscard]] bool busy() const { return busy_.load(); }
    [[nodiscard]] bool scanRunning() const { return scanRunning_.load(); }
    // The last START RECORD searched the meniscus (false: started without).
    [[nodiscard]] bool meniscusSearched() const { return meniscusSearched_.load(); }
    // STOP: the sequence running ends; the next sequence clears the request.
    void requestAbort() { abort_.store(true); }
    [[nodiscard]] bool abortRequested() const { return abort_.load(); }

    // --- Sequences ---
    // Auto mode, key 3 (the piston to the tube top), then follows the piston
    // until it reaches the link's target position. Ends early when no packet
    // comes within 3000 ms, when the piston stands still for as long below the
    // target, or on abort (false).
    bool MoveToTargetPosition(SampleReader& reader);
    // Key 4 in auto mode, then follows the scan for up to 120 s: true when the
    // position reaches 25.0 mm, turns back, or stops short of it; false on
    // abort or at the time limit.
    bool StartAutoScan(SampleReader& reader);
    // Nothing to do (true) unless auto-scan is selected. Otherwise reads a
    // baseline of five channel-A packets, then follows the scan until channel
    // A's sample reading drops below 0.96 of the one before: that position
    // becomes position zero and refresh (the window's REFRESH) runs.
    bool FindMeniscus(SampleReader* reader, const std::function<void()>& refresh);

private:
    // Position and speed of the link's last running packet, shown; false
    // when there is none.
    bool showLastPacket(SampleReader& reader, double& positionMm);
    void takeSample(const SampleRecord& record, std::int64_t& lastRedrawMs);

    Clock& clock_;
    Prompter& prompter_;
    RunDisplay& display_;
    SampleHandler& samples_;
    ReceiveHolds& holds_;

    std::atomic<bool> selected_{false};
    std::atomic<bool> busy_{false};
    std::atomic<bool> scanRunning_{false};
    std::atomic<bool> meniscusSearched_{false};
    std::atomic<bool> abort_{false};
};

}  // namespace corvane
