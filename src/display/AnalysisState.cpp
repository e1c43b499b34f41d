#include "display/AnalysisState.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

#include "analysis/Regions.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

// Boundaries closer than this (in samples) are one: the regions' shared edges.
constexpr double kSameEdge = 1e-9;

bool sameEdge(double a, double b) { return std::abs(a - b) <= kSameEdge; }

// The line through the levels before and after the gradient: their windows,
// on the profile's x.
BaselineChoice lineThroughTheEndsOf(const Profile& p) {
    BaselineChoice line;
    line.kind = BaselineKind::Line;
    const std::size_t n = p.size();
    if (n == 0) {
        return line;
    }
    const auto edge = std::min(
        n, std::max(BaselineChoice::kEdgeMinSamples,
                    static_cast<std::size_t>(BaselineChoice::kEdgeShare * static_cast<double>(n))));
    line.windows = {p.x.front(), p.x[edge - 1], p.x[n - edge], p.x.back()};
    return line;
}

}  // namespace

void AnalysisState::setSources(std::vector<AnalysisSource> sources) {
    std::vector<Set> added;
    for (auto& set : sets_) {
        if (set.source.added) {
            added.push_back(std::move(set));
        }
    }
    sets_.clear();
    for (auto& s : sources) {
        s.added = false;
        sets_.push_back({std::move(s), std::nullopt, std::nullopt, {}});
    }
    for (auto& set : added) {
        sets_.push_back(std::move(set));
    }
    if (lineThroughTheEnds_ && !sets_.empty()) {
        settings_.baseline = lineThroughTheEndsOf(analysedProfile(sets_.front()));
    }
    recomputeAll();
}

void AnalysisState::addSource(AnalysisSource source) {
    source.added = true;
    sets_.push_back({std::move(source), std::nullopt, std::nullopt, {}});
    analyse(sets_.back());
    notice_.notify();
}

void AnalysisState::setChannel(RunChannel channel) {
    channel_ = channel;
    for (auto& set : sets_) {
        if (set.source.run) {
            if (auto profile = profileFromRun(*set.source.run, set.source.name, channel)) {
                set.source.profile = std::move(*profile);
            }
            // Another channel has its own peaks: its regions are its own.
            set.user.reset();
        }
    }
    recomputeAll();
}

void AnalysisState::setSmoothing(const Smoothing& smoothing) {
    settings_.smoothing = smoothing;
    recomputeAll();
}

void AnalysisState::setBaseline(const BaselineChoice& baseline) {
    settings_.baseline = baseline;
    lineThroughTheEnds_ = false;
    recomputeAll();
}

void AnalysisState::setBaselineLevel(double level) {
    BaselineChoice choice;
    choice.kind = BaselineKind::Constant;
    choice.level = level;
    setBaseline(choice);
}


void AnalysisState::setLineThroughTheEnds() {
    settings_.baseline = sets_.empty() ? BaselineChoice{} : lineThroughTheEndsOf(analysedProfile(sets_.front()));
    settings_.baseline.kind = BaselineKind::Line;
    lineThroughTheEnds_ = true;
    recomputeAll();
}

void AnalysisState::setBaselineLine(double fromX, double fromLevel, double toX, double toLevel) {
    BaselineChoice choice;
    choice.kind = BaselineKind::Line;
    choice.points = std::array<double, 4>{fromX, fromLevel, toX, toLevel};
    const bool ends = lineThroughTheEnds_;
    setBaseline(choice);
    lineThroughTheEnds_ = ends;  // other runs start again from their own ends
}

void AnalysisState::setSettings(const AnalysisSettings& settings, bool bySample) {
    settings_ = settings;
    lineThroughTheEnds_ = false;
    bySample_ = bySample;
    recomputeAll();
}

void AnalysisState::analyse(Set& set) const {
    set.bySample.reset();
    if (bySample_) {
        set.bySample = set.source.profile;
        for (std::size_t i = 0; i < set.bySample->x.size(); ++i) {
            set.bySample->x[i] = static_cast<double>(i);
        }
        set.bySample->xUnit = "sample";
    }
    const Profile& profile = analysedProfile(set);
    AnalysisSettings settings = settings_;
    if (set.user) {
        // Dragged boundaries replace the regions, given in the profile's x.
        settings.regions.clear();
        for (const auto& r : *set.user) {
            settings.regions.push_back({r.name, xAtPosition(profile.x, r.from), xAtPosition(profile.x, r.to)});
        }
    }
    set.analysis = analyseProfile(profile, settings);
}

void AnalysisState::recomputeAll() {
    for (auto& set : sets_) {
        analyse(set);
    }
    notice_.notify();
}

std::vector<double> AnalysisState::boundaries(int set) const {
    std::vector<double> edges;
    for (const auto& r : analysis(set).regions) {
        edges.push_back(r.region.from);
        edges.push_back(r.region.to);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end(), sameEdge), edges.end());
    return edges;
}

bool AnalysisState::moveBoundary(int set, int k, double position) {
    if (set < 0 || set >= size()) {
        return false;
    }
    const std::vector<double> edges = boundaries(set);
    if (k < 0 || k >= static_cast<int>(edges.size())) {
        return false;
    }
    Set& s = sets_[static_cast<std::size_t>(set)];
    const auto i = static_cast<std::size_t>(k);
    // Held between its neighbours (and on the profile), so that no region
    // turns inside out and the edges keep their order.
    constexpr double kGap = 0.5;
    const double last = static_cast<double>(s.source.profile.size()) - 1.0;
    const double low = i > 0 ? edges[i - 1] + kGap : 0.0;
    const double high = i + 1 < edges.size() ? edges[i + 1] - kGap : last;
    if (!(low <= high) || !std::isfinite(position)) {
        return false;
    }
    const double to = std::clamp(position, low, high);
    std::vector<Region> regions;
    for (const auto& r : s.analysis.regions) {
        Region moved = r.region;
        moved.from = sameEdge(moved.from, edges[i]) ? to : moved.from;
        moved.to = sameEdge(moved.to, edges[i]) ? to : moved.to;
        regions.push_back(moved);
    }
    s.user = std::move(regions);
    analyse(s);
    notice_.notify();
    return true;
}

bool AnalysisState::userBoundaries(int set) const { return sets_.at(static_cast<std::size_t>(set)).user.has_value(); }

void AnalysisState::automaticRegions(int set) {
    Set& s = sets_.at(static_cast<std::size_t>(set));
    s.user.reset();
    analyse(s);
    notice_.notify();
}

std::vector<FileReport> AnalysisState::reports() const {
    std::vector<FileReport> out;
    for (const auto& set : sets_) {
        if (set.analysis.ok()) {
            out.push_back(reportOf(set.source.name, analysedProfile(set), set.analysis));
        } else {
            FileReport failed;
            failed.file = set.source.name;
            failed.error = set.analysis.problem;
            out.push_back(std::move(failed));
        }
    }
    return out;
}

std::vector<GroupReport> AnalysisState::groups() const {
    std::vector<std::string> names;
    for (const auto& set : sets_) {
        if (!set.source.group.empty() && std::find(names.begin(), names.end(), set.source.group) == names.end()) {
            names.push_back(set.source.group);
        }
    }
    std::vector<GroupReport> out;
    for (const auto& name : names) {
        GroupReport g;
        g.name = name;
        std::vector<GroupMember> members;
        for (const auto& set : sets_) {
            if (set.source.group == name) {
                g.files.push_back(set.source.name);
                const bool ok = set.analysis.ok();
                members.push_back({set.source.name, ok ? &set.analysis.ratios : nullptr,
                                   ok ? &analysedProfile(set) : nullptr});
            }
        }
        if (members.size() < 2) {
            continue;
        }
        summariseGroup(g, members);
        out.push_back(std::move(g));
    }
    return out;
}

AnalyzeParameters AnalysisState::parameters() const {
    AnalyzeParameters p;
    p.channel = runChannelName(channel_);
    p.baseline = baselineKindName(settings_.baseline.kind);
    p.indexX = bySample_;
    // Dragged boundaries keep the automatic regions' names: their columns.
    return p;
}

std::string AnalysisState::csv() const { return csvTable(reports(), groups(), parameters()); }

namespace {

// Enough digits to read and compare; the CSV keeps them all.
std::string shortNumber(double value) { return std::isfinite(value) ? formatText("%.5g", value) : std::string("-"); }

}  // namespace

AnalysisTable analysisTable(const AnalysisState& state) {
    AnalysisTable t;
    const std::vector<FileReport> reports = state.reports();
    std::vector<std::string> regions;
    for (const auto& r : reports) {
        for (const auto& region : r.regions) {
            if (std::find(regions.begin(), regions.end(), region.name) == regions.end()) {
                regions.push_back(region.name);
            }
        }
    }
    t.header.push_back("profile");
    t.header.insert(t.header.end(), regions.begin(), regions.end());
    t.header.insert(t.header.end(), {"P/M", "polysomes/total", "60S/40S", "warnings"});
    const auto ratioText = [](const Ratio& r) {
        return r.value ? shortNumber(*r.value) + (r.saturated ? " (clipped)" : "") : std::string("-");
    };
    for (const auto& r : reports) {
        std::vector<std::string> row{r.file};
        for (const auto& name : regions) {
            std::string area = "-";
            for (const auto& region : r.regions) {
                if (region.name == name) {
                    area = shortNumber(region.area) + (region.saturated ? " (clipped)" : "");
                }
            }
            row.push_back(r.error.empty() ? area : std::string());
        }
        row.insert(row.end(), {ratioText(r.ratios.pm), ratioText(r.ratios.pTotal), ratioText(r.ratios.s60s40)});
        std::string warnings = r.error;
        for (const auto& w : r.warnings) {
            warnings += (warnings.empty() ? "" : "; ") + w;
        }
        row.push_back(warnings);
        t.rows.push_back(std::move(row));
        t.warned.push_back(!warnings.empty());
    }
    for (const auto& g : state.groups()) {
        for (const bool sd : {false, true}) {
            std::vector<std::string> row(t.header.size());
            row[0] = g.name + (sd ? " SD" : " mean") + " (n=" + std::to_string(g.analysed) + ")";
            const auto value = [sd](const Spread& s) { return shortNumber(sd ? s.sd : s.mean); };
            const std::size_t ratios = 1 + regions.size();
            row[ratios] = value(g.ratios.pm);
            row[ratios + 1] = value(g.ratios.pTotal);
            row[ratios + 2] = value(g.ratios.s60s40);
            std::string warnings;
            for (const auto& w : g.warnings) {
                warnings += (warnings.empty() ? "" : "; ") + w;
            }
            row.back() = sd ? std::string() : warnings;
            t.rows.push_back(std::move(row));
            t.warned.push_back(!sd && !warnings.empty());
        }
    }
    return t;
}

}  // namespace corvane
