#include "analysis/Saturation.h"

#include <algorithm>
#include <cmath>

#include "analysis/SignalStats.h"

namespace corvane {

namespace {

// The samples of a plateau scatter with the detector's noise about the level
// it clipped at, and the highest of them stands up to about four noise levels
// above it: everything within six of the highest holds nearly all the rest.
constexpr double kNoiseWidths = 6.0;
// At a known full scale the level is known: within three noise levels of it.
constexpr double kFullScaleWidths = 3.0;
// A sample of the plateau that noise took below the band does not cut it in
// two: up to this many in a row are bridged.
constexpr std::size_t kBridge = 2;
// The band also holds the flanks' last samples below the corners; a plateau
// ends where its samples are no more than this many noise levels below its level.
constexpr double kEdgeWidths = 2.0;
constexpr std::size_t kMinPlateau = 3;        // samples, without a known full scale
constexpr std::size_t kMinFullScaleRun = 2;   // samples, at a known full scale
constexpr double kMinShareOfHalfWidth = 0.2;  // a plateau's length over its peak's width at half height
constexpr double kMinRangeInTolerances = 10.0;
// A round top held within the band falls away by a few noise levels at the
// run's ends; a clipped one not at all. The parabola fitted over the run
// tells them apart: flat when the drop it gives is within this many of its
// own standard errors (the noise of a fit over few samples), or within one
// noise level.
constexpr double kFlatStandardErrors = 3.0;
constexpr double kFlatNoise = 1.0;
// A plateau's corners: its flanks looked at over a quarter of its length
// (at least this many samples) must fall this many times as far as a round
// top's would.
constexpr std::size_t kCornerSamples = 3;
constexpr double kCornerSharpness = 1.5;

// Whether y over from..to is flat within the noise: the parabola a + c t^2
// fitted over t from -1 to 1 (the odd part apart: a slope is no top) drops
// at the ends by no more than the noise explains.
bool flatWithinNoise(std::span<const double> y, std::size_t from, std::size_t to, double noise, double floor) {
    const std::size_t n = to - from + 1;
    if (n < 3) {
        return true;
    }
    const double half = static_cast<double>(n - 1) / 2.0;
    double s2 = 0.0;
    double s4 = 0.0;
    double sy = 0.0;
    double sty2 = 0.0;
    for (std::size_t i = from; i <= to; ++i) {
        const double t = (static_cast<double>(i - from) - half) / half;
        const double t2 = t * t;
        s2 += t2;
        s4 += t2 * t2;
        sy += y[i];
        sty2 += t2 * y[i];
    }
    const double count = static_cast<double>(n);
    const double determinant = count * s4 - s2 * s2;
    const double drop = -(count * sty2 - s2 * sy) / determinant;
    const double standardError = noise * std::sqrt(count / determinant);
    return drop <= std::max({kFlatStandardErrors * standardError, kFlatNoise * noise, floor});
}

// Whether the profile falls away from a plateau at from..to (level `level`)
// as a clipped peak's flanks do: outside each end (the profile's own ends
// apart) the samples drop at least twice as far as a round top spanning the
// run would take them, one that fell by the band's depth at the run's ends.
bool sharpCorners(std::span<const double> y, std::size_t from, std::size_t to, double level, double noise) {
    const double half = std::max(1.0, static_cast<double>(to - from) / 2.0);
    const std::size_t reach = std::max(kCornerSamples, (to - from + 1) / 4);
    const double depth = (kEdgeWidths + 1.0) * noise;
    const auto side = [&](bool left) {
        double drop = 0.0;
        double round = 0.0;
        std::size_t count = 0;
        for (std::size_t d = 1; d <= reach; ++d) {
            if (left ? d > from : to + d >= y.size()) {
                break;
            }
            drop += level - y[left ? from - d : to + d];
            const double out = (half + static_cast<double>(d)) / half;
            round += depth * out * out;
            ++count;
        }
        return count == 0 || drop >= kCornerSharpness * round;
    };
    return side(true) && side(false);
}

}  // namespace

std::vector<IndexRange> findSaturation(std::span<const double> y, double noise, std::optional<double> fullScale) {
    std::vector<IndexRange> plateaus;
    const std::size_t n = y.size();
    if (n == 0) {
        return plateaus;
    }
    // Values, not places: a loop the compiler can run several samples at a time.
    double lowest = y[0];
    double highest = y[0];
    for (const double v : y) {
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    const double top = fullScale.value_or(highest);
    const double floor = 1e-9 * std::max(1.0, std::abs(top));
    const double tolerance = std::max((fullScale ? kFullScaleWidths : kNoiseWidths) * noise, floor);
    if (!fullScale && highest - lowest < kMinRangeInTolerances * tolerance) {
        return plateaus;
    }
    const double half = (top + lowest) / 2.0;
    const double near = top - tolerance;
    for (std::size_t i = 0; i < n;) {
        while (i < n && y[i] < near) {
            ++i;
        }
        if (i == n) {
            break;
        }
        std::size_t end = i;
        for (std::size_t next = end + 1; next < n && next <= end + kBridge + 1; ++next) {
            if (y[next] >= near) {
                end = next;
            }
        }
        const std::size_t start = i;
        i = end + 1;
        const double level = fullScale ? *fullScale : medianOf({y.begin() + start, y.begin() + end + 1});
        const double edge = level - std::max(kEdgeWidths * noise, floor);
        std::size_t first = start;
        while (first < end && y[first] < edge) {
            ++first;
        }
        while (end > first && y[end] < edge) {
            --end;
        }
        const std::size_t length = end - first + 1;
        bool flat = length >= kMinFullScaleRun;
        if (!fullScale) {
            std::size_t left = first;
            while (left > 0 && y[left - 1] >= half) {
                --left;
            }
            std::size_t right = end;
            while (right + 1 < n && y[right + 1] >= half) {
                ++right;
            }
            const double width = static_cast<double>(right - left + 1);
            flat = length >= kMinPlateau && static_cast<double>(length) >= kMinShareOfHalfWidth * width &&
                   flatWithinNoise(y, first, end, noise, floor) && sharpCorners(y, first, end, level, noise);
        }
        if (flat) {
            plateaus.push_back({first, end});
        }
    }
    return plateaus;
}

void onePeakPerPlateau(std::vector<Extremum>& peaks, std::vector<Extremum>& valleys,
                       const std::vector<IndexRange>& plateaus, std::size_t reach) {
    for (const IndexRange& r : plateaus) {
        const std::size_t from = r.from > reach ? r.from - reach : 0;
        const std::size_t to = r.to + reach;
        const auto on = [&](const Extremum& e) { return e.index >= from && e.index <= to; };
        const auto first = std::find_if(peaks.begin(), peaks.end(), on);
        if (first == peaks.end()) {
            continue;
        }
        Extremum merged = *first;
        merged.index = r.from + (r.to - r.from) / 2;
        for (auto p = first; p != peaks.end() && on(*p); ++p) {
            merged.prominence = std::max(merged.prominence, p->prominence);
            merged.leftBase = std::min(merged.leftBase, p->leftBase);
            merged.rightBase = std::max(merged.rightBase, p->rightBase);
        }
        const auto last = std::find_if_not(first, peaks.end(), on);
        *first = merged;
        peaks.erase(first + 1, last);
        // The dips between the corners are no valleys either.
        std::erase_if(valleys, [&](const Extremum& v) { return v.index >= r.from && v.index <= r.to; });
    }
}

bool touchesAny(const std::vector<IndexRange>& ranges, double from, double to) {
    if (from > to) {
        std::swap(from, to);
    }
    // A clipped sample spoils the trapezoids either side of it.
    return std::any_of(ranges.begin(), ranges.end(), [&](const IndexRange& r) {
        return static_cast<double>(r.to) + 1.0 > from && static_cast<double>(r.from) - 1.0 < to;
    });
}

}  // namespace corvane
