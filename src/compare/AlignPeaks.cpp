#include "compare/AlignPeaks.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "runs/Profile.h"
#include "runs/RunDataFile.h"

namespace corvane {

double AlignTrace::samplesPerMm() const {
    if (position.size() < 2) {
        return 0.0;
    }
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const double p : position) {
        if (std::isfinite(p)) {
            lo = std::min(lo, p);
            hi = std::max(hi, p);
        }
    }
    const double span = hi - lo;
    return span > 0.0 && std::isfinite(span) ? static_cast<double>(position.size()) / span : 0.0;
}

AlignTrace alignTraceOf(const RunDataFile& file) {
    AlignTrace trace;
    if (file.isEm1()) {
        for (const auto& row : file.em1Samples()) {
            trace.position.push_back(row.distance);
            trace.value.push_back(row.absorbance);
        }
        return trace;
    }
    const std::vector<SampleRecord>* samples = &file.samples();
    if (file.isExport()) {
        if (file.exportedSets().empty()) {
            return trace;
        }
        samples = &file.exportedSets().front().samples;
    }
    for (const auto& s : *samples) {
        trace.position.push_back(s.positionA);
        trace.value.push_back(s.absorbanceA);
    }
    return trace;
}

AlignTrace alignTraceOf(const Profile& profile) {
    AlignTrace trace;
    trace.position = profile.x;
    trace.value = profile.y;
    return trace;
}

std::optional<Peak> findPeak(const AlignTrace& set, double x1, double x2, AlignAxis axis) {
    const std::size_t n = set.size();
    if (n == 0 || std::isnan(x1) || std::isnan(x2)) {
        return std::nullopt;
    }
    if (x1 > x2) {
        std::swap(x1, x2);
    }
    std::size_t from = 0;
    std::size_t to = 0;  // inclusive
    if (axis == AlignAxis::Samples) {
        const auto indexOf = [&](double x) {
            const double i = std::round(x - set.firstNumber);
            return static_cast<std::size_t>(std::clamp(i, 0.0, static_cast<double>(n - 1)));
        };
        from = indexOf(x1);
        to = indexOf(x2);
    } else {
        std::size_t i = 0;
        while (i < n && !(set.position[i] >= x1)) {
            ++i;
        }
        std::size_t j = n;
        while (j > 0 && !(set.position[j - 1] <= x2)) {
            --j;
        }
        if (i >= n || j == 0 || j - 1 < i) {
            return std::nullopt;
        }
        from = i;
        to = j - 1;
    }
    std::optional<Peak> best;
    for (std::size_t i = from; i <= to && i < n; ++i) {
        const double v = set.value[i];
        if (!std::isnan(v) && (!best || v > best->value)) {
            best = Peak{i, i < set.position.size() ? set.position[i] : 0.0, v};
        }
    }
    return best;
}

double wholeSampleOffset(double samples) { return std::round(samples); }

std::optional<PeakOffset> alignOn(const Peak& reference, const AlignTrace& set, double x1, double x2,
                                  AlignAxis axis) {
    const auto peak = findPeak(set, x1, x2, axis);
    if (!peak) {
        return std::nullopt;
    }
    PeakOffset out;
    out.peak = *peak;
    if (axis == AlignAxis::Samples) {
        out.offsetSamples = static_cast<double>(reference.index) - static_cast<double>(peak->index);
    } else {
        out.offsetMm = reference.position - peak->position;
        out.offsetSamples = wholeSampleOffset(out.offsetMm * set.samplesPerMm());
    }
    return out;
}

}  // namespace corvane
