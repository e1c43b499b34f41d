#pragma once

// The acquisition object's DE-1 source: it polls the DE-1 interface box, hands
// on one SampleRecord per sample period, measures the distance the piston has
// travelled at the run's speed, and sends the event-mark pulses that cut the
// tube into fractions.
//
// What a record carries (the fields keep their two-channel names):
//   sampleA      the event value: 0 without a mark; for a reading that
//                carried one, input 2 (at most 0xFFFE), or 0xFFFF for the
//                echo of an automatic mark. RunRecorder::writeEm1Sample takes
//                it as the raw value; above 0x8000 it makes an event row.
//   sourceA      the raw signal counts of the last reading
//   sampleB      input 2 of the last reading;  sourceB  input 3
//   absorbanceA  the absorbance: (signal - zero) / 63053 x the AUFS full scale
//   absorbanceB  the monitor's output in volts: signal / 63053 (1 V full scale)
//   ratio        not a number
//   positionA, positionB   the distance in mm (time since the run started x
//                the run's speed; before any run, since the source was made)
//
// GetSample runs on the acquisition thread; the other calls may come from any
// thread.

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "app/Clock.h"
#include "link/BridgeLibrary.h"
#include "link/De1Link.h"
#include "recording/PeakCutter.h"
#include "recording/SampleSource.h"
#include "runs/Em1Settings.h"
#include "runs/OverlayPlan.h"
#include "runs/SampleRecord.h"

namespace corvane {

// A reading that carried an event mark.
struct De1Event {
    int eventCount = 0;      // the collector's marks counted so far
    bool counted = false;    // false: the echo of a pulse we sent
    bool automatic = false;  // the echo of an automatic mark
    double distanceMm = 0.0;
};

// The recording side's ear for event marks. Called on the acquisition thread;
// it must return quickly and not call back into the source.
class De1EventSink {
public:
    virtual ~De1EventSink() = default;
    virtual void onDe1Event(const De1Event& event) = 0;
};

// What a run needs to know to measure distance and send its marks.
struct De1RunPlan {
    Em1Settings settings;
    // The dead volume as piston travel: the start delay of a delayed run.
    double deadVolumeDistanceMm = 0.0;
    // A zone plan's fraction ends, mm after the start of collection, in
    // order; empty: a mark every fraction distance of the settings.
    std::vector<double> fractionEndsMm;
    // Auto + manual fractionation: an automatic mark whenever this much
    // distance (one collection vessel) has passed since the last mark of
    // any kind, so no vessel overflows between the plan's marks; 0: none.
    double automaticFractionMm = 0.0;
    // Collecting by peaks: the fraction changes are found on the signal
    // (PeakCutter) and each is sent the dead volume's piston travel after
    // its place; the marks of the fraction distance and the zones are off.
    std::optional<PeakCollection> peaks;

    // The plan of a run with these settings and the run's volume per mm (0.143
    // ml/mm, the default tube's, when there is none or it is 0); with a zone
    // plan the marks fall at its fraction ends instead.
    [[nodiscard]] static De1RunPlan from(const Em1Settings& settings, std::optional<double> volumePerMm,
                                         const OverlayPlan* zones = nullptr);
};

class De1Source : public SampleSource {
public:
    // The box is polled 100 times a second: the smoothing ring holds one
    // second of readings.
    static constexpr std::int64_t kPollMs = 10;
    // No valid reply for this long: the DE-1 link is lost.
    static constexpr std::int64_t kLossMs = 3000;
    static constexpr std::uint32_t kLargestMark = 0xFFFE;
    static constexpr std::uint32_t kAutomaticMark = 0xFFFF;
    // GetSample results besides 0 (a new record).
    static constexpr int kNoReading = -2;
    static constexpr int kNoRecordYet = -5;

    // Takes over the open bridge handle of the box. signalOffset is added to
    // every smoothed signal.
    De1Source(BridgeLibrary& bridge, Clock& clock, BridgeHandle handle, double signalOffset,
              De1EventSink* sink = nullptr);

    // One poll of the box, paced at kPollMs: 0 when a sample period has
    // ended and record holds the new sample; kNoReading when the box gave no
    // valid reply; kNoRecordYet when the reading went into the next sample.
    [[nodiscard]] int GetSample(SampleRecord& record);
    // The same as a source of the acquisition object: a finished record that
    // makes a DE-1 row.
    [[nodiscard]] int read(const SampleRecord& carried, SourceReading& reading) override;

    // Samples per second: the record period and the smoothing window.
    void SetSamplesPerSec(double samplesPerSec);
    void SetAufs(int step);
    [[nodiscard]] int Aufs() const;

    // A run starts now: the distance counts from here at the plan's speed;
    // with autozero the next reading becomes the zero; event marks follow
    // the plan (see ARCHITECTURE-NOTES, "DE-1").
    void StartRun(const De1RunPlan& plan);
    void EndRun();
    [[nodiscard]] bool RunActive() const;
    // The next reading becomes the zero of the absorbance.
    void Zero();
    // The zero in signal counts (0 until one is taken).
    [[nodiscard]] double ZeroSignal() const;

    // An automatic fraction mark: one pulse now, its echo recorded as 0xFFFF.
    void RaiseAutomaticMark();
    // The operator's fraction advance (FRAC ADV): one pulse now, sent as the
    // planned marks are; its echo is recorded as a numbered fraction, like a
    // mark of the collector's. It does not move the plan's schedule. In a run
    // collected by peaks it waits for a pulse that is out, and the fraction
    // table gains the tube it begins (marked manual).
    void RaiseFractionAdvance();
    // The run file took this record as a row: collecting by peaks, the
    // detector sees it (and only the rows the file gets, so a preview of
    // the saved run cuts as the live run did). Under the sample lock.
    void RowWritten(const SampleRecord& record);
    [[nodiscard]] int MarksSent() const;
    // Collecting by peaks: the fractions cut so far (the last one still
    // growing), and after EndRun the run's table, the changes whose pulse
    // never went out withdrawn. Nothing for a run cut any other way.
    [[nodiscard]] std::vector<CollectedFraction> CollectedFractions() const;
    [[nodiscard]] std::optional<FractionTable> RunFractionTable() const;
    // Every mark of the plan has been sent.
    [[nodiscard]] bool FractionsComplete() const;
    [[nodiscard]] double DistanceMm() const;
    [[nodiscard]] bool LinkLost() const;

    [[nodiscard]] De1Link& link() { return link_; }

private:
    // State lock held.
    [[nodiscard]] double distanceAtLocked(std::int64_t nowMs) const;
    [[nodiscard]] int plannedMarksLocked() const;
    [[nodiscard]] double nextMarkMmLocked() const;
    // Where fraction k (from 1) ends, mm after the start of collection.
    [[nodiscard]] double fractionEndLocked(int k) const;
    void scheduleMarksLocked(const De1Reading& reading, double distance);
    // Collecting by peaks: the next queued pulse goes out unless one is out.
    void sendQueuedPulseLocked(double distance);

    De1Link link_;
    Clock& clock_;
    De1EventSink* sink_;
    std::int64_t nextPollMs_ = 0;

    mutable std::mutex mutex_;
    std::int64_t originMs_;
    std::int64_t recordPeriodMs_ = 100;
    std::int64_t nextRecordMs_ = -1;
    std::int64_t lastValidMs_;
    int aufs_ = 0;
    double speed_ = Em1Settings{}.speed;
    double zeroSignal_ = 0.0;
    bool zeroPending_ = false;
    std::uint32_t pendingEventValue_ = 0;

    std::optional<De1RunPlan> plan_;
    bool anchored_ = false;
    double anchorMm_ = 0.0;
    int marksSent_ = 0;
    bool pulseAutomatic_ = false;
    double lastMarkMm_ = 0.0;  // where the last mark of any kind fell

    std::optional<PeakCutter> cutter_;
    enum class Pulse { Peak, Manual };
    // Due pulses in order; those queued before the end of a run still go
    // out after it, as the table counts them.
    std::deque<Pulse> pulses_;
    std::vector<PeakCutter::Cut> due_;
    std::optional<FractionTable> table_;
};

}  // namespace corvane
