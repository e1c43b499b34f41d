#include "recording/SampleReader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string_view>

#include "app/Prompter.h"
#include "recording/SampleLine.h"
#include "base/FieldScanner.h"
#include "runs/RunFolders.h"
#include "base/TextFormat.h"

namespace corvane {
namespace {

// Absorbances divide by source readings that a unit may report as 0; the
// IEEE results (infinity, not-a-number) are what the zero-source test and the
// ratio rule expect.
static_assert(std::numeric_limits<double>::is_iec559);

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A unit that never stops talking must not keep the port probe or a drain
// reading forever.
constexpr std::size_t kMaxDrainBytes = 64 * 1024;

// "+ 0.0" turns the -0 of -log10(1) into 0, so a sample at the zero reads
// 0.000000 in the run file, not -0.000000.
double absorbanceFromFactor(std::uint32_t sample, std::uint32_t source, double k) {
    return -std::log10(static_cast<double>(sample) / (static_cast<double>(source) * k)) + 0.0;
}

double absorbanceFromCurve(std::uint32_t sample, std::uint32_t source, double square,
                           double linear) {
    const double r = static_cast<double>(sample) / static_cast<double>(source);
    return -std::log10((r * square + linear) * r) + 0.0;
}

// The plain ratio of the text-line and test-file paths.
double plainRatio(double absorbanceA, double absorbanceB) {
    return absorbanceB == 0.0 || std::isnan(absorbanceB) ? kNaN : absorbanceA / absorbanceB;
}

// One test-file line, "%d,%d,%lf,%d,%d,%lf,%lf": sample A, source A,
// absorbance A, sample B, source B, absorbance B, position.
std::optional<SampleRecord> parseTestLine(std::string_view line) {
    FieldScanner in(line);
    std::int32_t sampleA = 0;
    std::int32_t sourceA = 0;
    std::int32_t sampleB = 0;
    std::int32_t sourceB = 0;
    double absorbanceA = 0.0;
    double absorbanceB = 0.0;
    double position = 0.0;
    const bool complete = in.integer(sampleA) && in.comma() && in.integer(sourceA) && in.comma() &&
                          in.real(absorbanceA) && in.comma() && in.integer(sampleB) &&
                          in.comma() && in.integer(sourceB) && in.comma() &&
                          in.real(absorbanceB) && in.comma() && in.real(position);
    if (!complete) {
        return std::nullopt;
    }
    SampleRecord r;
    r.sampleA = static_cast<std::uint32_t>(sampleA);
    r.sourceA = static_cast<std::uint32_t>(sourceA);
    r.sampleB = static_cast<std::uint32_t>(sampleB);
    r.sourceB = static_cast<std::uint32_t>(sourceB);
    r.absorbanceA = absorbanceA;
    r.absorbanceB = absorbanceB;
    r.positionA = position;
    r.positionB = position;
    r.ratio = plainRatio(absorbanceA, absorbanceB);
    return r;
}

}  // namespace

double ChannelPosition(const Cmd0& settings, std::uint16_t uiPistonPos, std::int16_t iPistonSpeed,
                       SampleChannel channel, double positionOffset) {
    const double integrationS = settings.uiIntegrationTime / 1000.0;
    const double dutyA = settings.ucDutyCycleA / 100.0;
    const double share = channel == SampleChannel::A ? dutyA : 1.0 - dutyA;
    const double pistonMm = static_cast<std::int16_t>(uiPistonPos) / 100.0;
    const double speedMmPerS = iPistonSpeed / 10.0;
    return pistonMm - (integrationS * share / 2.0) * speedMmPerS - 0.01 * speedMmPerS -
           positionOffset;
}

// --- Text ring ---

void SampleReader::TextRing::append(const char* bytes, std::size_t n) {
    n = std::min(n, room());
    for (std::size_t i = 0; i < n; ++i) {
        bytes_[write_] = bytes[i];
        write_ = (write_ + 1) % kTextRingSize;
    }
    count_ += n;
}

std::size_t SampleReader::TextRing::copyUnread(std::array<char, kTextRingSize>& out) const {
    const std::size_t first = std::min(count_, kTextRingSize - read_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(read_), first, out.begin());
    std::copy_n(bytes_.begin(), count_ - first, out.begin() + static_cast<std::ptrdiff_t>(first));
    return count_;
}

void SampleReader::TextRing::consume(std::size_t n) {
    n = std::min(n, count_);
    read_ = (read_ + n) % kTextRingSize;
    count_ -= n;
}

// --- Construction ---

SampleReader::SampleReader(const SampleReaderSeams& seams, SampleReaderConfig config)
    : clock_(seams.clock),
      prompter_(seams.prompter),
      testFileIntervalMs_(config.testFileRate > 0.0
                              ? std::llround(1000.0 / config.testFileRate)
                              : 0),
      testFileFlag_(config.testFile),
      recorder_(seams.prompter, RunFolders{config.workingFolder, config.workingFolder / "TEMP"},
                seams.calendar) {
    if (config.testFile) {
        testFile_ = openFile(config.workingFolder / "testFile.txt", "r");
        if (testFile_) {
            testLines_ = std::make_unique<LineReader>(testFile_.get());
        } else {
            prompter_.message("Error, unable to open testFile.txt");
        }
    } else {
        openPort(seams, config);
    }
    if (config.de1Parameter != 0) {
        de1_ = std::make_unique<De1Source>(seams.bridge, seams.clock, config.de1Parameter,
                                           config.de1Value, seams.de1Events);
    }
}

SampleReader::~SampleReader() {
    StopLink();
}

void SampleReader::openPort(const SampleReaderSeams& seams, const SampleReaderConfig& config) {
    auto port = seams.ports.open(config.comPort);
    if (!port) {
        return;  // neither path: no link is made either
    }
    portOpened_ = true;

    // Each failed step closes the port; the link is still made on the same
    // number, since it reaches the unit through the bridge library instead.
    bool usable = port->setTimeouts({.readTotalConstant = kOpenReadConstantMs});
    SerialState state;
    usable = usable && port->getState(state);
    if (usable) {
        setPlainLine(state, config.baudRate);
        usable = port->setState(state);
    }
    if (usable) {
        char buffer[kOpenDrainReadSize];
        std::size_t got = 0;
        std::size_t drained = 0;
        while (drained < kMaxDrainBytes && port->read(buffer, sizeof buffer, got) && got > 0) {
            drained += got;
        }
        usable = port->setTimeouts({.readTotalConstant = kSampleReadConstantMs});
    }

    if (config.useLink) {
        port.reset();
        link_ = std::make_unique<UvLink>(
            UvLinkSeams{seams.bridge, seams.clock, seams.prompter, seams.window,
                        seams.startHeartbeatThread},
            config.workingFolder, config.comPort, config.baudRate, config.interByteDelayMs,
            sampleLock_);
    } else if (usable) {
        port_ = std::move(port);
    }
}

// --- Settings from the user interface ---

bool SampleReader::SetSourceFactors(double kA, double kB) {
    if (!clock_.tryLockFor(sampleLock_, kSettingsLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    const std::scoped_lock state(stateMutex_);
    kA_ = kA;
    kB_ = kB;
    curve_.reset();
    return true;
}

bool SampleReader::SetCalibrationCurve(const CalibrationCurve& curve) {
    if (!clock_.tryLockFor(sampleLock_, kSettingsLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    const std::scoped_lock state(stateMutex_);
    curve_ = curve;
    return true;
}

std::array<double, 2> SampleReader::sourceFactors() const {
    const std::scoped_lock state(stateMutex_);
    return {kA_, kB_};
}

std::optional<CalibrationCurve> SampleReader::calibrationCurve() const {
    const std::scoped_lock state(stateMutex_);
    return curve_;
}

void SampleReader::StopLink() {
    stop_.request_stop();
    if (link_) {
        link_->StopThread();
    }
}

SampleRecord SampleReader::currentRecord() const {
    const std::scoped_lock state(stateMutex_);
    return current_;
}

SampleRecord SampleReader::previousRecord() const {
    const std::scoped_lock state(stateMutex_);
    return previous_;
}

// --- Recording ---

bool SampleReader::OpenRunFile(const std::filesystem::path& path,
                               const RunDescription& description) {
    if (!recorder_.open(path, description)) {
        return false;
    }
    // A new run starts recording at once, whatever the last one was left at.
    paused_.store(false);
    if (link_) {
        link_->SetRecordingStarted(true);
    }
    return true;
}

bool SampleReader::SetPaused(bool paused) {
    if (!clock_.tryLockFor(sampleLock_, kPauseLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    paused_.store(paused);
    return true;
}

void SampleReader::writeRow(const SampleRecord& record) {
    if (!paused_.load()) {
        recorder_.writeSample(record);
    }
}

// --- Sampling ---

int SampleReader::GetSample(SampleRecord& record) {
    if (!clock_.tryLockFor(sampleLock_, UvLink::kSampleTurnLockMs)) {
        return kNoPacket;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    if (testFileFlag_) {
        return testLines_ ? readTestFile(record) : kNoSource;
    }
    if (de1_) {
        return readDe1(record);
    }
    if (link_) {
        return readLink(record);
    }
    if (port_) {
        return readTextLine(record);
    }
    return kNoSource;
}

void SampleReader::store(const SampleRecord& next, SampleRecord& record) {
    const std::scoped_lock state(stateMutex_);
    previous_ = current_;
    current_ = next;
    record = next;
}

void SampleReader::computeAbsorbances(SampleRecord& r) const {
    const std::scoped_lock state(stateMutex_);
    if (curve_) {
        r.absorbanceA = absorbanceFromCurve(r.sampleA, r.sourceA, curve_->c0, curve_->c1);
        r.absorbanceB = absorbanceFromCurve(r.sampleB, r.sourceB, curve_->c2, curve_->c3);
    } else {
        r.absorbanceA = absorbanceFromFactor(r.sampleA, r.sourceA, kA_);
        r.absorbanceB = absorbanceFromFactor(r.sampleB, r.sourceB, kB_);
    }
}

void SampleReader::applyRatioRule(SampleRecord& next) {
    const std::scoped_lock state(stateMutex_);
    // The B reading lies between two A readings, so A is averaged over the
    // readings on either side of it. The current record is completed with
    // this sample unless its own B reading came before its A reading; before
    // the first record there is nothing to complete.
    const bool usableB = next.absorbanceB != 0.0 && !std::isnan(next.absorbanceB);
    if (usableB && haveCurrent_ && !(current_.positionB < current_.positionA)) {
        current_.ratio = (current_.absorbanceA + next.absorbanceA) / 2.0 / next.absorbanceB;
    }
    // The new record's own ratio is only known once the next sample has come:
    // it reports the one just completed.
    next.ratio = current_.ratio;
    haveCurrent_ = true;
}

int SampleReader::readLink(SampleRecord& record) {
    const bool setupMode = link_->InSetupMode(0);
    link_->SetShortPacketMode(!setupMode);
    return setupMode ? readSetupPacket(record) : readRunningPacket(record);
}

int SampleReader::readSetupPacket(SampleRecord& record) {
    Cmd0 packet;
    if (!link_->ReadCmd0(packet)) {
        return kNoPacket;
    }
    SampleRecord next = record;
    next.sampleA = packet.ulATODADataA0;
    next.sourceA = packet.ulATODADataA1;
    next.sampleB = packet.ulATODADataB0;
    next.sourceB = packet.ulATODADataB1;
    computeAbsorbances(next);
    // The ratio rule sees the positions the record held before this packet.
    applyRatioRule(next);
    const double offset = link_->GetPositionOffset();
    if ((packet.ucCmd0CntlInfo & kCmd0PositionA) != 0) {
        next.positionA = ChannelPosition(packet, packet.uiPistonPos, packet.iPistonSpeed,
                                         SampleChannel::A, offset);
    }
    if ((packet.ucCmd0CntlInfo & kCmd0PositionB) != 0) {
        next.positionB = ChannelPosition(packet, packet.uiPistonPos, packet.iPistonSpeed,
                                         SampleChannel::B, offset);
    }
    store(next, record);
    if (next.sourceA == 0 || next.sourceB == 0) {
        return kZeroSource;
    }
    writeRow(next);
    return kOk;
}

int SampleReader::readRunningPacket(SampleRecord& record) {
    Cmd2 packet;
    if (!link_->ReadCmd2(packet)) {
        return kNoPacket;
    }
    SampleRecord next = record;
    // Integration time and duty cycle come from the last settings packet;
    // without one there is no position to speak of.
    const auto settings = link_->lastCmd0();
    const auto position = [&](SampleChannel channel) {
        return settings ? ChannelPosition(*settings, packet.uiPistonPos, packet.iPistonSpeed,
                                          channel, link_->GetPositionOffset())
                        : 0.0;
    };
    if (packet.ucCmd2CntlInfo == kCmd2ChannelA) {
        next.sampleA = packet.ulATODADataSample;
        next.sourceA = packet.ulATODADataSource;
        next.positionA = position(SampleChannel::A);
    } else {
        next.sampleB = packet.ulATODADataSample;
        next.sourceB = packet.ulATODADataSource;
        next.positionB = position(SampleChannel::B);
    }
    computeAbsorbances(next);
    applyRatioRule(next);
    store(next, record);
    // Running data is written whatever the source readings: the row shows
    // the unit's own zero.
    writeRow(next);
    return next.sourceA == 0 || next.sourceB == 0 ? kZeroSource : kOk;
}

int SampleReader::readTextLine(SampleRecord& record) {
    // A full ring reads nothing until a line has been taken out of it.
    const std::size_t want = std::min(kTextReadSize, text_.room());
    if (want > 0) {
        char bytes[kTextReadSize];
        std::size_t got = 0;
        if (!port_->read(bytes, want, got)) {
            // On the receive thread: the message is shown later, by the UI.
            prompter_.notify(formatText("Error: %u trying to read serial data.",
                                        static_cast<unsigned>(port_->lastError())));
            return kNoPacket;
        }
        text_.append(bytes, got);
    }
    std::array<char, kTextRingSize> unread;
    const std::size_t n = text_.copyUnread(unread);
    const TextLine line = FindTextLine(std::span<const char>(unread.data(), n), kMaxTextLine);
    switch (line.status) {
        case TextLine::Status::Incomplete:
            // Line ends before the partial line are only separators; dropping
            // them keeps a stream of bare line ends from filling the ring.
            text_.consume(line.start);
            return kNoLine;
        case TextLine::Status::TooLong:
            text_.consume(line.consumed);
            return kLineTooLong;
        case TextLine::Status::Complete:
            break;
    }
    const auto parsed = ParseSampleLine(std::string_view(unread.data() + line.start, line.length));
    text_.consume(line.consumed);
    if (!parsed) {
        return kNotASample;
    }
    SampleRecord next = record;
    next.sampleA = static_cast<std::uint32_t>(parsed->sampleA);
    next.sampleB = static_cast<std::uint32_t>(parsed->sampleB);
    next.sourceA = static_cast<std::uint32_t>(parsed->sourceA);
    next.sourceB = static_cast<std::uint32_t>(parsed->sourceB);
    next.positionA = parsed->position * 0.01;
    next.positionB = next.positionA;
    computeAbsorbances(next);
    next.ratio = plainRatio(next.absorbanceA, next.absorbanceB);
    store(next, record);
    writeRow(next);
    return kOk;
}

int SampleReader::readTestFile(SampleRecord& record) {
    std::string_view line;
    while (testLines_->next(line)) {
        const auto parsed = parseTestLine(line);
        if (!parsed) {
            continue;
        }
        store(*parsed, record);
        writeRow(*parsed);
        clock_.sleepMs(testFileIntervalMs_, stop_.get_token());
        return kOk;
    }
    // The file is used up: wait a sample's time so a loop calling again
    // does not spin.
    clock_.sleepMs(testFileIntervalMs_, stop_.get_token());
    return kNoPacket;
}

int SampleReader::readDe1(SampleRecord& record) {
    SampleRecord next = record;
    const int result = de1_->GetSample(next);
    if (result != kOk) {
        return result;
    }
    store(next, record);
    if (!paused_.load()) {
        // The DE-1 record carries its row: distance, absorbance, event value.
        recorder_.writeEm1Sample(next.positionA, next.absorbanceA, next.sampleA);
    }
    return kOk;
}

// --- Plain port extras ---

bool SampleReader::Drain() {
    if (!port_ || !clock_.tryLockFor(sampleLock_, kSettingsLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    SerialTimeouts saved;
    if (!port_->getTimeouts(saved)) {
        return false;
    }
    SerialTimeouts quick = saved;
    quick.readTotalConstant = kOpenReadConstantMs;
    if (!port_->setTimeouts(quick)) {
        return false;
    }
    char buffer[kDrainReadSize];
    std::size_t got = 0;
    std::size_t drained = 0;
    while (drained < kMaxDrainBytes && port_->read(buffer, sizeof buffer, got) &&
           got == sizeof buffer) {
        drained += got;
    }
    return port_->setTimeouts(saved);
}

bool SampleReader::Ping() {
    if (!port_ || !clock_.tryLockFor(sampleLock_, kSettingsLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    constexpr std::uint8_t kPing = 0;
    constexpr std::uint8_t kPong = 1;
    std::size_t written = 0;
    if (!port_->write(&kPing, 1, written) || written != 1) {
        return false;
    }
    const Deadline deadline(clock_, kPingMs);
    while (!deadline.expired()) {
        std::uint8_t byte = 0;
        std::size_t got = 0;
        if (!port_->read(&byte, 1, got)) {
            return false;
        }
        if (got == 1 && byte == kPong) {
            return true;
        }
    }
    return false;
}

}  // namespace corvane
