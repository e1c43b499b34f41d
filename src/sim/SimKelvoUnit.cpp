#include "sim/SimKelvoUnit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace corvane {

namespace {

constexpr double kHeartbeatPeriodMs = 1000.0;
// Shortest stream period, whatever integration time the PC sets.
constexpr double kMinStreamPeriodMs = 20.0;
// After a long time without anyone looking, older packets are not worked
// out at all: they would only overflow the bridge's buffer.
constexpr double kCatchUpMs = 10000.0;
// The readings of a packet are taken this much before the end of the
// channel's share, the time the PC's position formula takes off.
constexpr double kReadingLeadMs = 10.0;
constexpr double kNever = std::numeric_limits<double>::infinity();
constexpr double kAtLimitMm = 0.0005;

bool isRunningMode(std::uint8_t mode) {
    return mode == kModeManual || mode == kModeAuto || mode == kModeCalibration;
}

std::uint32_t toCounts(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= static_cast<double>(kMaxAtodReading)) {
        return kMaxAtodReading;
    }
    return static_cast<std::uint32_t>(std::lround(value));
}

}  // namespace

SimKelvoUnit::SimKelvoUnit(Clock& clock, SimKelvoConfig config)
    : SimKelvoUnit(clock, std::move(config), SimProfile()) {}

SimKelvoUnit::SimKelvoUnit(Clock& clock, SimKelvoConfig config, SimProfile profile)
    : SimDevice(clock, config.seed),
      config_(std::move(config)),
      profile_(std::move(profile)),
      noise_(config_.seed),
      mode_(config_.textLineMode ? kModeManual : config_.powerOnMode),
      menuVersion_(config_.menuVersion),
      settings_(config_.settings),
      knob_(config_.knobPosition),
      medium_(config_.medium),
      ledA_(std::clamp(config_.ledPositionA, kSimLedMin, kSimLedMax)),
      ledB_(std::clamp(config_.ledPositionB, kSimLedMin, kSimLedMax)) {
    const auto now = static_cast<double>(clock.nowMs());
    pistonMs_ = now;
    pistonMm_ = std::clamp(config_.pistonStartMm, 0.0, config_.lowerLimitMm);
    cycleStartMs_ = now;
    nextHeartbeatMs_ = config_.textLineMode ? kNever
                                            : now + static_cast<double>(config_.heartbeatPhaseMs);
    if (config_.textLineMode) {
        // The plain-port unit runs one scan from power-on so its lines show a profile.
        scanEndMm_ = std::min(pistonMm_ + settings_.uiScanDist / 100.0, config_.lowerLimitMm);
        motion_ = Motion::Scan;
    }
}

// ---- public, thread-safe --------------------------------------------------

std::uint8_t SimKelvoUnit::mode() {
    return inspect([&] { return mode_; });
}

void SimKelvoUnit::setMode(std::uint8_t mode) {
    mutate([&] { enterMode(mode, static_cast<double>(clock().nowMs())); });
}

double SimKelvoUnit::pistonPositionMm() {
    return inspect([&] { return pistonMm_; });
}

double SimKelvoUnit::pistonSpeedMmPerS() {
    return inspect([&] { return velocityMmPerS(); });
}

bool SimKelvoUnit::atUpperLimit() {
    return inspect([&] { return pistonMm_ <= kAtLimitMm; });
}

void SimKelvoUnit::setPistonPositionMm(double mm) {
    mutate([&] {
        pistonMm_ = std::clamp(mm, 0.0, config_.lowerLimitMm);
        motion_ = Motion::None;
        scanEndMm_.reset();
    });
}

Cmd0Settings SimKelvoUnit::settings() {
    return inspect([&] { return settings_; });
}

void SimKelvoUnit::setSettings(const Cmd0Settings& settings) {
    mutate([&] {
        settings_ = settings;
        cycleStartMs_ = static_cast<double>(clock().nowMs());
        channelASent_ = false;
    });
}

std::uint8_t SimKelvoUnit::knobPosition() {
    return inspect([&] { return knob_; });
}

void SimKelvoUnit::setKnobPosition(std::uint8_t position) {
    mutate([&] { knob_ = position; });
}

void SimKelvoUnit::setMenuVersion(std::uint8_t version) {
    mutate([&] { menuVersion_ = version; });
}

void SimKelvoUnit::setStatusBits(bool bit0, bool bit2) {
    mutate([&] {
        statusBit0_ = bit0;
        statusBit2_ = bit2;
    });
}

void SimKelvoUnit::requestKey1() {
    mutate([&] { keyRequest_ = true; });
}

void SimKelvoUnit::setMedium(SimMedium medium) {
    mutate([&] {
        medium_ = medium;
        needlesLent_ = false;
    });
}

void SimKelvoUnit::lendNeedles(SimMedium medium) {
    mutate([&] {
        medium_ = medium;
        needlesLent_ = medium != SimMedium::Tube;
    });
}

SimMedium SimKelvoUnit::medium() {
    return inspect([&] { return medium_; });
}

void SimKelvoUnit::setLedPosition(SimChannel channel, double position) {
    const double clamped = std::clamp(position, kSimLedMin, kSimLedMax);
    mutate([&] { (channel == SimChannel::A ? ledA_ : ledB_) = clamped; });
}

double SimKelvoUnit::ledPosition(SimChannel channel) {
    return inspect([&] { return channel == SimChannel::A ? ledA_ : ledB_; });
}

double SimKelvoUnit::ledGain(double position) {
    return 0.5 + std::clamp(position, kSimLedMin, kSimLedMax) / 100.0;
}

std::vector<std::uint8_t> SimKelvoUnit::acceptedKeys() {
    return inspect([&] { return acceptedKeys_; });
}

int SimKelvoUnit::pcHeartbeatsReceived() {
    return inspect([&] { return pcHeartbeats_; });
}

int SimKelvoUnit::settingsReceived() {
    return inspect([&] { return settingsReceived_; });
}

int SimKelvoUnit::pingsAnswered() {
    return inspect([&] { return pings_; });
}

SimPacketCount SimKelvoUnit::packetsSent(PacketKind kind) {
    return inspect([&] { return sent_[static_cast<std::size_t>(kind)]; });
}

int SimKelvoUnit::settingsRefused() {
    return inspect([&] { return settingsRefused_; });
}

void SimKelvoUnit::count(PacketKind kind, bool whole) {
    auto& counted = sent_[static_cast<std::size_t>(kind)];
    ++counted.sent;
    counted.whole += whole ? 1 : 0;
}

double SimKelvoUnit::absorbanceAt(SimChannel channel, double pistonMm) {
    return inspect([&] { return absorbanceLocked(channel, pistonMm); });
}

// ---- the model (device lock held) -----------------------------------------

std::optional<std::int64_t> SimKelvoUnit::nextEventMs() const {
    double next = nextHeartbeatMs_;
    if (streaming()) {
        const double period = periodMs();
        const double stream = (isRunningMode(mode_) && !config_.textLineMode && !channelASent_)
                                  ? cycleStartMs_ + period * shareOf(SimChannel::A)
                                  : cycleStartMs_ + period;
        next = std::min(next, stream);
    }
    if (next == kNever) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(std::ceil(next));
}

void SimKelvoUnit::advanceTo(std::int64_t nowMs) {
    const auto now = static_cast<double>(nowMs);
    if (nextHeartbeatMs_ != kNever && now - nextHeartbeatMs_ > kCatchUpMs) {
        const double skipped = std::floor((now - kCatchUpMs - nextHeartbeatMs_) / kHeartbeatPeriodMs);
        nextHeartbeatMs_ += skipped * kHeartbeatPeriodMs;
    }
    if (streaming() && now - cycleStartMs_ > kCatchUpMs) {
        const double period = periodMs();
        cycleStartMs_ += std::floor((now - kCatchUpMs - cycleStartMs_) / period) * period;
        channelASent_ = false;
    }
    for (;;) {
        double stream = kNever;
        if (streaming()) {
            const double period = periodMs();
            stream = (isRunningMode(mode_) && !config_.textLineMode && !channelASent_)
                         ? cycleStartMs_ + period * shareOf(SimChannel::A)
                         : cycleStartMs_ + period;
        }
        const double t = std::min(nextHeartbeatMs_, stream);
        if (t > now) {
            break;
        }
        advancePiston(t);
        if (t == nextHeartbeatMs_) {
            sendHeartbeat(t);
            nextHeartbeatMs_ += kHeartbeatPeriodMs;
        } else {
            sendStreamPacket(t);
        }
    }
    advancePiston(now);
}

void SimKelvoUnit::receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) {
    if (!lineMatches(config_.baudRate)) {
        return;
    }
    for (const auto byte : bytes) {
        if (config_.textLineMode) {
            if (byte == 0) {
                const std::uint8_t pong = 1;
                emit(std::span(&pong, 1));
                ++pings_;
            }
            continue;
        }
        // A sliding window of the last 44 bytes: garbage from the PC side
        // never grows it, and a packet is recognised the moment it is whole.
        if (inboxCount_ == inbox_.size()) {
            std::copy(inbox_.begin() + 1, inbox_.end(), inbox_.begin());
            --inboxCount_;
        }
        inbox_[inboxCount_++] = byte;
        if (inboxCount_ >= kCmd1Size) {
            Cmd1 cmd1;
            const auto tail = std::span<const std::uint8_t, kCmd1Size>(
                inbox_.data() + inboxCount_ - kCmd1Size, kCmd1Size);
            if (ValidateCmd1(tail, cmd1)) {
                inboxCount_ = 0;
                handleCmd1(cmd1, nowMs);
                continue;
            }
        }
        if (inboxCount_ == kCmd0Size) {
            Cmd0 cmd0;
            if (ValidateCmd0(std::span<const std::uint8_t, kCmd0Size>(inbox_), cmd0)) {
                inboxCount_ = 0;
                handleCmd0(cmd0, nowMs);
            }
        }
    }
}

void SimKelvoUnit::handleCmd1(const Cmd1& packet, std::int64_t nowMs) {
    const auto key = packet.ucUVKeyPressed;
    if (key == 0) {
        ++pcHeartbeats_;
        return;
    }
    if (key > 5 || faultsLocked().ignoreKeys) {
        return;
    }
    acceptKey(key, static_cast<double>(nowMs));
}

void SimKelvoUnit::handleCmd0(const Cmd0& packet, std::int64_t nowMs) {
    if (mode_ != kModeSetup || packet.ucATODGain < 1 || packet.ucDutyCycleA > 100) {
        return;
    }
    if (takeSettingsRefusal()) {
        ++settingsRefused_;
        return;
    }
    // A change of one setting comes back with offsets 16 to 42 cleared: a
    // zero there means "unchanged", or every pC or duty change would wipe
    // the tube geometry that the auto-mode moves need.
    const auto previous = settings_;
    settings_ = SettingsOf(packet);
    if (settings_.uiTubeTopPistonPos == 0) {
        settings_.uiTubeTopPistonPos = previous.uiTubeTopPistonPos;
    }
    if (settings_.uiTubeEndPistonPos == 0) {
        settings_.uiTubeEndPistonPos = previous.uiTubeEndPistonPos;
    }
    ++settingsReceived_;
    cycleStartMs_ = static_cast<double>(nowMs);
    channelASent_ = false;
}

void SimKelvoUnit::acceptKey(std::uint8_t key, double atMs) {
    acceptedKeys_.push_back(key);
    echoKey_ = key;
    if (key == 1) {
        keyRequest_ = false;
    }
    switch (mode_) {
    case kModeSetup:
        if (key == 2) {
            enterMode(kModeAuto, atMs);
        } else if (key == 3) {
            enterMode(kModeManual, atMs);
        } else if (key == 4) {
            enterMode(kModeCalibration, atMs);
        }
        break;
    case kModeManual:
    case kModeAuto:
        if (key == 5) {
            enterMode(kModeSetup, atMs);
        } else if (key == 4) {
            if (motion_ == Motion::Scan) {
                motion_ = Motion::None;  // pause; key 4 again resumes
            } else {
                startMotion(Motion::Scan, atMs);
            }
        } else if ((mode_ == kModeManual && key == 3) || (mode_ == kModeAuto && key == 2)) {
            startMotion(Motion::Up, atMs);
        } else if (mode_ == kModeAuto && key == 3) {
            startMotion(Motion::ToTubeTop, atMs);
        }
        break;
    case kModeCalibration:
        if (key == 5) {
            enterMode(kModeSetup, atMs);
        }
        break;
    default:
        if (key == 1) {
            enterMode(kModeSetup, atMs);
        }
        break;
    }
}

void SimKelvoUnit::enterMode(std::uint8_t mode, double atMs) {
    advancePiston(atMs);
    if (needlesLent_ && (mode == kModeManual || mode == kModeAuto)) {
        medium_ = SimMedium::Tube;
        needlesLent_ = false;
    }
    mode_ = mode;
    motion_ = Motion::None;
    cycleStartMs_ = atMs;
    channelASent_ = false;
}

void SimKelvoUnit::startMotion(Motion motion, double atMs) {
    advancePiston(atMs);
    if (motion == Motion::Scan) {
        if (!scanEndMm_ || pistonMm_ >= *scanEndMm_ - kAtLimitMm) {
            scanEndMm_ = std::min(pistonMm_ + settings_.uiScanDist / 100.0, config_.lowerLimitMm);
        }
        if (settings_.scanSpeed <= 0) {
            return;  // armed, but a zero speed moves nothing
        }
    } else {
        scanEndMm_.reset();
    }
    motion_ = motion;
}

double SimKelvoUnit::velocityMmPerS() const {
    switch (motion_) {
    case Motion::Up:
        return -config_.upSpeedMmPerS;
    case Motion::ToTubeTop: {
        const double target = settings_.uiTubeTopPistonPos / 100.0;
        return target > pistonMm_ ? config_.moveSpeedMmPerS
               : target < pistonMm_ ? -config_.moveSpeedMmPerS
                                    : 0.0;
    }
    case Motion::Scan:
        return settings_.scanSpeed > 0 ? settings_.scanSpeed / 10.0 : 0.0;
    case Motion::None:
        break;
    }
    if (mode_ == kModeManual && knob_ > 128) {
        return (knob_ - 128) / 127.0 * config_.jogMaxSpeedMmPerS;
    }
    return 0.0;
}

double SimKelvoUnit::motionEndMm() const {
    switch (motion_) {
    case Motion::Up:
        return 0.0;
    case Motion::ToTubeTop:
        return settings_.uiTubeTopPistonPos / 100.0;
    case Motion::Scan:
        return scanEndMm_.value_or(pistonMm_);
    case Motion::None:
        break;
    }
    return config_.lowerLimitMm;
}

void SimKelvoUnit::advancePiston(double tMs) {
    while (tMs > pistonMs_) {
        const double v = velocityMmPerS();
        if (v == 0.0) {
            pistonMs_ = tMs;
            return;
        }
        const double end = v > 0.0 ? std::min(motionEndMm(), config_.lowerLimitMm)
                                   : std::max(motionEndMm(), 0.0);
        const double distance = end - pistonMm_;
        if (distance * v <= 0.0) {
            // Already at (or past) where this motion ends.
            if (motion_ == Motion::None) {
                pistonMs_ = tMs;
                return;
            }
            if (motion_ == Motion::Scan) {
                scanEndMm_.reset();
            }
            motion_ = Motion::None;
            continue;
        }
        const double reachMs = pistonMs_ + distance / v * 1000.0;
        if (reachMs >= tMs) {
            pistonMm_ += v * (tMs - pistonMs_) / 1000.0;
            pistonMs_ = tMs;
            return;
        }
        pistonMm_ = end;
        pistonMs_ = reachMs;
        if (motion_ == Motion::Scan) {
            scanEndMm_.reset();
        }
        if (motion_ == Motion::None) {
            pistonMs_ = tMs;  // jogging against the lower limit
            return;
        }
        motion_ = Motion::None;
    }
}

bool SimKelvoUnit::streaming() const {
    return config_.textLineMode || mode_ == kModeSetup || isRunningMode(mode_);
}

double SimKelvoUnit::periodMs() const {
    return std::max(static_cast<double>(settings_.uiIntegrationTime), kMinStreamPeriodMs);
}

double SimKelvoUnit::shareOf(SimChannel channel) const {
    const double a = std::min(settings_.ucDutyCycleA / 100.0, 1.0);
    return channel == SimChannel::A ? a : 1.0 - a;
}

double SimKelvoUnit::absorbanceLocked(SimChannel channel, double pistonMm) const {
    switch (medium_) {
    case SimMedium::Water:
        return 0.0;
    case SimMedium::Air:
        return config_.optics.airAbsorbance;
    case SimMedium::Reference:
        return channel == SimChannel::A ? kSimReferenceOdA : kSimReferenceOdB;
    case SimMedium::Tube:
        break;
    }
    if (pistonMm < config_.meniscusMm) {
        return config_.optics.airAbsorbance;
    }
    return profile_.absorbance(channel, pistonMm - config_.meniscusMm);
}

double SimKelvoUnit::positionAtMs(double tMs) const {
    if (tMs >= pistonMs_) {
        return pistonMm_;
    }
    const double back = pistonMm_ - velocityMmPerS() * (pistonMs_ - tMs) / 1000.0;
    return std::clamp(back, 0.0, config_.lowerLimitMm);
}

SimKelvoUnit::Reading SimKelvoUnit::readingAt(SimChannel channel, double emitMs) {
    const double share = shareOf(channel);
    const double integrationMs = settings_.uiIntegrationTime;
    const double readMs = emitMs - integrationMs * share / 2.0 - kReadingLeadMs;
    const double absorbance = absorbanceLocked(channel, positionAtMs(readMs));
    const double pC = std::clamp<double>(settings_.ucATODGain, 1.0, 7.0);
    const double scale = integrationMs * share / pC;
    const auto& optics = config_.optics;
    const bool a = channel == SimChannel::A;
    // A slide at its end switches the LED off: neither beam has light (the
    // unused channel of a one-wavelength setup).
    const double led = a ? ledA_ : ledB_;
    const double lit = led > kSimLedMin ? 1.0 : 0.0;
    const double source = (a ? optics.sourceRateA : optics.sourceRateB) * ledGain(led) * scale * lit;
    const double sample =
        (a ? optics.sampleRateA : optics.sampleRateB) * scale * std::pow(10.0, -absorbance) * lit;
    auto noisy = [&](double counts) {
        return counts * (1.0 + optics.noiseFraction * noise_.gaussian()) +
               optics.noiseCounts * noise_.gaussian();
    };
    const double noisySample = noisy(sample);
    const double noisySource = noisy(source);
    return Reading{toCounts(noisySample), toCounts(noisySource)};
}

std::uint16_t SimKelvoUnit::positionField(double mm) const {
    const auto hundredths = std::lround(mm * 100.0);
    return static_cast<std::uint16_t>(std::clamp<long>(hundredths, 0, 32767));
}

std::int16_t SimKelvoUnit::speedField() const {
    const auto tenths = std::lround(velocityMmPerS() * 10.0);
    return static_cast<std::int16_t>(std::clamp<long>(tenths, -32768, 32767));
}

void SimKelvoUnit::sendHeartbeat(double atMs) {
    Cmd1 packet;
    packet.ucUVKeyPressed = echoKey_;
    echoKey_ = 0;
    packet.ucUVMenuStatus = mode_;
    packet.ucUVMenuVersion = menuVersion_;
    packet.ucCntlInfo = static_cast<std::uint8_t>(
        (statusBit0_ ? kCntlBit0 : 0) | (pistonMm_ <= kAtLimitMm ? 0 : kCntlUpperLimitNoContact) |
        (statusBit2_ ? kCntlBit2 : 0) |
        (keyRequest_ || faultsLocked().holdControlBit3 ? kCntlKeyRequest : 0));
    auto bytes = EncodeCmd1(packet);
    const bool echoLost = packet.ucUVKeyPressed != 0 && takeEchoLoss();
    if (echoLost) {
        bytes.back() ^= 0x01;
    }
    if (lineMatches(config_.baudRate)) {
        count(PacketKind::Heartbeat, emit(bytes, atMs) && !echoLost);
    }
}

void SimKelvoUnit::sendStreamPacket(double atMs) {
    if (config_.textLineMode) {
        sendTextLine(atMs);
        cycleStartMs_ += periodMs();
    } else if (mode_ == kModeSetup) {
        sendCmd0(atMs);
        cycleStartMs_ += periodMs();
    } else if (!channelASent_) {
        sendCmd2(SimChannel::A, atMs);
        channelASent_ = true;
    } else {
        sendCmd2(SimChannel::B, atMs);
        channelASent_ = false;
        cycleStartMs_ += periodMs();
    }
}

void SimKelvoUnit::sendCmd0(double atMs) {
    const auto a = readingAt(SimChannel::A, atMs);
    const auto b = readingAt(SimChannel::B, atMs);
    Cmd0 packet;
    packet.ucCommand = config_.cmd0CommandByte;
    packet.ucComplement = static_cast<std::uint8_t>(0xFF - config_.cmd0CommandByte);
    ApplySettings(packet, settings_);
    packet.ulATODADataA0 = a.sample;
    packet.ulATODADataB0 = b.sample;
    packet.ulATODADataA1 = a.source;
    packet.ulATODADataB1 = b.source;
    packet.ucCmd0CntlInfo = kCmd0PositionA | kCmd0PositionB;
    packet.ucPotPosition = knob_;
    packet.uiPistonPos = positionField(pistonMm_);
    packet.iPistonSpeed = speedField();
    if (lineMatches(config_.baudRate)) {
        count(PacketKind::Settings, emit(EncodeCmd0(packet), atMs));
    }
}

void SimKelvoUnit::sendCmd2(SimChannel channel, double atMs) {
    const auto reading = readingAt(channel, atMs);
    Cmd2 packet;
    packet.ulATODADataSample = reading.sample;
    packet.ulATODADataSource = reading.source;
    packet.ucCmd2CntlInfo = channel == SimChannel::A ? kCmd2ChannelA : 2;
    packet.uiPistonPos = positionField(pistonMm_);
    packet.iPistonSpeed = speedField();
    if (lineMatches(config_.baudRate)) {
        count(PacketKind::Running, emit(EncodeCmd2(packet), atMs));
    }
}

void SimKelvoUnit::sendTextLine(double atMs) {
    const auto a = readingAt(SimChannel::A, atMs);
    const auto b = readingAt(SimChannel::B, atMs);
    char line[80];
    const int n = std::snprintf(line, sizeof line, "%u,%u,%u,%u,%d\r\n", a.sample, b.sample,
                                a.source, b.source, static_cast<int>(positionField(pistonMm_)));
    if (n > 0 && lineMatches(config_.baudRate)) {
        count(PacketKind::TextLine,
              emit(std::span(reinterpret_cast<const std::uint8_t*>(line), static_cast<std::size_t>(n)),
                   atMs));
    }
}

}  // namespace corvane
