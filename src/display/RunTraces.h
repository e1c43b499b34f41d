#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "display/AxisState.h"
#include "compare/AlignPeaks.h"
#include "display/Channels.h"
#include "runs/SampleRecord.h"

namespace corvane {

class LiveSamples;
class RunDataFile;

// How a run's own x is shown on an axis: its positions (mm) or its sample
// index, times a scale: 1 for mm and sample numbers, the volume per mm for
// ml, the seconds (or minutes) per sample for time from the run's start.
struct XUnits {
    bool byPosition = false;
    double scale = 1.0;
};

// A run file's units on an axis. Its volume per mm is its header's, else
// the default tube's; its time per sample is its sample interval (a DE-1
// run: one over its samples per second), else the unit's usual 50 ms.
// A profile of another instrument keeps its own x on the axis of its unit
// (minutes and seconds converted into each other) and is shown by point
// number on any other axis.
[[nodiscard]] XUnits xUnitsOf(const RunDataFile& file, XAxisType axis);
// The axis a profile of another instrument is shown on: its x's unit (min,
// s, ml, mm), else point numbers. Nothing for a run of ours.
[[nodiscard]] std::optional<XAxisType> profileAxisOf(const RunDataFile& file);
// The profile is shown with its own x, not by point number, on this axis.
[[nodiscard]] bool profileOwnX(const RunDataFile& file, XAxisType axis);
// The y title of a profile of another instrument shown alone: "Absorbance
// (AU)" for values in AU (mAU shown in AU), else its unit as the file gives
// it ("detector units" where it gives none). Empty for a run of ours.
[[nodiscard]] std::string profileValueTitle(const RunDataFile& file);
// The values are absorbances (ours, or a profile in AU or mAU): beside a
// set whose values are not, each keeps its own axis.
[[nodiscard]] bool valuesInAu(const RunDataFile& file);
// The axis runs shown together are laid on: `wanted` where each shows its
// own x there (a run of ours on every axis, a profile on its unit's; point
// numbers too, unless `ownX`), else the first profile's axis where every
// file converts to it (ours through its volume per mm or time per sample,
// an .asc profile natively in ml), else point numbers. Null files are left
// out. ownX: a view of the files begins (opened, laid over, compared), so a
// profile starts on its own x; an axis the operator picks keeps its points.
[[nodiscard]] XAxisType axisShowingAll(const std::vector<const RunDataFile*>& files, XAxisType wanted,
                                       bool ownX = false);
// The same for a run of known volume per mm and seconds per sample.
[[nodiscard]] XUnits xUnitsFor(XAxisType axis, double volumePerMm, double secondsPerSample);
// What a run file's header gives: its volume per mm (0 when it names none)
// and its seconds per sample (0 when it names no rate).
[[nodiscard]] double fileVolumePerMm(const RunDataFile& file);
[[nodiscard]] double fileSecondsPerSample(const RunDataFile& file);

// A run's values per channel, each at its x on the axis.
struct ChannelArrays {
    std::array<std::vector<double>, kChannelCount> x;
    std::array<std::vector<double>, kChannelCount> y;
    // A DE-1 run: the ratio channel holds its event marks (levels, not data).
    bool marks = false;
    // The channel the marks are in: the ratio's, or Abs B's for a profile
    // whose values take the ratio's place on the right axis.
    int markChannel = kChannelRatio;
    // The marks' trace gain: their rise of 1 as tall as the values on the
    // right axis (the graph sees a tick in a rise of a few pixels, and a
    // level of 2 or more would be an automatic fraction's).
    double markGain = 1.0;
};

// How a loaded run is laid on the graph.
struct RunLayout {
    std::array<bool, kChannelCount> shown{};
    XUnits units;
    bool eventMarks = true;  // a DE-1 run's marks are wanted
    double xShift = 0.0;     // added to every x (an alignment offset)
    double xGain = 1.0;      // every x times it, before the shift
    double yGain = 1.0;
    double yOffset = 0.0;    // added to every value but marks
    // A DE-1 run's signal in volts: its absorbance over the full scale it
    // was recorded at (0.0-1.0 V), rather than absorbance.
    bool volts = false;
    // A profile not in AU beside a run in AU: its values on their own (the
    // right) axis in the ratio channel, its marks in Abs B's.
    bool valuesOnRight = false;
};

// The traces of a loaded run: a two-channel run's channels (channel B at its
// own position), a DE-1 run's signal in the Abs A channel and its marks in
// the ratio channel, an export file's sets in channels 0 to 3 (Abs A each),
// a profile of another instrument as a DE-1 run (its marks each a rise from
// 0 to 1 at its own x, or on a point-number axis at the nearest point).
[[nodiscard]] ChannelArrays runChannels(const RunDataFile& file, const RunLayout& layout);

// AUTO-ALIGN of sets in different own units on one axis (a profile's
// minutes beside our run's samples): a run's Abs A where it is drawn on the
// axis of `units` (its shift left out), and how many of its samples one unit
// of the axis holds, which turns a distance on the axis into its x offset.
[[nodiscard]] AlignTrace alignTraceOnAxis(const RunDataFile& file, XUnits units);
[[nodiscard]] double samplesPerAxisUnit(const AlignTrace& onAxis, XUnits units);
// The x offsets (samples) that put each set's peak between x1 and x2 (axis
// units, shifts left out) on set 0's; nothing for a set without one, and
// nothing at all when set 0 has none. Set 0's own offset is 0.
[[nodiscard]] std::optional<std::vector<std::optional<double>>> alignedOnAxis(
    const std::vector<const RunDataFile*>& files, const std::vector<XUnits>& units, double x1, double x2);

// The sample of a loaded run at x (minus the shift) on the axis of `units`:
// by index the nearest sample number, by position the sample nearest to x.
// A DE-1 row gives its signal as absorbance A. Nothing for an empty run.
[[nodiscard]] std::optional<SampleRecord> fileSampleAt(const RunDataFile& file, double x, XUnits units,
                                                       double xShift = 0.0);
// The row fileSampleAt finds (without the shift), and where a row lies on
// an axis.
[[nodiscard]] std::optional<std::size_t> fileIndexAt(const RunDataFile& file, double x, XUnits units);
[[nodiscard]] double fileXOf(const RunDataFile& file, std::size_t index, XUnits units);
// The same in the live ring (x a sample number, or a position, times the scale).
[[nodiscard]] std::optional<SampleRecord> liveSampleAt(const LiveSamples& ring, double x, XUnits units);
// The ring index liveSampleAt reads.
[[nodiscard]] std::optional<int> liveIndexAt(const LiveSamples& ring, double x, XUnits units);

// A run's x extent on its axis: positions, or 0 to the sample count, times
// the scale.
struct XExtent {
    double first = 0.0;
    double last = 0.0;
    std::size_t count = 0;
};
[[nodiscard]] XExtent fileExtent(const RunDataFile& file, XUnits units);

}  // namespace corvane
