#include "display/RunTraces.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "display/LiveSamples.h"
#include "runs/RotorTable.h"
#include "runs/RunDataFile.h"

namespace corvane {

namespace {

// The unit's usual sample interval, for a run whose header names none.
constexpr double kUsualSecondsPerSample = 0.05;
constexpr double kSecondsPerMinute = 60.0;

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

// The full scale a DE-1 row was recorded at: the header's, then each change
// from its distance on.
[[nodiscard]] double fullScaleAt(const RunFileHeader& header, double distance) {
    double aufs = header.em1 ? header.em1->aufsValue : 0.0;
    double from = -std::numeric_limits<double>::infinity();
    for (const AufsChange& change : header.aufsChanges) {
        if (change.distance <= distance && change.distance >= from) {
            aufs = change.aufs;
            from = change.distance;
        }
    }
    return aufs;
}

// The rows a loaded run's x axis runs over (export files: the first set).
const std::vector<SampleRecord>* fileSamples(const RunDataFile& file) {
    if (!file.isExport()) {
        return &file.samples();
    }
    return file.exportedSets().empty() ? nullptr : &file.exportedSets().front().samples;
}

// The row whose x is nearest to x: by halving when the x rise (a time or a
// volume), else by looking at every row.
[[nodiscard]] std::size_t nearestRow(const std::vector<SampleRecord>& rows, double x, bool rising) {
    if (!rising) {
        return *nearest(rows.size(), x, [&](std::size_t k) { return rows[k].positionA; });
    }
    const auto after = std::lower_bound(rows.begin(), rows.end(), x,
                                        [](const SampleRecord& r, double v) { return r.positionA < v; });
    const auto i = static_cast<std::size_t>(after - rows.begin());
    if (i == 0) return 0;
    if (i == rows.size()) return rows.size() - 1;
    return x - rows[i - 1].positionA <= rows[i].positionA - x ? i - 1 : i;
}

template <class Put>
void profileChannels(const RunDataFile& file, const RunLayout& layout, Put& put, ChannelArrays& out) {
    const auto& rows = file.samples();
    const bool byPosition = layout.units.byPosition;
    const int signal = layout.valuesOnRight ? kChannelRatio : kChannelAbsA;
    out.markChannel = layout.valuesOnRight ? kChannelAbsB : kChannelRatio;
    double top = 1.0;
    if (layout.shown[kChannelAbsA]) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            put(signal, byPosition ? rows[i].positionA : static_cast<double>(i), rows[i].absorbanceA, false);
            if (std::isfinite(rows[i].absorbanceA)) top = std::max(top, std::fabs(rows[i].absorbanceA));
        }
    }
    out.marks = layout.eventMarks || layout.shown[kChannelRatio];
    if (!out.marks || rows.empty()) {
        return;
    }
    // A tick is a rise the graph sees on the right axis: on one scaled to
    // the profile's values a rise of 1 would be lost.
    out.markGain = layout.valuesOnRight ? top : 1.0;
    const bool rising = std::is_sorted(rows.begin(), rows.end(), [](const SampleRecord& a, const SampleRecord& b) {
        return a.positionA < b.positionA;
    });
    std::vector<double> at;
    for (const ProfileMark& mark : file.profile()->marks) {
        at.push_back(byPosition ? mark.x : static_cast<double>(nearestRow(rows, mark.x, rising)));
    }
    // Each mark is a rise from 0 to 1, which the graph draws as a tick.
    std::sort(at.begin(), at.end());
    for (const double x : at) {
        put(out.markChannel, x, 0.0, true);
        put(out.markChannel, x, 1.0, true);
    }
}

}  // namespace

double fileVolumePerMm(const RunDataFile& file) {
    const RunFileHeader& header = file.header();
    return header.hasVolumePerMm && header.info.volumePerMm > 0.0 ? header.info.volumePerMm : 0.0;
}

double fileSecondsPerSample(const RunDataFile& file) {
    const RunFileHeader& header = file.header();
    if (file.isEm1()) {
        return header.em1 && header.em1->settings.samplesPerSec > 0.0 ? 1.0 / header.em1->settings.samplesPerSec
                                                                      : 0.0;
    }
    return header.device && header.device->sampleIntervalMs > 0 ? header.device->sampleIntervalMs / 1000.0 : 0.0;
}

XUnits xUnitsFor(XAxisType axis, double volumePerMm, double secondsPerSample) {
    const double vpm = volumePerMm > 0.0 ? volumePerMm : RotorTable::kDefaultVolumePerMm;
    const double dt = secondsPerSample > 0.0 ? secondsPerSample : kUsualSecondsPerSample;
    switch (axis) {
        case XAxisType::SampleNumber: return {false, 1.0};
        case XAxisType::Millimetres: return {true, 1.0};
        case XAxisType::Millilitres: return {true, vpm};
        case XAxisType::Seconds: return {false, dt};
        case XAxisType::Minutes: return {false, dt / kSecondsPerMinute};
    }
    return {};
}

std::optional<XAxisType> profileAxisOf(const RunDataFile& file) {
    const Profile* profile = file.profile();
    if (profile == nullptr) {
        return std::nullopt;
    }
    const std::string& unit = profile->xUnit;
    if (unit == "min") return XAxisType::Minutes;
    if (unit == "s") return XAxisType::Seconds;
    if (unit == "ml") return XAxisType::Millilitres;
    if (unit == "mm") return XAxisType::Millimetres;
    return XAxisType::SampleNumber;
}

bool profileOwnX(const RunDataFile& file, XAxisType axis) {
    const auto own = profileAxisOf(file);
    if (!own || *own == XAxisType::SampleNumber || axis == XAxisType::SampleNumber) {
        return false;
    }
    const auto isTime = [](XAxisType a) { return a == XAxisType::Minutes || a == XAxisType::Seconds; };
    return axis == *own || (isTime(axis) && isTime(*own));
}

bool valuesInAu(const RunDataFile& file) {
    const Profile* profile = file.profile();
    return profile == nullptr || std::string_view(profile->yUnit).starts_with("AU");
}

std::string profileValueTitle(const RunDataFile& file) {
    const Profile* profile = file.profile();
    if (profile == nullptr) {
        return {};
    }
    return std::string_view(profile->yUnit).starts_with("AU") ? "Absorbance (AU)" : profile->yUnit;
}

XAxisType axisShowingAll(const std::vector<const RunDataFile*>& files, XAxisType wanted, bool ownX) {
    const auto everyOneOn = [&](XAxisType axis) {
        return std::all_of(files.begin(), files.end(), [&](const RunDataFile* f) {
            if (f == nullptr || !f->isProfile() || profileOwnX(*f, axis)) return true;
            return axis == XAxisType::SampleNumber && (!ownX || profileAxisOf(*f) == XAxisType::SampleNumber);
        });
    };
    if (everyOneOn(wanted)) {
        return wanted;
    }
    for (const RunDataFile* f : files) {
        if (const auto own = f != nullptr ? profileAxisOf(*f) : std::nullopt; own && everyOneOn(*own)) {
            return *own;
        }
    }
    return XAxisType::SampleNumber;
}

XUnits xUnitsOf(const RunDataFile& file, XAxisType axis) {
    if (file.isProfile()) {
        if (!profileOwnX(file, axis)) {
            return {false, 1.0};
        }
        const auto own = *profileAxisOf(file);
        if (own == XAxisType::Minutes && axis == XAxisType::Seconds) return {true, kSecondsPerMinute};
        if (own == XAxisType::Seconds && axis == XAxisType::Minutes) return {true, 1.0 / kSecondsPerMinute};
        return {true, 1.0};
    }
    return xUnitsFor(axis, fileVolumePerMm(file), fileSecondsPerSample(file));
}

ChannelArrays runChannels(const RunDataFile& file, const RunLayout& layout) {
    ChannelArrays out;
    const double scale = layout.units.scale;
    auto put = [&](int c, double x, double y, bool mark) {
        out.x[static_cast<std::size_t>(c)].push_back(x * scale * layout.xGain + layout.xShift);
        out.y[static_cast<std::size_t>(c)].push_back(mark ? y : y * layout.yGain + layout.yOffset);
    };
    const bool byPosition = layout.units.byPosition;
    if (file.isProfile()) {
        profileChannels(file, layout, put, out);
        return out;
    }
    if (file.isEm1()) {
        const auto& rows = file.em1Samples();
        out.marks = layout.eventMarks || layout.shown[kChannelRatio];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const double x = byPosition ? rows[i].distance : static_cast<double>(i);
            if (std::isnan(x)) {
                continue;
            }
            if (layout.shown[kChannelAbsA]) {
                double signal = rows[i].absorbance;
                if (layout.volts) {
                    const double aufs = fullScaleAt(file.header(), rows[i].distance);
                    signal = aufs > 0.0 ? signal / aufs : std::numeric_limits<double>::quiet_NaN();
                }
                put(kChannelAbsA, x, signal, false);
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
                put(static_cast<int>(k), byPosition ? samples[i].positionA : static_cast<double>(i),
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
            const double x = !byPosition ? static_cast<double>(i)
                             : isBChannel(c) ? samples[i].positionB
                                             : samples[i].positionA;
            put(c, x, channelValue(c, samples[i]), false);
        }
    }
    return out;
}

AlignTrace alignTraceOnAxis(const RunDataFile& file, XUnits units) {
    AlignTrace trace = alignTraceOf(file);
    for (std::size_t i = 0; i < trace.position.size(); ++i) {
        trace.position[i] = (units.byPosition ? trace.position[i] : static_cast<double>(i)) * units.scale;
    }
    return trace;
}

double samplesPerAxisUnit(const AlignTrace& onAxis, XUnits units) {
    return units.byPosition ? onAxis.samplesPerMm() : 1.0 / units.scale;
}

std::optional<std::vector<std::optional<double>>> alignedOnAxis(const std::vector<const RunDataFile*>& files,
                                                                const std::vector<XUnits>& units, double x1,
                                                                double x2) {
    if (files.empty() || files.size() != units.size()) {
        return std::nullopt;
    }
    const auto reference = findPeak(alignTraceOnAxis(*files[0], units[0]), x1, x2, AlignAxis::Millimetres);
    if (!reference) {
        return std::nullopt;
    }
    std::vector<std::optional<double>> offsets{0.0};
    for (std::size_t k = 1; k < files.size(); ++k) {
        const AlignTrace trace = alignTraceOnAxis(*files[k], units[k]);
        const auto peak = findPeak(trace, x1, x2, AlignAxis::Millimetres);
        offsets.push_back(peak ? std::optional((reference->position - peak->position) *
                                               samplesPerAxisUnit(trace, units[k]))
                               : std::nullopt);
    }
    return offsets;
}

std::optional<std::size_t> fileIndexAt(const RunDataFile& file, double x, XUnits units) {
    const double own = x / units.scale;
    if (file.isEm1()) {
        const auto& rows = file.em1Samples();
        if (rows.empty()) {
            return std::nullopt;
        }
        return units.byPosition ? nearest(rows.size(), own, [&](std::size_t k) { return rows[k].distance; })
                                : std::optional(indexNear(rows.size(), own));
    }
    const std::vector<SampleRecord>* samples = fileSamples(file);
    if (samples == nullptr || samples->empty()) {
        return std::nullopt;
    }
    return units.byPosition ? nearest(samples->size(), own, [&](std::size_t k) { return (*samples)[k].positionA; })
                            : std::optional(indexNear(samples->size(), own));
}

double fileXOf(const RunDataFile& file, std::size_t index, XUnits units) {
    if (!units.byPosition) {
        return static_cast<double>(index) * units.scale;
    }
    return (file.isEm1() ? file.em1Samples()[index].distance : (*fileSamples(file))[index].positionA) * units.scale;
}

std::optional<SampleRecord> fileSampleAt(const RunDataFile& file, double x, XUnits units, double xShift) {
    const auto i = fileIndexAt(file, x - xShift, units);
    if (!i) {
        return std::nullopt;
    }
    return file.isEm1() ? em1Record(file.em1Samples()[*i]) : (*fileSamples(file))[*i];
}

std::optional<int> liveIndexAt(const LiveSamples& ring, double x, XUnits units) {
    const int n = ring.stored();
    if (n == 0) {
        return std::nullopt;
    }
    const double own = x / units.scale;
    if (!units.byPosition) {
        const double first = static_cast<double>(ring.at(0).number);
        return static_cast<int>(indexNear(static_cast<std::size_t>(n), own - first));
    }
    const auto i = nearest(static_cast<std::size_t>(n), own,
                           [&](std::size_t k) { return ring.at(static_cast<int>(k)).record.positionA; });
    return static_cast<int>(*i);
}

std::optional<SampleRecord> liveSampleAt(const LiveSamples& ring, double x, XUnits units) {
    const auto k = liveIndexAt(ring, x, units);
    return k ? std::optional(ring.at(*k).record) : std::nullopt;
}

XExtent fileExtent(const RunDataFile& file, XUnits units) {
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
    if (!units.byPosition) {
        lo = 0.0;
        hi = static_cast<double>(count);
    }
    if (!std::isfinite(lo) || !(hi > lo)) {
        lo = std::isfinite(lo) ? lo : 0.0;
        hi = lo + 1.0;
    }
    return {lo * units.scale, hi * units.scale, count};
}

}  // namespace corvane
