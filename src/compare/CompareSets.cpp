#include "compare/CompareSets.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/TextFormat.h"
#include "runs/ProfileFile.h"

namespace corvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Channel indexes as the plot types count them.
enum : int { kSampleA = 0, kSourceA, kAbsA, kSampleB, kSourceB, kAbsB, kRatio };

double positionOf(const RunDataFile& file, std::size_t i) {
    if (file.isEm1()) return file.em1Samples()[i].distance;
    return file.samples()[i].positionA;
}

// Reads files into sets; the message of the first that fails, naming it by
// name(k, path).
template <class Name>
std::string readAll(const std::vector<std::filesystem::path>& files, const std::vector<ProfileFileOptions>& readings,
                    std::vector<CompareSet>& into, Name name) {
    std::vector<CompareSet> sets(files.size());
    for (std::size_t k = 0; k < files.size(); ++k) {
        sets[k].path = files[k];
        if (k < readings.size()) sets[k].reading = readings[k];
        if (const std::string why = readRunForViewing(files[k], sets[k].file, sets[k].reading); !why.empty()) {
            return formatText("Error, unable to open data file %s", name(k, files[k]).c_str());
        }
        // A profile's marks (fractions, tubes) are what it is compared by: shown from the start.
        sets[k].eventMarks = sets[k].file.isProfile();
        if (auto message = exportedFileMessage(sets[k].file, files[k].string()); !message.empty()) {
            return message;
        }
    }
    into = std::move(sets);
    return {};
}

}  // namespace

std::string multiDataSetsProblem(int plotType, std::size_t fileCount) {
    if (plotType < 0 || plotType >= kPlotTypeCount) return "Error, must choose a plot type.";
    if (fileCount < 2) return "Must select at least 2 data files.";
    if (fileCount > 4) return "Can not have any more than 4 data files.";
    return {};
}

std::string compareChannelLabel(const std::array<bool, kPlotTypeCount>& shown, bool de1) {
    static constexpr std::array<int, kPlotTypeCount> kOrder = {kAbsA, kRatio, kAbsB, kSampleA, kSampleB, kSourceA,
                                                              kSourceB};
    static constexpr std::array<const char*, kPlotTypeCount> kLabels = {
        "Sample A", "Source A", "Abs A", "Sample B", "Source B", "Abs B", "AbsA/AbsB"};
    for (const int channel : kOrder) {
        if (shown[static_cast<std::size_t>(channel)]) {
            return channel == kAbsA && de1 ? "Abs" : kLabels[static_cast<std::size_t>(channel)];
        }
    }
    return {};
}

double compareValue(const RunDataFile& file, std::size_t i, int channel) {
    if (file.isEm1()) return channel == kAbsA ? file.em1Samples()[i].absorbance : kNaN;
    if (file.isProfile()) return channel == kAbsA ? file.samples()[i].absorbanceA : kNaN;
    const SampleRecord& r = file.samples()[i];
    switch (channel) {
        case kSampleA: return r.sampleA;
        case kSourceA: return r.sourceA;
        case kAbsA: return r.absorbanceA;
        case kSampleB: return r.sampleB;
        case kSourceB: return r.sourceB;
        case kAbsB: return r.absorbanceB;
        default: return r.ratio;
    }
}

std::string CompareSets::load(const std::vector<std::filesystem::path>& files,
                              const std::vector<ProfileFileOptions>& readings) {
    return readAll(files, readings, sets_,
                   [](std::size_t, const std::filesystem::path& path) { return path.string(); });
}

std::string CompareSets::loadNumbered(const std::vector<std::filesystem::path>& files,
                                      const std::vector<ProfileFileOptions>& readings) {
    return readAll(files, readings, sets_, [](std::size_t k, const std::filesystem::path& path) {
        return formatText("%zu (%s)", k + 1, path.string().c_str());
    });
}

const CompareSet* CompareSets::setOf(const std::filesystem::path& path) const {
    for (const auto& set : sets_) {
        if (set.path == path) return &set;
    }
    return nullptr;
}

std::vector<std::filesystem::path> CompareSets::paths() const {
    std::vector<std::filesystem::path> result;
    for (const auto& set : sets_) result.push_back(set.path);
    return result;
}

void CompareSets::setEventMarks(std::size_t k, bool on) {
    if (k < sets_.size()) sets_[k].eventMarks = on;
}

bool CompareSets::de1() const {
    return std::any_of(sets_.begin(), sets_.end(), [](const CompareSet& s) { return s.file.isEm1(); });
}

std::vector<std::string> CompareSets::listLines() const {
    std::vector<std::string> lines;
    for (const auto& set : sets_) {
        lines.push_back(formatText("%s, %d samples", set.name().c_str(), static_cast<int>(set.file.sampleCount())));
    }
    return lines;
}

std::string CompareSets::remove(std::vector<std::size_t> selected, CompareOffsets& offsets) {
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    std::erase_if(selected, [&](std::size_t k) { return k >= sets_.size(); });
    if (selected.empty()) return {};
    if (sets_.size() - selected.size() < 2) return kTooFewLeft;
    CompareOffsets moved;
    std::vector<CompareSet> kept;
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        if (std::binary_search(selected.begin(), selected.end(), k)) continue;
        const auto& p = offsets.placement(static_cast<int>(k));
        const int to = static_cast<int>(kept.size());
        (void)moved.setXOffset(to, p.xOffset);
        (void)moved.setYOffset(to, p.yOffset);
        (void)moved.setXGain(to, p.xGain);
        (void)moved.setYGain(to, p.yGain);
        kept.push_back(std::move(sets_[k]));
    }
    sets_ = std::move(kept);
    offsets = moved;
    return {};
}

void CompareSets::carryPlacements(const std::vector<std::filesystem::path>& before, const CompareOffsets& old,
                                  CompareOffsets& offsets) const {
    offsets.clear();
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        const auto was = std::find(before.begin(), before.end(), sets_[k].path);
        if (was == before.end()) continue;
        const auto& p = old.placement(static_cast<int>(was - before.begin()));
        const int to = static_cast<int>(k);
        (void)offsets.setXOffset(to, p.xOffset);
        (void)offsets.setYOffset(to, p.yOffset);
        (void)offsets.setXGain(to, p.xGain);
        (void)offsets.setYGain(to, p.yGain);
    }
}

AxisRange CompareSets::xRange(bool autoScale, bool inMm, const CompareOffsets& offsets) const {
    if (sets_.empty()) return {};
    std::optional<AxisRange> positions;
    if (inMm) {
        AutoScaleRange scan = AutoScaleRange::forLoadedFile();
        for (const auto& set : sets_) {
            for (std::size_t i = 0; i < set.file.sampleCount(); ++i) scan.add(positionOf(set.file, i));
        }
        positions = scan.range();
    }
    if (!autoScale) {
        // On a mm axis the same rule counts millimetres: a sample count
        // there would squeeze every trace into the axis's first tenth.
        if (positions) return {0.0, std::max(positions->max, 0.0)};
        std::size_t longest = 0;
        for (const auto& set : sets_) longest = std::max(longest, set.file.sampleCount());
        return {0.0, static_cast<double>(longest)};
    }
    if (inMm) return positions.value_or(AxisRange{});
    AxisRange range{std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()};
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        const double offset = offsets.xOffset(static_cast<int>(k));
        range.min = std::min(range.min, offset);
        range.max = std::max(range.max, offset + static_cast<double>(sets_[k].file.sampleCount()));
    }
    return range;
}

std::optional<AxisRange> CompareSets::valueRange(int channel) const {
    AutoScaleRange scan = AutoScaleRange::forLoadedFile();
    for (const auto& set : sets_) {
        for (std::size_t i = 0; i < set.file.sampleCount(); ++i) scan.add(compareValue(set.file, i, channel));
    }
    return scan.range();
}

int CompareSets::largestAufsStep() const {
    int step = 0;
    for (const auto& set : sets_) {
        if (set.file.header().em1) step = std::max(step, set.file.header().em1->settings.aufs);
    }
    return step;
}

std::vector<ExportSet> CompareSets::exportSets(const CompareOffsets& offsets) const {
    std::vector<ExportSet> result;
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        const SetPlacement placement = offsets.placement(static_cast<int>(k));
        const Profile* profile = sets_[k].file.profile();
        result.push_back(profile != nullptr ? exportSetOf(*profile, sets_[k].path, placement)
                                            : exportSetOf(sets_[k].file, sets_[k].path, placement));
    }
    return result;
}

}  // namespace corvane
