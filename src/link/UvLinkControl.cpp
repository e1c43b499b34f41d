// The unit is driven like its own front panel: its mode is learnt from its
// heartbeats, keys are pressed with key packets and confirmed by their echo,
// and settings are sent in setup mode and confirmed by the settings stream.

#include <algorithm>
#include <cstdio>
#include <optional>

#include "link/UvLink.h"

namespace corvane {

namespace {

constexpr std::int64_t kModePollMs = 500;
constexpr std::int64_t kKeySettleMs = 50;
constexpr std::int64_t kKeyAckPollMs = 100;
constexpr int kSampleLockTries = 20;
constexpr std::int64_t kSampleLockTryMs = 10;
constexpr std::int64_t kManualSettleMs = 500;
constexpr std::int64_t kAutoSettleMs = 200;
constexpr std::int64_t kConfigurationMs = 3000;
constexpr std::int64_t kRunningPacketMs = 5000;
constexpr std::int64_t kPcPotReadMs = 2000;
constexpr std::int64_t kPcPotRetryMs = 100;
constexpr std::int64_t kContactSettleMs = 500;
constexpr std::int64_t kKnobMs = 2000;
constexpr std::uint8_t kKnobFullyCounterClockwise = 128;
constexpr int kMinPcValue = 1;
constexpr int kMaxPcValue = 7;

constexpr std::uint8_t kKeyAnswer = 1;
constexpr std::uint8_t kKeyAuto = 2;
constexpr std::uint8_t kKeyManual = 3;
constexpr std::uint8_t kKeyCalibration = 4;
// The same key in manual and auto mode: start or stop of the scan.
constexpr std::uint8_t kKeyScan = 4;
constexpr std::uint8_t kKeySetup = 5;

// How long a press of the scan key may look at the stream first, to learn
// whether the piston moves.
constexpr std::int64_t kMotionLookMs = 2000;

bool isRunningMode(std::uint8_t mode) {
    return mode == kModeManual || mode == kModeAuto || mode == kModeCalibration;
}

// Where a key takes the unit from a mode, where it changes the mode.
std::optional<std::uint8_t> modeAfterKey(std::uint8_t key, std::uint8_t mode) {
    if (mode == kModeSetup) {
        switch (key) {
            case kKeyAuto: return kModeAuto;
            case kKeyManual: return kModeManual;
            case kKeyCalibration: return kModeCalibration;
            default: return std::nullopt;
        }
    }
    if (isRunningMode(mode)) {
        return key == kKeySetup ? std::optional<std::uint8_t>(kModeSetup) : std::nullopt;
    }
    return key == kKeyAnswer ? std::optional<std::uint8_t>(kModeSetup) : std::nullopt;
}

}  // namespace

bool UvLink::WaitForMode(std::uint8_t mode, std::int64_t ms) {
    const CallGuard guard(*this);
    if (!lastCmd1()) {
        if (ms > 0 && !pause(ms)) {
            return false;
        }
        if (!lastCmd1()) {
            return false;
        }
    }
    if (lastMode() == mode) {
        return true;
    }
    const Deadline deadline(clock_, ms);
    while (!deadline.expired()) {
        if (!pause(std::min(kModePollMs, deadline.remainingMs()))) {
            return false;
        }
        if (lastMode() == mode) {
            return true;
        }
    }
    return false;
}

bool UvLink::InSetupMode(std::int64_t ms) { return WaitForMode(kModeSetup, ms); }
bool UvLink::InManualMode(std::int64_t ms) { return WaitForMode(kModeManual, ms); }
bool UvLink::InAutoMode(std::int64_t ms) { return WaitForMode(kModeAuto, ms); }
bool UvLink::InCalibrationMode(std::int64_t ms) { return WaitForMode(kModeCalibration, ms); }

bool UvLink::PressKey(std::uint8_t key, int attempt) {
    const CallGuard guard(*this);
    char line[32];
    std::snprintf(line, sizeof line, "ucKey = %d\n", key);
    log(line);
    if (attempt >= kKeyAttempts) {
        tell("The uv unit did not respond to a command... you may need to restart it.");
        pendingKey_.store(0);
        log("no kelvo response.\n");
        return false;
    }
    bool echoed = false;
    {
        // Held across the whole press: no heartbeat goes out between the key
        // and its echo.
        const std::scoped_lock write(writeLock_);
        if (!pause(kKeySettleMs)) {
            return false;
        }
        FlushReceive();
        const KeyWatch watch = watchKey(key);
        heartbeatsWithoutEcho_.store(0);
        pendingKey_.store(key);
        if (!SendPacket10(BuildKeyPacket(key, lastMode()))) {
            log("failed to send keyboard command.\n");
            pause(kKeySettleMs);
            return false;
        }
        echoed = waitForKeyAck(key, &watch);
        pause(kKeySettleMs);
    }
    // A closing link does not retry and does not ask the user anything. The
    // retry note stands between two sends, not before the give-up.
    if (!echoed && attempt >= 0 && !closing()) {
        if (attempt + 1 < kKeyAttempts) {
            log("trying to press key again.\n");
        }
        return PressKey(key, attempt + 1);
    }
    return echoed;
}

UvLink::KeyWatch UvLink::watchKey(std::uint8_t key) {
    KeyWatch watch;
    watch.heartbeatsBefore = heartbeatsReceived_.load();
    const auto beat = lastCmd1();
    const std::uint8_t mode = beat ? beat->ucUVMenuStatus : kModeNone;
    watch.mode = modeAfterKey(key, mode);
    watch.requestCloses = key == kKeyAnswer && beat && (beat->ucCntlInfo & kCntlKeyRequest) != 0;
    if (key == kKeyScan && (mode == kModeManual || mode == kModeAuto)) {
        const auto mark = runningTaken();
        for (const Deadline look(clock_, kMotionLookMs); !watch.movingBefore && !look.expired();) {
            holdRunningPackets();
            watch.movingBefore = motionSince(mark);
            if (!watch.movingBefore && !yieldTurn()) {
                break;
            }
        }
    }
    watch.runningBefore = runningTaken();
    return watch;
}

bool UvLink::actedOn(const KeyWatch& watch) {
    const auto beat = heartbeatsReceived_.load() != watch.heartbeatsBefore ? lastCmd1() : std::nullopt;
    if (watch.mode && beat && beat->ucUVMenuStatus == *watch.mode) {
        return true;
    }
    if (watch.requestCloses && beat && (beat->ucCntlInfo & kCntlKeyRequest) == 0) {
        return true;
    }
    if (watch.movingBefore) {
        const auto moving = motionSince(watch.runningBefore);
        return moving && *moving != *watch.movingBefore;
    }
    return false;
}

void UvLink::feedRing() {
    if (isRunningMode(lastMode())) {
        holdRunningPackets();
    } else {
        Cmd0 ignored;
        (void)ReadCmd0(ignored);
    }
}

bool UvLink::WaitForKeyAck(std::uint8_t key) { return waitForKeyAck(key, nullptr); }

bool UvLink::waitForKeyAck(std::uint8_t key, const KeyWatch* watch) {
    const CallGuard guard(*this);
    if (key == 0) {
        return true;
    }
    // Pause the acquisition loop if it lets us; go on without it if not.
    std::unique_lock<SampleLock> sample(sampleLock_, std::defer_lock);
    for (int i = 0; i < kSampleLockTries && !sample.owns_lock(); ++i) {
        if (clock_.tryLockFor(sampleLock_, kSampleLockTryMs)) {
            sample = std::unique_lock<SampleLock>(sampleLock_, std::adopt_lock);
        }
    }
    const Deadline deadline(clock_, kKeyAckMs);
    while (!deadline.expired()) {
        if (heartbeatsWithoutEcho_.load() >= kUnansweredHeartbeats) {
            return false;
        }
        // The heartbeat thread only parses what readers bring in.
        feedRing();
        ParseHeartbeat();
        if (pendingKey_.load() == 0) {
            return true;
        }
        if (watch != nullptr && actedOn(*watch)) {
            pendingKey_.store(0);
            log("no echo, but the unit acted on the key.\n");
            return true;
        }
        if (!pause(kKeyAckPollMs)) {
            return false;
        }
    }
    return false;
}

bool UvLink::SendSetupKey() {
    const CallGuard guard(*this);
    return SendPacket10(BuildKeyPacket(kKeySetup, kModeNone));
}

bool UvLink::EnterSetupMode() {
    const CallGuard guard(*this);
    log("entering setup mode.\n");
    FlushReceive();
    if (!lastCmd1()) {
        const Deadline deadline(clock_, kFirstHeartbeatMs);
        while (!lastCmd1() && !deadline.expired()) {
            // Feeds the ring for the heartbeat parse; the packet itself is not wanted.
            Cmd0 ignored;
            (void)ReadCmd0(ignored);
            ParseHeartbeat();
            if (!yieldTurn()) {
                break;
            }
        }
        if (!lastCmd1()) {
            log("no current heartbeat\n");
            return false;
        }
    }
    switch (lastMode()) {
    case kModeSetup:
        shortPacketMode_.store(false);
        log("already in setup mode.\n");
        return true;
    case kModeManual:
    case kModeAuto:
    case kModeCalibration:
        if (PressKey(kKeySetup, 0)) {
            shortPacketMode_.store(false);
            return true;
        }
        return false;
    default:
        return PressKey(kKeyAnswer, -1);
    }
}

// Manual and auto mode are reached the same way, with their own key, pause
// and log lines.
struct UvLink::RunningModeEntry {
    std::uint8_t key;
    std::int64_t settleMs;
    const char* entering;
    const char* already;
    const char* keyFailedInSetup;
    const char* setupFailed;  // null: nothing logged
    const char* keyFailedAfterSetup;
};

bool UvLink::enterRunningMode(std::uint8_t mode, const RunningModeEntry& entry) {
    log(entry.entering);
    if (InSetupMode(0)) {
        if (!PressKey(entry.key, 0)) {
            log(entry.keyFailedInSetup);
            return false;
        }
    } else if (WaitForMode(mode, 0)) {
        shortPacketMode_.store(false);
        log(entry.already);
        return true;
    } else {
        if (!EnterSetupMode()) {
            if (entry.setupFailed != nullptr) {
                log(entry.setupFailed);
            }
            return false;
        }
        if (!PressKey(entry.key, 0)) {
            log(entry.keyFailedAfterSetup);
            return false;
        }
    }
    shortPacketMode_.store(false);
    pause(entry.settleMs);
    return true;
}

bool UvLink::EnterManualMode() {
    const CallGuard guard(*this);
    return enterRunningMode(kModeManual,
                            {kKeyManual, kManualSettleMs, "entering manual mode.\n",
                             "already in manual mode.\n",
                             "Error trying to enter manual mode from setup mode.\n", nullptr,
                             "Error #2 trying to enter manual mode from setup mode.\n"});
}

bool UvLink::EnterAutoMode() {
    const CallGuard guard(*this);
    return enterRunningMode(kModeAuto,
                            {kKeyAuto, kAutoSettleMs, "entering auto mode.\n",
                             "already in auto mode.\n", "error, unable to enter auto mode.\n",
                             "Error, unable to enter setup mode.\n",
                             "error, unable to enter auto mode.\n"});
}

bool UvLink::EnterCalibrationMode() {
    const CallGuard guard(*this);
    if (InCalibrationMode(0)) {
        shortPacketMode_.store(true);
        return true;
    }
    if (InSetupMode(0) || EnterSetupMode()) {
        // The outcome does not depend on the echo: the stream tells.
        PressKey(kKeyCalibration, 0);
        shortPacketMode_.store(true);
        pause(kAutoSettleMs);
        return true;
    }
    shortPacketMode_.store(false);
    return false;
}

bool UvLink::WaitForSettingsEcho(const Cmd0Bytes& sent) {
    const CallGuard guard(*this);
    FlushReceive();
    const Deadline deadline(clock_, kSettingsEchoMs);
    while (!deadline.expired()) {
        Cmd0 received;
        if (ReadCmd0(received) && SettingsEchoMatches(sent, received)) {
            return true;
        }
        if (!yieldTurn()) {
            return false;
        }
    }
    return false;
}

bool UvLink::ReadConfiguration(Cmd0& out) {
    const CallGuard guard(*this);
    FlushReceive();
    if (!EnterSetupMode()) {
        tell("Error, unable to enter setup mode.");
        return false;
    }
    const Deadline deadline(clock_, kConfigurationMs);
    while (!deadline.expired()) {
        if (ReadCmd0(out)) {
            return true;
        }
        ParseHeartbeat();
        if (!yieldTurn()) {
            return false;
        }
    }
    return false;
}

bool UvLink::ReadRunningPacket(Cmd2& out) {
    const CallGuard guard(*this);
    const Deadline deadline(clock_, kRunningPacketMs);
    while (!deadline.expired()) {
        if (ReadCmd2(out)) {
            return true;
        }
        ParseHeartbeat();
        if (!yieldTurn()) {
            return false;
        }
    }
    return false;
}

bool UvLink::SetDutyCycle(double fraction, ScanSettingsChange* changed) {
    const CallGuard guard(*this);
    auto packet = lastCmd0();
    if (!packet) {
        Cmd0 received;
        if (!ReadCmd0(received)) {
            return false;
        }
        packet = received;
    }
    if (!(fraction >= 0.1 && fraction <= 0.9)) {
        return false;
    }
    packet->ucDutyCycleA = static_cast<std::uint8_t>(fraction * 100.0 + 0.5);
    const auto bytes = BuildSettingsChange(*packet);
    if (SendSettings(bytes) && changed != nullptr) {
        changed->dutyCyclePercentA = fraction * 100.0;
        changed->dutyCyclePercentB = (1.0 - fraction) * 100.0;
    }
    return SendSettings(bytes);
}

bool UvLink::GetDutyCycle(double& fraction) const {
    const auto packet = lastCmd0();
    if (!packet) {
        return false;
    }
    fraction = packet->ucDutyCycleA * 0.01;
    return true;
}

bool UvLink::SetPcPot(int value, ScanSettingsChange* changed, int attempt) {
    const CallGuard guard(*this);
    if (attempt >= kKeyAttempts) {
        return false;
    }
    const bool wasManual = InManualMode(0);
    const bool wasCalibration = InCalibrationMode(0);
    if (!EnterSetupMode()) {
        return false;
    }
    if (!lastCmd0()) {
        const Deadline deadline(clock_, kPcPotReadMs);
        Cmd0 received;
        while (!ReadCmd0(received) && !deadline.expired()) {
            if (!yieldTurn()) {
                return false;
            }
        }
        if (!lastCmd0()) {
            return false;
        }
    }
    auto packet = *lastCmd0();
    if (value < kMinPcValue || value > kMaxPcValue) {
        return false;
    }
    packet.ucATODGain = static_cast<std::uint8_t>(value);
    const auto bytes = BuildSettingsChange(packet);
    QueueSettings(bytes);
    if (!waitForQueuedSettings()) {
        return false;
    }
    if (WaitForSettingsEcho(bytes)) {
        if (wasManual) {
            EnterManualMode();
        } else if (wasCalibration) {
            EnterCalibrationMode();
        }
        if (changed != nullptr) {
            changed->pcPotValue = kMaxPcValue - value;
        }
        return true;
    }
    if (!pause(kPcPotRetryMs)) {
        return false;
    }
    return SetPcPot(value, changed, attempt + 1);
}

int UvLink::GetPcPot() {
    const CallGuard guard(*this);
    const bool wasCalibration = InCalibrationMode(0);
    EnterSetupMode();
    if (!lastCmd0()) {
        Cmd0 received;
        if (!ReadCmd0(received)) {
            return -1;
        }
    }
    const auto packet = lastCmd0();
    if (!packet) {
        return -1;
    }
    const int value = std::clamp<int>(packet->ucATODGain, kMinPcValue, kMaxPcValue);
    if (wasCalibration) {
        EnterCalibrationMode();
    }
    return value;
}

void UvLink::GoToUpperLimit(LinkHost& host, bool silent, UpperLimitVariant variant) {
    const CallGuard guard(*this);
    const bool manual = variant == UpperLimitVariant::Manual;
    if (!(manual ? EnterManualMode() : EnterAutoMode())) {
        tell(manual ? "Error, unable to enter manual mode." : "Error, unable to enter auto mode.");
        return;
    }
    if (!PressKey(manual ? kKeyManual : kKeyAuto, 0)) {
        tell("Error, unable to go to upper limit.");
        return;
    }
    const Deadline deadline(clock_, kUpperLimitMs);
    while (!deadline.expired()) {
        Cmd2 packet;
        if (ReadCmd2(packet)) {
            host.showPositionAndSpeed(packet.pistonMm(),
                                      packet.iPistonSpeed * 0.1);
        }
        ParseHeartbeat();
        if (upperLimit_.load() == 0) {
            if (!silent) {
                host.showPositionAndSpeed(0.0, 0.0);
            }
            if (!manual) {
                (void)SendPendingScanDistance(host);
            }
            pause(kContactSettleMs);
            host.setPositionOffset(0.0);
            return;
        }
        if (!yieldTurn()) {
            return;
        }
    }
}

bool UvLink::SendPendingScanDistance(LinkHost& host) {
    const CallGuard guard(*this);
    const double distance = host.pendingScanDistance();
    if (distance <= 0.0) {
        return true;
    }
    Cmd0 settings;
    if (!ReadConfiguration(settings)) {
        return false;
    }
    settings.uiScanDist = static_cast<std::uint16_t>(std::clamp(distance * 100.0, 0.0, 65535.0));
    // Sent is not taken: only the unit's echo clears it, or a unit that let
    // it go would scan the tube's whole length unnoticed.
    const auto packet = BuildSettingsChange(settings);
    if (!host.sendSettings(packet) || !WaitForSettingsEcho(packet)) {
        return false;
    }
    host.clearPendingScanDistance();
    return true;
}

void UvLink::CheckKnob() {
    const CallGuard guard(*this);
    FlushReceive();
    if (!EnterSetupMode()) {
        tell("Error, unable to enter setup mode.");
        return;
    }
    const Deadline deadline(clock_, kKnobMs);
    while (!deadline.expired()) {
        Cmd0 packet;
        if (ReadCmd0(packet)) {
            if (packet.ucPotPosition != kKnobFullyCounterClockwise) {
                tell("Please ensure that the knob is fully CCW.");
            }
            return;
        }
        if (!yieldTurn()) {
            return;
        }
    }
}

}  // namespace corvane
