#include "display/RunTraces.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "display/LiveSamples.h"
#include "runs/RunDataFile.h"

namespace corvane {

namespace {

// The index of the element of n whose key is nearest to x; keys need not be
// ordered (a piston may stand still or turn).
template <class Key>
[[nodiscard]] std::optional<std::size_t> nearest(std::size_t n, double x, Key key) {
    std::optional<std::size_t> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < n; ++i) {
        const double d = std::fabs(key(i) - x);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

[[nodiscard]] std::size_t indexNear(std::size_t n, double x) {
    const double i = std::round(x);
    return static_cast<std::size_t>(std::clamp(std::isnan(i) ? 0.0 : i, 0.0, static_cast<double>(n - 1)));
}

[[nodiscard]] SampleRecord em1Record(const Em1Sample& row) {
    SampleRecord r;
    r.absorbanceA = row.absorbance;
    r.positionA = row.distance;
    r.positionB = row.distance;
    return r;
}

}  // namespace

ChannelArrays runChannels(const RunDataFile& file, const RunLayout& layout) {
    ChannelArrays out;
    const auto put = [&](int c, double x, double y, bool mark) {
        out.x[static_cast<std::size_t>(c)].push_back(x * layout.xGain + layout.xShift);
        out.y[static_cast<std::size_t>(c)].push_back(mark ? y : y * layout.yGain + layout.yOffset);
    };
    if (file.isEm1()) {
        const auto& rows = file.em1Samples();
        out.marks = layout.eventMarks || layout.shown[kChannelRatio];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const double x = layout.inMm ? rows[i].distance : static_cast<double>(i);
            if (std::isnan(x)) {
                continue;
            }
            if (layout.shown[kChannelAbsA]) {
                put(kChannelAbsA, x, rows[i].absorbance, false);
            }
            if (out.marks) {
                put(kChannelRatio, x, rows[i].eventMark ? 1.0 : 0.0, true);
            }
        }
        return out;
    }
    if (file.isExport()) {
        const auto& sets = file.exportedSets();
        for (std::size_t k = 0; k < sets.size() && k < 4; ++k) {
            const auto& samples = sets[k].samples;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                put(static_cast<int>(k), layout.inMm ? samples[i].positionA : static_cast<double>(i),
                    samples[i].absorbanceA, false);
            }
        }
        return out;
    }
    const auto& samples = file.samples();
    for (int c = 0; c < kChannelCount; ++c) {
        if (!layout.shown[static_cast<std::size_t>(c)]) {
            continue;
        }
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double x = !layout.inMm ? static_cast<double>(i)
                             : isBChannel(c) ? samples[i].positionB
                                             : samples[i].positionA;
            put(c, x, channelValue(c, samples[i]), false);
        }
    }
    return out;
}

namespace {

// The rows a loaded run's x axis runs over (export files: the first set).
const std::vector<SampleRecord>* fileSamples(const RunDataFile& file) {
    if (!file.isExport()) {
        return &file.samples();
    }
    return file.exportedSets().empty() ? nullptr : &file.exportedSets().front().samples;
}

}  // namespace

std::optional<std::size_t> fileIndexAt(const RunDataFile& file, double x, bool inMm) {
    if (file.isEm1()) {
        const auto& rows = file.em1Samples();
        if (rows.empty()) {
            return std::nullopt;
        }
        return inMm ? nearest(rows.size(), x, [&](std::size_t k) { return rows[k].distance; })
                    : std::optional(indexNear(rows.size(), x));
    }
    const std::vector<SampleRecord>* samples = fileSamples(file);
    if (samples == nullptr || samples->empty()) {
        return std::nullopt;
    }
    return inMm ? nearest(samples->size(), x, [&](std::size_t k) { return (*samples)[k].positionA; })
                : std::optional(indexNear(samples->size(), x));
}

double filePositionOf(const RunDataFile& file, std::size_t index) {
    return file.isEm1() ? file.em1Samples()[index].distance : (*fileSamples(file))[index].positionA;
}

std::optional<SampleRecord> fileSampleAt(const RunDataFile& file, double x, bool inMm, double xShift) {
    const auto i = fileIndexAt(file, x - xShift, inMm);
    if (!i) {
        return std::nullopt;
    }
    return file.isEm1() ? em1Record(file.em1Samples()[*i]) : (*fileSamples(file))[*i];
}

std::optional<int> liveIndexAt(const LiveSamples& ring, double x, bool inMm) {
    const int n = ring.stored();
    if (n == 0) {
        return std::nullopt;
    }
    if (!inMm) {
        const double first = static_cast<double>(ring.at(0).number);
        return static_cast<int>(indexNear(static_cast<std::size_t>(n), x - first));
    }
    const auto i = nearest(static_cast<std::size_t>(n), x,
                           [&](std::size_t k) { return ring.at(static_cast<int>(k)).record.positionA; });
    return static_cast<int>(*i);
}

std::optional<SampleRecord> liveSampleAt(const LiveSamples& ring, double x, bool inMm) {
    const auto k = liveIndexAt(ring, x, inMm);
    return k ? std::optional(ring.at(*k).record) : std::nullopt;
}

XExtent fileExtent(const RunDataFile& file, bool inMm) {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    const auto take = [&](double x) {
        if (std::isfinite(x)) {
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
    };
    std::size_t count = 0;
    if (file.isEm1()) {
        count = file.em1Samples().size();
        for (const auto& row : file.em1Samples()) {
            take(row.distance);
        }
    } else if (file.isExport()) {
        for (const auto& set : file.exportedSets()) {
            count = std::max(count, set.samples.size());
            for (const auto& s : set.samples) {
                take(s.positionA);
            }
        }
    } else {
        count = file.samples().size();
        for (const auto& s : file.samples()) {
            take(s.positionA);
            take(s.positionB);
        }
    }
    if (!inMm) {
        lo = 0.0;
        hi = static_cast<double>(count);
    }
    if (!std::isfinite(lo) || !(hi > lo)) {
        lo = std::isfinite(lo) ? lo : 0.0;
        hi = lo + 1.0;
    }
    return {lo, hi, count};
}

}  // namespace corvane
