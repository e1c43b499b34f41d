#pragma once

// Peaks and valleys by prominence: how far a peak rises above the higher of
// the two lowest points that separate it from anything taller on either side
// (the profile's ends count as the end of a side). Noise makes many small
// maxima; prominence, unlike height, tells them from features whatever the
// baseline does, and a shoulder on a big peak keeps only its own rise.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace corvane {

struct Extremum {
    std::size_t index = 0;
    double prominence = 0.0;
    std::size_t leftBase = 0;   // the lowest (for a valley: highest) point on each side
    std::size_t rightBase = 0;  // the prominence was measured from

    bool operator==(const Extremum&) const = default;
};

// The local maxima of y (the middle sample of a flat top; never the first or
// last sample) whose prominence is at least minProminence, in sample order.
// Linear in the length of y.
[[nodiscard]] std::vector<Extremum> findPeaks(std::span<const double> y, double minProminence);
// The local minima (the middle sample of a flat bottom), their prominence
// measured downwards.
[[nodiscard]] std::vector<Extremum> findValleys(std::span<const double> y, double minProminence);

// Both at once, from one look at the signal.
struct PeaksAndValleys {
    std::vector<Extremum> peaks;
    std::vector<Extremum> valleys;
};
[[nodiscard]] PeaksAndValleys findPeaksAndValleys(std::span<const double> y, double minProminence);

// Peaks and valleys of a signal that arrives one sample at a time: a peak is
// taken once the signal has fallen `prominence` below it, a valley once it
// has risen that much above it, so turns alternate and each is known within
// the samples it takes to fall or rise that far. This is the rule a live
// detector can apply; on a whole profile it finds the peaks findPeaks finds
// where they stand clear of each other by more than `prominence`.
class ExtremaTracker {
public:
    struct Turn {
        std::size_t index = 0;
        double value = 0.0;
        bool peak = false;
    };

    explicit ExtremaTracker(double prominence) : prominence_(prominence) {}

    // The next sample; the turn it confirms, if any.
    [[nodiscard]] std::optional<Turn> push(std::size_t index, double value);

private:
    enum class Looking { Either, Peak, Valley };

    double prominence_;
    Looking looking_ = Looking::Either;
    Turn high_;  // the highest since the last valley (or the start)
    Turn low_;   // the lowest since the last peak (or the start)
    bool started_ = false;
};

}  // namespace corvane
