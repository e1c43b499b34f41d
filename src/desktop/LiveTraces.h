#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "desktop/Channels.h"
#include "desktop/LiveSamples.h"
#include "desktop/SlidingExtremes.h"
#include "graph/AxisScaling.h"

namespace corvane {

class GraphModel;

// The choices of the window that decide what a live run puts on the graph.
struct LiveWindow {
    std::array<bool, kChannelCount> shown{};
    bool inMm = false;           // x is the position, else the sample number
    double windowSamples = 500;  // the x window by sample number
    double windowMm = 100;       // ... and by position
    bool xAutoScale = false;     // by position: x spans the samples shown
    int xAutoWidth = LiveSamples::kSize;
    double leftMm = 0.0;  // by position, without X auto-scale: the left edge
    // The slot each channel goes to (-1: none); with an overlay the run's
    // absorbances and ratio take slots 0 to 2.
    std::array<int, kChannelCount> slot{0, 1, 2, 3, 4, 5, 6};
    // A DE-1 run: the ratio channel is its event-mark channel, plotted as
    // mark levels (de1MarkLevel) and kept out of the auto-scale.
    bool de1 = false;
    // A DE-1 run started by OD sensing: by position the window starts at the
    // run's first sample, since the run begins wherever the signal rose.
    bool odStart = false;
    // The current run's (DS1's) gains and offsets, as a file's take them:
    // x = x gain times its x + shift, y = y gain times its y + y offset (the
    // marks keep their levels). The window is on the shown values.
    double xGain = 1.0;
    double xShift = 0.0;
    double yGain = 1.0;
    double yOffset = 0.0;

    friend bool operator==(const LiveWindow&, const LiveWindow&) = default;
};

// What the live traces give the axes: the x range, and the extremes of the
// values inside it for the Y and YY auto-scales (nothing when no value is).
struct LiveAxes {
    AxisRange x;
    std::optional<AxisRange> y;
    std::optional<AxisRange> yy;
};

// The live run's trace slots, kept up to date sample by sample: each shown
// channel's slot holds the samples that fit the x window, at their sample
// number or position. By sample number the window holds the newest samples
// that fit (xaxissamplerange + 1, at most the X-axis Auto Width) and scrolls
// once full, the newest sample at the right edge; by position it is
// [left, left + xaxisposrange], or with X auto-scale the extent of the newest
// X-axis Auto Width samples. The ratio is Abs A / Abs B, not a number where
// Abs B is 0.
//
// A new sample costs its own points only: they are added to the slots, the
// samples that no longer fit are let go of at the front, and the auto-scale
// extremes follow (SlidingExtremes). Anything else that changed (a clear, a
// switch, another window) rebuilds the slots from the ring.
class LiveTraces {
public:
    // Brings the slots up to date with the ring. generation is the feed's
    // (it moves with every clear).
    LiveAxes update(const LiveSamples& ring, std::uint64_t generation, const LiveWindow& window,
                    GraphModel& model);
    // The next update rebuilds the slots.
    void invalidate() { valid_ = false; }

private:
    LiveAxes rebuild(const LiveSamples& ring, std::uint64_t generation, const LiveWindow& window,
                     GraphModel& model);
    // The first sample number the slots should hold.
    [[nodiscard]] std::int64_t firstShown(const LiveSamples& ring) const;
    // Adds samples [from, ring.total()) to the scratch arrays and extremes.
    void collect(const LiveSamples& ring, std::int64_t from);
    // Where a sample is shown on x, its gain and shift applied.
    [[nodiscard]] double xOf(int channel, const LiveSamples::Point& point) const;
    [[nodiscard]] bool inside(double x) const;
    [[nodiscard]] LiveAxes axes(const LiveSamples& ring) const;

    bool valid_ = false;
    std::uint64_t generation_ = 0;
    LiveWindow window_;
    std::int64_t first_ = 0;  // the sample number of the slots' first point
    std::int64_t end_ = 0;    // one past the sample number of their last
    SlidingExtremes y_;
    SlidingExtremes yy_;
    SlidingExtremes x_;  // positions, for X auto-scale
    // The points being added, per channel, reused from sample to sample.
    std::array<std::vector<double>, kChannelCount> xs_;
    std::array<std::vector<double>, kChannelCount> ys_;
};

}  // namespace corvane
