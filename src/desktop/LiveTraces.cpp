#include "desktop/LiveTraces.h"

#include <algorithm>
#include <cmath>

#include "graph/GraphModel.h"

namespace corvane {

namespace {

[[nodiscard]] std::int64_t sampleWidth(const LiveWindow& window) {
    return std::max<std::int64_t>(1, std::llround(window.windowSamples));
}

// A window wider than this many samples scrolls in steps of width / it:
// half a pixel of the widest plot, so a step shows nothing a one-sample step
// would not, while every scroll repaints the whole trace (a 25000-sample
// window would otherwise repaint 25000 points for each new sample).
constexpr std::int64_t kScrollStepsPerWindow = 2048;

[[nodiscard]] std::int64_t scrollStep(std::int64_t width) {
    return std::max<std::int64_t>(1, width / kScrollStepsPerWindow);
}

}  // namespace

std::int64_t LiveTraces::firstShown(const LiveSamples& ring) const {
    const std::int64_t total = ring.total();
    const std::int64_t stored = ring.stored();
    if (!window_.inMm) {
        const auto fit = std::min<std::int64_t>(
            {stored, sampleWidth(window_) + 1, static_cast<std::int64_t>(window_.xAutoWidth)});
        return total - fit;
    }
    if (window_.xAutoScale) {
        return total - std::min<std::int64_t>(stored, window_.xAutoWidth);
    }
    return total - stored;
}

double LiveTraces::xOf(int channel, const LiveSamples::Point& point) const {
    const double x = !window_.inMm              ? static_cast<double>(point.number)
                     : isBChannel(channel) ? point.record.positionB
                                           : point.record.positionA;
    return x * window_.xGain + window_.xShift;
}

bool LiveTraces::inside(double x) const {
    // By sample number every sample held lies inside the window, and with X
    // auto-scale the window is what they span; only a fixed window by
    // position leaves samples out.
    if (!window_.inMm || window_.xAutoScale) {
        return true;
    }
    return x >= window_.leftMm && x <= window_.leftMm + window_.windowMm;
}

void LiveTraces::collect(const LiveSamples& ring, std::int64_t from) {
    for (auto& xs : xs_) {
        xs.clear();
    }
    for (auto& ys : ys_) {
        ys.clear();
    }
    const std::int64_t oldest = ring.total() - ring.stored();
    for (std::int64_t n = from; n < ring.total(); ++n) {
        const LiveSamples::Point& point = ring.at(static_cast<int>(n - oldest));
        double yLo = INFINITY;
        double yHi = -INFINITY;
        double yyLo = INFINITY;
        double yyHi = -INFINITY;
        double xLo = INFINITY;
        double xHi = -INFINITY;
        for (int c = 0; c < kChannelCount; ++c) {
            if (!window_.shown[static_cast<std::size_t>(c)] || window_.slot[static_cast<std::size_t>(c)] < 0) {
                continue;
            }
            const double x = xOf(c, point);
            const bool mark = window_.de1 && c == kChannelRatio;
            const double y = mark ? de1MarkLevel(point.record.sampleA)
                                  : channelValue(c, point.record) * window_.yGain + window_.yOffset;
            xs_[static_cast<std::size_t>(c)].push_back(x);
            ys_[static_cast<std::size_t>(c)].push_back(y);
            xLo = std::min(xLo, x);
            xHi = std::max(xHi, x);
            // Values that are not finite (a ratio with Abs B of 0) do not
            // count for the auto-scale.
            if (mark || !std::isfinite(y) || !inside(x)) {
                continue;
            }
            double& lo = c == kChannelRatio ? yyLo : yLo;
            double& hi = c == kChannelRatio ? yyHi : yHi;
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
        if (yLo <= yHi) {
            y_.push(n, yLo, yHi);
        }
        if (yyLo <= yyHi) {
            yy_.push(n, yyLo, yyHi);
        }
        if (std::isfinite(xLo) && std::isfinite(xHi)) {
            x_.push(n, xLo, xHi);
        }
    }
}

LiveAxes LiveTraces::axes(const LiveSamples& ring) const {
    LiveAxes axes;
    const auto scanned = [](const SlidingExtremes& extremes) -> std::optional<AxisRange> {
        if (extremes.empty()) {
            return std::nullopt;
        }
        // The traditional starting values of a live run's scan still apply.
        AutoScaleRange range = AutoScaleRange::forLiveRun();
        range.add(*extremes.low());
        range.add(*extremes.high());
        return range.range();
    };
    axes.y = scanned(y_);
    axes.yy = scanned(yy_);
    if (!window_.inMm) {
        const auto width = sampleWidth(window_);
        if (ring.stored() > 0) {
            const std::int64_t oldest = ring.at(0).number;
            // Once full, the newest sample at the right edge, rounded up to
            // the next scroll step (numbers start at 0 with every clear).
            const std::int64_t edge = std::max(ring.newest().number, oldest + width);
            const std::int64_t step = scrollStep(width);
            const std::int64_t xMax = width + (edge - width + step - 1) / step * step;
            axes.x = {static_cast<double>(xMax - width), static_cast<double>(xMax)};
        } else {
            axes.x = {0.0, static_cast<double>(width)};
        }
        // The window follows the samples where they are shown.
        axes.x = {axes.x.min * window_.xGain + window_.xShift, axes.x.max * window_.xGain + window_.xShift};
        return axes;
    }
    axes.x = {window_.leftMm, window_.leftMm + window_.windowMm};
    if (window_.odStart && ring.stored() > 0) {
        // A start a little behind the zero point still shows; no further.
        constexpr double kLowestOdStartMm = -2.0;
        const double left = std::max(xOf(kChannelAbsA, ring.at(0)), kLowestOdStartMm);
        axes.x = {left, left + window_.windowMm};
    }
    if (window_.xAutoScale && !x_.empty()) {
        const double lo = *x_.low();
        const double hi = *x_.high();
        axes.x = hi > lo ? AxisRange{lo, hi} : AxisRange{lo, lo + window_.windowMm};
    }
    return axes;
}

LiveAxes LiveTraces::rebuild(const LiveSamples& ring, std::uint64_t generation,
                             const LiveWindow& window, GraphModel& model) {
    valid_ = true;
    generation_ = generation;
    window_ = window;
    y_.clear();
    yy_.clear();
    x_.clear();
    first_ = firstShown(ring);
    end_ = ring.total();
    collect(ring, first_);
    for (int c = 0; c < kChannelCount; ++c) {
        const int slot = window_.slot[static_cast<std::size_t>(c)];
        if (slot < 0) {
            continue;
        }
        const auto& xs = xs_[static_cast<std::size_t>(c)];
        if (xs.empty()) {
            model.emptyTrace(slot);
        } else {
            model.setTraceData(xs.data(), ys_[static_cast<std::size_t>(c)].data(),
                               static_cast<int>(xs.size()), slot, 1.0);
        }
    }
    return axes(ring);
}

LiveAxes LiveTraces::update(const LiveSamples& ring, std::uint64_t generation,
                            const LiveWindow& window, GraphModel& model) {
    if (!valid_ || generation != generation_ || !(window == window_)) {
        return rebuild(ring, generation, window, model);
    }
    const std::int64_t oldest = ring.total() - ring.stored();
    const std::int64_t first = firstShown(ring);
    // Samples that went by unseen (more than the ring holds since the last
    // update), or a window that would start before what is held: start over.
    if (end_ < oldest || first < first_ || first > end_) {
        return rebuild(ring, generation, window, model);
    }
    const auto gone = static_cast<int>(first - first_);
    if (gone > 0) {
        for (int c = 0; c < kChannelCount; ++c) {
            const int slot = window_.slot[static_cast<std::size_t>(c)];
            if (window_.shown[static_cast<std::size_t>(c)] && slot >= 0) {
                model.dropOldestPoints(slot, gone);
            }
        }
        y_.dropBefore(first);
        yy_.dropBefore(first);
        x_.dropBefore(first);
    }
    if (end_ < ring.total()) {
        collect(ring, end_);
        for (int c = 0; c < kChannelCount; ++c) {
            const auto& xs = xs_[static_cast<std::size_t>(c)];
            if (!xs.empty()) {
                model.appendTraceData(xs.data(), ys_[static_cast<std::size_t>(c)].data(),
                                      static_cast<int>(xs.size()), window_.slot[static_cast<std::size_t>(c)],
                                      1.0);
            }
        }
    }
    first_ = first;
    end_ = ring.total();
    return axes(ring);
}

}  // namespace corvane
