#pragma once

#include <array>
#include <optional>
#include <vector>

#include "display/AxisState.h"
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
[[nodiscard]] XUnits xUnitsOf(const RunDataFile& file, XAxisType axis);
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
};

// The traces of a loaded run: a two-channel run's channels (channel B at its
// own position), a DE-1 run's signal in the Abs A channel and its marks in
// the ratio channel, an export file's sets in channels 0 to 3 (Abs A each).
[[nodiscard]] ChannelArrays runChannels(const RunDataFile& file, const RunLayout& layout);

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
