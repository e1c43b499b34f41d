#pragma once

#include <array>
#include <optional>
#include <vector>

#include "display/Channels.h"
#include "runs/SampleRecord.h"

namespace corvane {

class LiveSamples;
class RunDataFile;

// A run's values per channel, each at its x (sample index, or position in mm).
struct ChannelArrays {
    std::array<std::vector<double>, kChannelCount> x;
    std::array<std::vector<double>, kChannelCount> y;
    // A DE-1 run: the ratio channel holds its event marks (levels, not data).
    bool marks = false;
};

// How a loaded run is laid on the graph.
struct RunLayout {
    std::array<bool, kChannelCount> shown{};
    bool inMm = false;
    bool eventMarks = true;  // a DE-1 run's marks are wanted
    double xShift = 0.0;     // added to every x (an alignment offset)
    double xGain = 1.0;      // every x times it, before the shift
    double yGain = 1.0;
    double yOffset = 0.0;    // added to every value but marks
};

// The traces of a loaded run: a two-channel run's channels (channel B at its
// own position), a DE-1 run's signal in the Abs A channel and its marks in
// the ratio channel, an export file's sets in channels 0 to 3 (Abs A each).
[[nodiscard]] ChannelArrays runChannels(const RunDataFile& file, const RunLayout& layout);

// The sample of a loaded run at x: by index the nearest sample number, by
// position the sample nearest to x (minus the shift). A DE-1 row gives its
// signal as absorbance A. Nothing for an empty run.
[[nodiscard]] std::optional<SampleRecord> fileSampleAt(const RunDataFile& file, double x, bool inMm,
                                                       double xShift = 0.0);
// The row fileSampleAt finds (without the shift), and that row's position.
[[nodiscard]] std::optional<std::size_t> fileIndexAt(const RunDataFile& file, double x, bool inMm);
[[nodiscard]] double filePositionOf(const RunDataFile& file, std::size_t index);
// The same in the live ring (x a sample number, or a position).
[[nodiscard]] std::optional<SampleRecord> liveSampleAt(const LiveSamples& ring, double x, bool inMm);
// The ring index liveSampleAt reads.
[[nodiscard]] std::optional<int> liveIndexAt(const LiveSamples& ring, double x, bool inMm);

// A run's x extent on its axis: positions in mm, or 0 to the sample count.
struct XExtent {
    double first = 0.0;
    double last = 0.0;
    std::size_t count = 0;
};
[[nodiscard]] XExtent fileExtent(const RunDataFile& file, bool inMm);

}  // namespace corvane
