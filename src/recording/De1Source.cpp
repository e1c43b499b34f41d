#include "recording/De1Source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runs/RotorTable.h"

namespace corvane {

namespace {

// A value as the run file's row keeps it, so the detector sees what a
// preview of the saved run reads back.
double asWritten(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::strtod(text, nullptr);
}

}  // namespace

De1RunPlan De1RunPlan::from(const Em1Settings& settings, std::optional<double> volumePerMm,
                             const OverlayPlan* zones) {
    const double vpm =
        volumePerMm && *volumePerMm > 0.0 ? *volumePerMm : RotorTable::kDefaultVolumePerMm;
    De1RunPlan plan;
    plan.settings = settings;
    plan.deadVolumeDistanceMm = settings.deadVolume / vpm;
    if (settings.peaks.enabled) {
        plan.peaks = settings.peaks;
        return plan;
    }
    if (zones != nullptr) {
        for (const auto& zone : zones->zones) {
            for (int k = 1; k <= zone.fractions; ++k) {
                plan.fractionEndsMm.push_back(zone.start + (zone.end - zone.start) * k / zone.fractions);
            }
        }
    }
    return plan;
}

De1Source::De1Source(BridgeLibrary& bridge, Clock& clock, BridgeHandle handle, double signalOffset,
                     De1EventSink* sink)
    : link_(bridge, clock, handle, signalOffset, Em1Settings{}.samplesPerSec),
      clock_(clock),
      sink_(sink),
      originMs_(clock.nowMs()),
      lastValidMs_(originMs_) {
    SetSamplesPerSec(Em1Settings{}.samplesPerSec);
}

int De1Source::read(const SampleRecord& carried, SourceReading& reading) {
    SampleRecord next = carried;
    const int result = GetSample(next);
    if (result != kOk) {
        return result;
    }
    reading = SourceReading{.record = next, .row = SourceReading::Row::De1};
    return kOk;
}

void De1Source::SetSamplesPerSec(double samplesPerSec) {
    const double rate = std::isfinite(samplesPerSec) ? std::clamp(samplesPerSec, 0.1, 100.0) : 10.0;
    std::scoped_lock lock(mutex_);
    recordPeriodMs_ = std::max<std::int64_t>(kPollMs, std::llround(1000.0 / rate));
    link_.SetWindowSetting(rate);
}

void De1Source::SetAufs(int step) {
    std::scoped_lock lock(mutex_);
    aufs_ = std::clamp(step, 0, 7);
}

int De1Source::Aufs() const {
    std::scoped_lock lock(mutex_);
    return aufs_;
}

void De1Source::StartRun(const De1RunPlan& plan) {
    SetSamplesPerSec(plan.settings.samplesPerSec);
    std::scoped_lock lock(mutex_);
    plan_ = plan;
    aufs_ = std::clamp(plan.settings.aufs, 0, 7);
    speed_ = plan.settings.speed;
    originMs_ = clock_.nowMs();
    zeroPending_ = plan.settings.autozeroAtStart;
    // A run started by hand has its start mark at its start.
    anchored_ = plan.settings.delayType == Em1Settings::kManualTriggeredStart;
    anchorMm_ = 0.0;
    lastMarkMm_ = 0.0;
    marksSent_ = 0;
    cutter_.reset();
    pulses_.clear();
    table_.reset();
    if (plan.peaks) {
        cutter_.emplace(*plan.peaks, plan.deadVolumeDistanceMm);
    }
}

void De1Source::EndRun() {
    std::scoped_lock lock(mutex_);
    if (plan_ && cutter_) {
        // Every queued pulse was due by a written row and goes out in a
        // moment: a change by hand splits where the piston is now. A change
        // whose pulse was not due by the last row is withdrawn.
        const double distance = distanceAtLocked(clock_.nowMs());
        for (const Pulse pulse : pulses_) {
            if (pulse == Pulse::Manual) {
                cutter_->manualSplit(distance);
            }
        }
        cutter_->finish();
        table_ = FractionTable{*plan_->peaks, cutter_->delay(), cutter_->fractions()};
    }
    plan_.reset();
}

std::vector<CollectedFraction> De1Source::CollectedFractions() const {
    std::scoped_lock lock(mutex_);
    if (table_) {
        return table_->fractions;
    }
    return cutter_ ? cutter_->fractions() : std::vector<CollectedFraction>{};
}

std::optional<FractionTable> De1Source::RunFractionTable() const {
    std::scoped_lock lock(mutex_);
    return table_;
}

bool De1Source::RunActive() const {
    std::scoped_lock lock(mutex_);
    return plan_.has_value();
}

void De1Source::Zero() {
    std::scoped_lock lock(mutex_);
    zeroPending_ = true;
}

double De1Source::ZeroSignal() const {
    std::scoped_lock lock(mutex_);
    return zeroSignal_;
}

void De1Source::RaiseAutomaticMark() {
    std::scoped_lock lock(mutex_);
    pulseAutomatic_ = true;
    link_.RaiseEventMark();
}

void De1Source::RaiseFractionAdvance() {
    std::scoped_lock lock(mutex_);
    if ((plan_ && cutter_) || !pulses_.empty()) {
        // Never merged into a pulse that is out: each press is a tube.
        pulses_.push_back(Pulse::Manual);
        sendQueuedPulseLocked(distanceAtLocked(clock_.nowMs()));
        return;
    }
    pulseAutomatic_ = false;
    link_.RaiseEventMark();
}

void De1Source::RowWritten(const SampleRecord& record) {
    std::scoped_lock lock(mutex_);
    // The cleaned run file keeps no row at distance 0 or below.
    const double x = asWritten(record.positionA, 2);
    if (!cutter_ || !plan_ || !(x > 0.0)) {
        return;
    }
    due_.clear();
    cutter_->push(x, asWritten(record.absorbanceA, 6), due_);
    pulses_.insert(pulses_.end(), due_.size(), Pulse::Peak);
    sendQueuedPulseLocked(record.positionA);
}

int De1Source::MarksSent() const {
    std::scoped_lock lock(mutex_);
    return marksSent_;
}

bool De1Source::FractionsComplete() const {
    std::scoped_lock lock(mutex_);
    const int planned = plannedMarksLocked();
    return planned > 0 && marksSent_ >= planned;
}

double De1Source::DistanceMm() const {
    std::scoped_lock lock(mutex_);
    return distanceAtLocked(clock_.nowMs());
}

bool De1Source::LinkLost() const {
    std::scoped_lock lock(mutex_);
    return clock_.nowMs() - lastValidMs_ > kLossMs;
}

double De1Source::distanceAtLocked(std::int64_t nowMs) const {
    return static_cast<double>(nowMs - originMs_) / 1000.0 * speed_;
}

int De1Source::plannedMarksLocked() const {
    if (!plan_ || plan_->peaks) {
        return 0;
    }
    const auto& s = plan_->settings;
    if (!s.autosendEventMarks || s.signalType != Em1Settings::kEventTriggered) {
        return 0;
    }
    const bool delayed =
        s.delayType == Em1Settings::kEventWithDelay || s.delayType == Em1Settings::kOdSensingStart;
    if (!plan_->fractionEndsMm.empty()) {
        return static_cast<int>(plan_->fractionEndsMm.size()) + (delayed ? 1 : 0);
    }
    if (!(s.fractionDistance > 0.0) || s.numberOfFractions < 1) {
        return 0;
    }
    return s.numberOfFractions + (delayed ? 1 : 0);
}

double De1Source::fractionEndLocked(int k) const {
    if (k <= 0) {
        return 0.0;
    }
    const auto& ends = plan_->fractionEndsMm;
    return ends.empty() ? k * plan_->settings.fractionDistance : ends[static_cast<std::size_t>(k) - 1];
}

// Without a delay the marks fall at the fraction ends after the start mark
// (every fraction distance, or a zone plan's); with one, the first (the restart) falls when the dead volume has
// passed, and the fractions follow it.
double De1Source::nextMarkMmLocked() const {
    const auto& s = plan_->settings;
    const bool delayed =
        s.delayType == Em1Settings::kEventWithDelay || s.delayType == Em1Settings::kOdSensingStart;
    if (delayed) {
        return anchorMm_ + plan_->deadVolumeDistanceMm + fractionEndLocked(marksSent_);
    }
    return anchorMm_ + fractionEndLocked(marksSent_ + 1);
}

// One pulse at a time: one queued while a pulse is out waits for its end.
void De1Source::sendQueuedPulseLocked(double distance) {
    if (pulses_.empty() || link_.EventMarkRaised()) {
        return;
    }
    const Pulse pulse = pulses_.front();
    pulses_.pop_front();
    pulseAutomatic_ = false;
    link_.RaiseEventMark();
    lastMarkMm_ = distance;
    if (pulse == Pulse::Peak) {
        ++marksSent_;
    } else if (plan_ && cutter_) {
        cutter_->manualSplit(distance);
    }
}

void De1Source::scheduleMarksLocked(const De1Reading& reading, double distance) {
    const int planned = plannedMarksLocked();
    if (planned == 0) {
        return;
    }
    if (!anchored_ && reading.eventCounted) {
        anchored_ = true;
        anchorMm_ = distance;
    }
    if (reading.event) {
        lastMarkMm_ = distance;
    }
    if (!anchored_ || marksSent_ >= planned || link_.EventMarkRaised()) {
        // A mark due while the last pulse is still out waits for its end.
        return;
    }
    if (distance >= nextMarkMmLocked()) {
        pulseAutomatic_ = false;
        link_.RaiseEventMark();
        ++marksSent_;
        lastMarkMm_ = distance;
        return;
    }
    // Between the plan's marks a full vessel is changed automatically; a
    // delayed run collects only after its restart mark.
    const auto& s = plan_->settings;
    const bool delayed =
        s.delayType == Em1Settings::kEventWithDelay || s.delayType == Em1Settings::kOdSensingStart;
    const double vessel = plan_->automaticFractionMm;
    if (vessel > 0.0 && (!delayed || marksSent_ > 0) && distance - lastMarkMm_ >= vessel) {
        pulseAutomatic_ = true;
        link_.RaiseEventMark();
        lastMarkMm_ = distance;
    }
}

int De1Source::GetSample(SampleRecord& record) {
    const auto waitMs = nextPollMs_ - clock_.nowMs();
    if (waitMs > 0) {
        clock_.sleepMs(waitMs);
    }
    nextPollMs_ = clock_.nowMs() + kPollMs;

    De1Reading reading;
    if (!link_.RequestReading() || !link_.ReadReading(reading)) {
        return kNoReading;
    }

    std::optional<De1Event> event;
    bool produced = false;
    {
        std::scoped_lock lock(mutex_);
        const auto now = clock_.nowMs();
        lastValidMs_ = now;
        const double distance = distanceAtLocked(now);
        if (zeroPending_) {
            zeroSignal_ = reading.signal;
            zeroPending_ = false;
        }
        if (reading.event) {
            const bool automatic = !reading.eventCounted && pulseAutomatic_;
            const std::uint32_t value =
                automatic ? kAutomaticMark : std::min<std::uint32_t>(reading.input2, kLargestMark);
            pendingEventValue_ = std::max(pendingEventValue_, value);
            event = De1Event{link_.EventCount(), reading.eventCounted, automatic, distance};
        }
        scheduleMarksLocked(reading, distance);
        sendQueuedPulseLocked(distance);

        if (nextRecordMs_ < 0 || now >= nextRecordMs_) {
            // A source far behind (a stalled bridge) starts a new period
            // instead of handing on a burst of records.
            nextRecordMs_ = nextRecordMs_ < 0 || now - nextRecordMs_ >= recordPeriodMs_
                                ? now + recordPeriodMs_
                                : nextRecordMs_ + recordPeriodMs_;
            SampleRecord next;
            next.sampleA = pendingEventValue_;
            pendingEventValue_ = 0;
            next.sourceA = reading.rawSignal;
            next.sampleB = reading.input2;
            next.sourceB = reading.input3;
            next.absorbanceA = De1Link::Absorbance(reading.signal - zeroSignal_, aufs_);
            next.absorbanceB = reading.signal / De1Link::kFullScaleCounts;
            next.ratio = std::numeric_limits<double>::quiet_NaN();
            next.positionA = distance;
            next.positionB = distance;
            record = next;
            produced = true;
        }
    }
    if (event && sink_) {
        sink_->onDe1Event(*event);
    }
    return produced ? 0 : kNoRecordYet;
}

}  // namespace corvane
