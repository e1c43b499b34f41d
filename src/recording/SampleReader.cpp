#include "recording/SampleReader.h"

#include <cmath>
#include <utility>

#include "app/Prompter.h"
#include "recording/LinkSource.h"
#include "recording/PlainPortSource.h"
#include "recording/TestFileSource.h"

namespace corvane {

// --- Construction ---

SampleReader::SampleReader(const SampleReaderSeams& seams, SampleReaderConfig config)
    : clock_(seams.clock),
      kA_(config.sourceFactors[0]),
      kB_(config.sourceFactors[1]),
      testFileFlag_(config.testFile) {
    if (config.testFile) {
        const std::int64_t intervalMs =
            config.testFileRate > 0.0 ? std::llround(1000.0 / config.testFileRate) : 0;
        testFile_ = TestFileSource::open(config.workingFolder / "testFile.txt", seams.clock,
                                         intervalMs, stop_.get_token());
        if (!testFile_) {
            seams.prompter.message("Error, unable to open testFile.txt");
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
    // A port that refuses its settings is closed; the link is still made on
    // the same number, since it reaches the unit through the bridge library.
    const bool usable = PlainPortSource::configure(*port, config.baudRate);
    if (config.useLink) {
        port.reset();
        link_ = std::make_unique<LinkSource>(std::make_unique<UvLink>(
            UvLinkSeams{seams.bridge, seams.clock, seams.prompter, seams.window,
                        seams.startHeartbeatThread},
            config.workingFolder, config.comPort, config.baudRate, config.interByteDelayMs,
            sampleLock_));
    } else if (usable) {
        plain_ = std::make_unique<PlainPortSource>(std::move(port), seams.clock, seams.prompter);
    }
}

UvLink* SampleReader::link() { return link_ ? &link_->link() : nullptr; }

void SampleReader::setRecordSink(RecordSink* sink) {
    const std::scoped_lock sample(sampleLock_);
    sink_ = sink;
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
        link_->link().StopThread();
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

// --- Sampling ---

SampleSource* SampleReader::activeSource() {
    if (testFileFlag_) {
        return testFile_.get();
    }
    if (de1_) {
        return de1_.get();
    }
    if (link_) {
        return link_.get();
    }
    return plain_.get();
}

int SampleReader::GetSample(SampleRecord& record) {
    if (!clock_.tryLockFor(sampleLock_, UvLink::kSampleTurnLockMs)) {
        return kNoPacket;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    SampleSource* source = activeSource();
    if (source == nullptr) {
        return kNoSource;
    }
    SourceReading reading;
    const int result = source->read(record, reading);
    return result == kOk ? take(reading, record) : result;
}

int SampleReader::take(SourceReading& reading, SampleRecord& record) {
    SampleRecord& next = reading.record;
    switch (reading.arithmetic) {
        case SourceReading::Arithmetic::None:
            break;
        case SourceReading::Arithmetic::PlainRatio:
            computeAbsorbances(next);
            next.ratio = PlainRatio(next.absorbanceA, next.absorbanceB);
            break;
        case SourceReading::Arithmetic::DelayedRatio:
            computeAbsorbances(next);
            applyRatioRule(next);
            break;
    }
    store(next, record);
    const bool unusable = reading.zeroSource != SourceReading::ZeroSource::Ignored &&
                          (next.sourceA == 0 || next.sourceB == 0);
    const bool row = !unusable || reading.zeroSource == SourceReading::ZeroSource::Written;
    if (row && sink_ != nullptr && sink_->onRecord(next, reading.row) && de1_ &&
        reading.row == SourceReading::Row::De1) {
        // The live detector sees exactly the rows the run file gets.
        de1_->RowWritten(next);
    }
    return unusable ? kZeroSource : kOk;
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
        r.absorbanceA = AbsorbanceFromCurve(r.sampleA, r.sourceA, curve_->c0, curve_->c1);
        r.absorbanceB = AbsorbanceFromCurve(r.sampleB, r.sourceB, curve_->c2, curve_->c3);
    } else {
        r.absorbanceA = AbsorbanceFromFactor(r.sampleA, r.sourceA, kA_);
        r.absorbanceB = AbsorbanceFromFactor(r.sampleB, r.sourceB, kB_);
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

// --- Plain port extras ---

bool SampleReader::Drain() {
    if (!plain_ || !clock_.tryLockFor(sampleLock_, kSettingsLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    return plain_->Drain();
}

bool SampleReader::Ping() {
    if (!plain_ || !clock_.tryLockFor(sampleLock_, kSettingsLockMs)) {
        return false;
    }
    const std::unique_lock<SampleLock> sample(sampleLock_, std::adopt_lock);
    return plain_->Ping();
}

}  // namespace corvane
