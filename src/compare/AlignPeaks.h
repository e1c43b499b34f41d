#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class RunDataFile;
struct Profile;

// How the x axis counts: sample numbers or millimetres of piston travel.
enum class AlignAxis { Samples, Millimetres };

// One data set as the peak alignment sees it: per sample its position and
// its Abs A value (a DE-1 run's distance and signal), in sample order. On a
// sample axis the set's sample i sits at x = firstNumber + i.
struct AlignTrace {
    std::vector<double> position;  // mm
    std::vector<double> value;     // Abs A
    double firstNumber = 0.0;

    [[nodiscard]] std::size_t size() const { return value.size(); }
    // Samples per mm of travel: the count over the position span; 0 when
    // the span is empty or not finite.
    [[nodiscard]] double samplesPerMm() const;
};

// A run file's Abs A trace (a DE-1 run's signal at its distance); an export
// file gives its first set.
[[nodiscard]] AlignTrace alignTraceOf(const RunDataFile& file);
// A profile's y against its x (in the profile's own unit).
[[nodiscard]] AlignTrace alignTraceOf(const Profile& profile);

struct Peak {
    std::size_t index = 0;  // sample index in the set
    double position = 0.0;  // its position, mm
    double value = 0.0;
};

// The one rule for an x offset in samples, wherever it comes from (a drag,
// AUTO-ALIGN, align, --offset): the nearest whole sample, halves away from
// zero. The compare window shows it, the graph draws it and an export file
// writes it, so the three never differ.
[[nodiscard]] double wholeSampleOffset(double samples);

// The sample with the greatest Abs A value, the first of equal maxima, among
// the samples from the one at x1 to the one at x2 (either order). On a
// sample axis a sample is found by its number, clamped to the set; in mm the
// samples from the first at or beyond x1 to the last at or before x2 are
// searched. Nothing for an empty set, a window with no sample in it, or a
// window whose values are none of them numbers.
[[nodiscard]] std::optional<Peak> findPeak(const AlignTrace& set, double x1, double x2, AlignAxis axis);

// What aligning one set on the reference gives.
struct PeakOffset {
    Peak peak;
    // Added to the set's sample numbers, it puts its peak on the reference's:
    // a whole number of samples (wholeSampleOffset of the mm offset in mm).
    double offsetSamples = 0.0;
    // In mm: added to the set's positions (AUTO-ALIGN shifts them by it).
    double offsetMm = 0.0;
};

// The set's peak in the window and its offset from the reference peak: on a
// sample axis the difference of the two peak indices; in mm the position
// difference, converted to samples by the set's own samples per mm.
[[nodiscard]] std::optional<PeakOffset> alignOn(const Peak& reference, const AlignTrace& set, double x1,
                                                double x2, AlignAxis axis);

}  // namespace corvane
