#include "display/StandardRun.h"

#include <cmath>

#include "compare/AlignPeaks.h"
#include "display/RunTraces.h"

namespace corvane {

namespace {

constexpr Rgb kProfileColour{128, 128, 128};
constexpr Rgb kZoneEdgeColour{0, 0, 200};

}  // namespace

StandardRun::StandardRun(RunDataFile file, OverlayPlan plan, std::filesystem::path path)
    : file_(std::move(file)), plan_(std::move(plan)), path_(std::move(path)) {
    const AlignTrace trace = alignTraceOf(file_);
    samplesPerMm_ = trace.samplesPerMm();
    firstMm_ = trace.position.empty() ? 0.0 : trace.position.front();
}

double StandardRun::onAxis(double mm) const {
    return (units_.byPosition ? mm : (mm - firstMm_) * samplesPerMm_) * units_.scale;
}

void StandardRun::boundaryPositions(std::vector<double>& out) const {
    out.clear();
    for (const auto& zone : plan_.zones) {
        const int n = zone.fractions > 0 ? zone.fractions : 1;
        for (int k = 1; k <= n; ++k) {
            out.push_back(onAxis(zone.start + (zone.end - zone.start) * k / n));
        }
    }
}

FractionLabel StandardRun::fractionAt(double x) const {
    std::vector<double> bounds;
    boundaryPositions(bounds);
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        if (x <= bounds[i]) {
            return {FractionLabel::Kind::Number, static_cast<int>(i) + 1};
        }
    }
    return {};
}

int StandardRun::fractionCount() const {
    int count = 0;
    for (const auto& zone : plan_.zones) {
        count += zone.fractions > 0 ? zone.fractions : 1;
    }
    return count;
}

void StandardRun::drawZones(ZoneCanvas& canvas, const GraphMapping& mapping) const {
    // The profile on the plot's own y axis is not known here: it is drawn
    // scaled to the plot height between its own extremes.
    RunLayout layout;
    layout.shown[kChannelAbsA] = true;
    layout.units = units_;
    layout.eventMarks = false;
    const ChannelArrays arrays = runChannels(file_, layout);
    const auto& xs = arrays.x[kChannelAbsA];
    const auto& ys = arrays.y[kChannelAbsA];
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const double y : ys) {
        if (std::isfinite(y)) {
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
    }
    if (hi > lo) {
        const YAxisMap axis = mapping.yAxis(lo, hi);
        std::optional<PixelPoint> previous;
        for (std::size_t i = 0; i < xs.size(); ++i) {
            const int px = mapping.px(xs[i]);
            const int py = axis.py(ys[i], 0);
            if (!mapping.inPlot(px) || py == kNoPixel) {
                previous.reset();
                continue;
            }
            const PixelPoint point{px, py};
            if (previous && !(*previous == point)) {
                canvas.line(*previous, point, kProfileColour);
            }
            previous = point;
        }
    }
    for (const auto& zone : plan_.zones) {
        const int px = mapping.px(onAxis(zone.end));
        if (mapping.inPlot(px)) {
            canvas.line({px, 0}, {px, mapping.height() - 1}, kZoneEdgeColour);
        }
    }
}

}  // namespace corvane
