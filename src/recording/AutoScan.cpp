#include "recording/AutoScan.h"

#include <optional>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "recording/SampleReader.h"
#include "recording/ReceiveThread.h"
#include "recording/RunDisplay.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

// Sets a flag for the length of a scope.
class FlagScope {
public:
    explicit FlagScope(std::atomic<bool>& flag) : flag_(flag) { flag_.store(true); }
    ~FlagScope() { release(); }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

    // Clears the flag before the scope ends.
    void release() {
        if (held_) {
            flag_.store(false);
            held_ = false;
        }
    }

private:
    std::atomic<bool>& flag_;
    bool held_ = true;
};

constexpr const char* kStartFailed = "Error sending command to Kelvo to start scan.";

[[nodiscard]] double packetPosition(const Cmd2& packet) {
    return packet.pistonMm();
}

[[nodiscard]] double packetSpeed(const Cmd2& packet) { return packet.iPistonSpeed * 0.1; }

}  // namespace

AutoScan::AutoScan(const AutoScanSeams& seams)
    : clock_(seams.clock),
      prompter_(seams.prompter),
      display_(seams.display),
      samples_(seams.samples),
      holds_(seams.holds) {}

bool AutoScan::showLastPacket(SampleReader& reader, double& positionMm) {
    const UvLink* link = reader.link();
    const auto packet = link != nullptr ? link->lastCmd2() : std::nullopt;
    if (!packet) {
        return false;
    }
    positionMm = packetPosition(*packet);
    display_.showPositionAndSpeed(positionMm, packetSpeed(*packet));
    return true;
}

void AutoScan::takeSample(const SampleRecord& record, std::int64_t& lastRedrawMs) {
    samples_.onSample(record);
    const auto now = clock_.nowMs();
    if (now - lastRedrawMs >= kRedrawMs) {
        lastRedrawMs = now;
        display_.redraw();
    }
}

bool AutoScan::MoveToTargetPosition(SampleReader& reader) {
    UvLink* link = reader.link();
    if (link == nullptr) {
        return false;
    }
    abort_.store(false);
    const FlagScope busy(busy_);
    const ReceiveHolds::Guard hold(holds_, ReceiveHolds::Kind::Window, &clock_, &reader);
    link->FlushReceive();
    if (!link->EnterAutoMode()) {
        return false;
    }
    if (!link->PressKey(kKeyTubeTop, 0)) {
        prompter_.message(kStartFailed);
        return false;
    }
    const double target = link->GetTargetPosition();
    double position = 0.0;
    double lastMoved = position;
    std::int64_t lastMovedMs = clock_.nowMs();
    while (position < target) {
        std::optional<Cmd2> packet;
        for (const Deadline wait(clock_, kPacketWaitMs); !packet && !wait.expired();) {
            if (abort_.load()) {
                return false;
            }
            Cmd2 read;
            if (link->ReadCmd2(read)) {
                packet = read;
            } else if (!link->ParseHeartbeat()) {
                clock_.sleepMs(kIdleMs);
            }
        }
        if (!packet) {
            break;
        }
        position = packetPosition(*packet);
        display_.showPositionAndSpeed(position, packetSpeed(*packet));
        // A target beyond where the unit takes the piston would otherwise be
        // waited for as long as the unit streams.
        if (position != lastMoved) {
            lastMoved = position;
            lastMovedMs = clock_.nowMs();
        } else if (clock_.nowMs() - lastMovedMs >= kPacketWaitMs) {
            break;
        }
    }
    return true;
}

bool AutoScan::StartAutoScan(SampleReader& reader) {
    UvLink* link = reader.link();
    if (link == nullptr) {
        return false;
    }
    abort_.store(false);
    {
        const ReceiveHolds::Guard hold(holds_, ReceiveHolds::Kind::Window, &clock_, &reader);
        link->FlushReceive();
        if (!link->InAutoMode(0)) {
            prompter_.message("Error, Kelvo must be in auto mode in order to begin autoscan.");
            return false;
        }
        if (!link->PressKey(kKeyStartScan, 0)) {
            prompter_.message(kStartFailed);
            return false;
        }
    }
    const FlagScope running(scanRunning_);
    // The scan takes the samples itself: the receive thread waits.
    const ReceiveHolds::Guard hold(holds_, ReceiveHolds::Kind::Window);
    SampleRecord record = reader.currentRecord();
    std::optional<double> previous;
    bool moved = false;
    std::int64_t lastRedrawMs = clock_.nowMs();
    std::int64_t lastAdvanceMs = clock_.nowMs();
    const Deadline limit(clock_, kScanLimitMs);
    while (!limit.expired()) {
        if (abort_.load()) {
            return false;
        }
        // START RECORD's meniscus search reads the stream meanwhile; the
        // scan goes on once it is done, with the piston still under watch.
        if (holds_.held(ReceiveHolds::Kind::Meniscus)) {
            clock_.sleepMs(kIdleMs);
            lastAdvanceMs = clock_.nowMs();
            continue;
        }
        if (reader.GetSample(record) != SampleReader::kOk) {
            clock_.sleepMs(kIdleMs);
            continue;
        }
        takeSample(record, lastRedrawMs);
        double position = 0.0;
        if (!showLastPacket(reader, position)) {
            continue;
        }
        if (position >= kScanLimitMm) {
            return true;
        }
        if (previous) {
            if (position < *previous) {
                return true;  // the piston has turned back
            }
            if (position > *previous) {
                moved = true;
                lastAdvanceMs = clock_.nowMs();
            } else if (moved && clock_.nowMs() - lastAdvanceMs >= kStillMs) {
                return true;  // stopped short of the limit
            }
        }
        previous = position;
    }
    return false;
}

bool AutoScan::FindMeniscus(SampleReader* reader, const std::function<void()>& refresh) {
    if (!selected_.load()) {
        meniscusSearched_.store(false);
        return true;
    }
    UvLink* link = reader != nullptr ? reader->link() : nullptr;
    if (link == nullptr) {
        return false;
    }
    abort_.store(false);
    meniscusSearched_.store(true);
    FlagScope busy(busy_);
    link->SetPositionOffset(0.0);
    if (!link->InAutoMode(0)) {
        prompter_.message("Error, Kelvo is no longer in auto mode.");
        return false;
    }
    std::optional<ReceiveHolds::Guard> hold(std::in_place, holds_, ReceiveHolds::Kind::Meniscus,
                                            &clock_, reader);

    // The baseline: channel B's packets do not count.
    int baseline = 0;
    std::uint64_t previous = 0;
    while (baseline < kBaselinePackets) {
        Cmd2 packet;
        if (!link->ReadRunningPacket(packet)) {
            prompter_.message(baseline > 0
                                  ? formatText("Only got %d scanning data packets. You may need to "
                                               "restart the Kelvo.",
                                               baseline)
                                  : std::string("Error, unable to get any scanning data packets. You "
                                                "may need to restart the Kelvo."));
            return false;
        }
        if (packet.ucCmd2CntlInfo == kCmd2ChannelA) {
            ++baseline;
            previous = packet.ulATODADataSample;
        }
    }

    SampleRecord record = reader->currentRecord();
    std::int64_t lastRedrawMs = clock_.nowMs();
    const Deadline limit(clock_, kScanLimitMs);
    while (!limit.expired()) {
        if (abort_.load()) {
            return false;
        }
        if (reader->GetSample(record) != SampleReader::kOk) {
            clock_.sleepMs(kIdleMs);
            continue;
        }
        takeSample(record, lastRedrawMs);
        double position = 0.0;
        if (!showLastPacket(*reader, position)) {
            continue;
        }
        const auto packet = link->lastCmd2();
        if (!packet || packet->ucCmd2CntlInfo != kCmd2ChannelA) {
            continue;
        }
        const std::uint64_t reading = packet->ulATODADataSample;
        if (reading * kMeniscusDenominator < previous * kMeniscusNumerator) {
            link->SetPositionOffset(position);
            hold.reset();
            busy.release();
            if (refresh) {
                refresh();
            }
            return true;
        }
        previous = reading;
    }
    prompter_.message("Error, unable to find meniscus.");
    return false;
}

}  // namespace corvane
