#pragma once

// Collecting by peaks: decides, sample by sample, where a DE-1 run's
// fractions change. The signal is smoothed as it arrives (the streaming
// Savitzky-Golay filter, which gives a slope as readily as a value, half a
// window late); a peak starts where the smoothed absorbance above the
// baseline (the mean of the run's first window of samples) rises to the
// start level or its slope to the start slope, and ends where it falls back
// to the end level or its fall flattens below the end slope. A change
// decided at the detector reaches the collector `delay` of piston travel
// later, so a change found in time is sent at the first sample at or past
// `delay` after its place; one found later (a minimum width to wait out, the
// filter's own half window) is sent at once, and the table records where it
// really fell. Pulses go out only on samples, so what was sent by the end of
// a run follows from its samples alone: a preview of the saved run withdraws
// exactly the changes the live run never sent.
//
// The same object cuts a live run (De1Source) and previews a recorded one
// (corvane-cli collect --preview), so a preview of a saved run lists the
// fractions its live run cut.
//
// Rules beyond the thresholds:
// - a rise shorter than the minimum width is no peak (nothing is cut for it);
// - an end by slope counts only after the signal has fallen at least that
//   steeply (a flat, saturated top never ends a peak);
// - with several fractions per peak the peak's width is foretold as twice
//   its rise (start to top) and cut evenly; cuts foretold beyond the real
//   end are dropped;
// - between peaks: one fraction, or one every `betweenEveryMm` from the end
//   of the last peak (from the run's start before the first);
// - a sample that does not move on from the last one taken (the closing row
//   of a run file repeats its last sample; a cleaned run file keeps only
//   rows that move on) is ignored.

#include <cstddef>
#include <limits>
#include <vector>

#include "base/Smoothing.h"
#include "runs/PeakCollection.h"

namespace corvane {

class PeakCutter {
public:
    // The filter: 11 samples (a third of a millimetre at 10 samples/s and
    // 0.3 mm/s), quadratic, so a peak's edge is not pulled.
    static constexpr int kWindow = 11;
    static constexpr int kOrder = 2;
    static constexpr double kNoDelayLimit = std::numeric_limits<double>::infinity();

    struct Cut {
        double at = 0.0;      // where the fraction changes at the detector
        double sendAt = 0.0;  // where the piston is when the pulse is sent: at + delay
    };

    // delayMm: piston travel from detector to collector; kNoDelayLimit for a
    // preview that may place every change where the thresholds find it.
    PeakCutter(const PeakCollection& settings, double delayMm);

    // The next sample (x in mm, or the profile's unit); the changes whose
    // pulse is due by it (decided now or before) are appended to `send`, in order.
    void push(double x, double y, std::vector<Cut>& send);
    // A tube change by hand, its pulse sent with the piston at pistonX: the
    // fraction whose liquid was arriving then is split there, the new part
    // marked manual.
    void manualSplit(double pistonX);
    // The run ended: a change whose pulse was not sent is withdrawn, and the
    // last fraction ends at the last sample.
    void finish();
    [[nodiscard]] double lastX() const { return newestX_; }
    // Changes decided so far (sent or not, withdrawn ones included).
    [[nodiscard]] std::size_t decided() const { return decided_; }

    [[nodiscard]] const std::vector<CollectedFraction>& fractions() const { return fractions_; }
    [[nodiscard]] int peaks() const { return peaks_; }
    [[nodiscard]] double delay() const { return delay_; }
    [[nodiscard]] const PeakCollection& settings() const { return settings_; }

private:
    enum class State { Between, Rising, InPeak };

    void onPoint(double x, double value, double slopePerMm);
    void cut(double at, int peak);
    // Cuts the fraction `at` falls in; false when there is no room (a change
    // by hand always makes its part, empty or not).
    bool split(double at, int peak, bool manual);
    // Merges the fraction starting at a withdrawn change into the one before.
    void withdraw(const Cut& c);
    void renumber();
    [[nodiscard]] double positionOf(std::size_t index) const;
    [[nodiscard]] double spacingAround(std::size_t index) const;

    PeakCollection settings_;
    double delay_;
    double endLevel_;
    double endSlope_;
    StreamingSmoother smoother_;
    std::vector<StreamingSmoother::Point> points_;

    // The positions of the latest samples, by sample index modulo the ring.
    std::vector<double> positions_;
    std::size_t pushed_ = 0;
    double newestX_ = 0.0;
    std::vector<double> firstWindow_;  // for the baseline
    double baseline_ = 0.0;

    State state_ = State::Between;
    bool havePoint_ = false;
    double lastX_ = 0.0;
    double lastValue_ = 0.0;
    double peakStart_ = 0.0;
    double top_ = 0.0;
    double topX_ = 0.0;
    bool topSeen_ = false;
    bool fallSeen_ = false;
    bool startArmed_ = true;  // a start rule must stop holding before it starts the next peak
    int inPeakCuts_ = 0;
    double nextBetween_ = 0.0;
    int peaks_ = 0;
    std::size_t decided_ = 0;
    std::vector<Cut> pending_;  // decided, their pulse not yet due
    std::vector<CollectedFraction> fractions_;
};

// The fractions collecting by peaks would have cut on a recorded signal
// (x in order), with the pulses `delayMm` behind the detector as a live run
// sends them; the run is taken to have ended at its last sample.
[[nodiscard]] std::vector<CollectedFraction> previewFractions(const std::vector<double>& x,
                                                              const std::vector<double>& y,
                                                              const PeakCollection& settings, double delayMm);

}  // namespace corvane
