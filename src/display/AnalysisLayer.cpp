#include "display/AnalysisLayer.h"

#include <cmath>

#include "analysis/Regions.h"
#include "display/GraphView.h"
#include "display/LiveGraph.h"
#include "display/Scene.h"
#include "graph/GraphModel.h"

namespace corvane {

double ProfilePlacement::graphX(const Profile& profile, double position) const {
    const double own = byPosition ? xAtPosition(profile.x, position) : position;
    return own * scale * xGain + xShift;
}

std::optional<double> ProfilePlacement::position(const Profile& profile, double graphX) const {
    if (profile.size() == 0 || scale == 0.0 || xGain == 0.0) {
        return std::nullopt;
    }
    const double own = analysisX(graphX);
    if (!byPosition) {
        return std::clamp(own, 0.0, static_cast<double>(profile.size() - 1));
    }
    return positionOfX(profile.x, own);
}

ProfilePlacement placementOf(const Scene& scene, const AxisState& axes, int set) {
    const XUnits units = scene.unitsOf(set, axes.xAxisType());
    const SetPlacement& p = scene.offsets().placement(set);
    ProfilePlacement out;
    out.byPosition = units.byPosition;
    out.scale = units.scale;
    out.xGain = p.xGain;
    out.xShift = scene.xShiftOf(set, axes.xAxisType());
    out.yGain = p.yGain;
    out.yOffset = p.yOffset;
    out.valuesShown = !axes.volts();
    return out;
}

void setSettingsOnGraph(AnalysisState& state, AnalysisSettings settings, const ProfilePlacement& placement) {
    if (placement.scale != 0.0 && placement.xGain != 0.0) {
        for (auto& r : settings.regions) {
            r.fromX = placement.analysisX(r.fromX);
            r.toX = placement.analysisX(r.toX);
        }
        for (double& w : settings.baseline.windows) {
            w = placement.analysisX(w);
        }
    }
    state.setSettings(settings, !placement.byPosition);
}

GraphAnnotations analysisMarks(const AnalysisState& state, int set, const ProfilePlacement& placement) {
    GraphAnnotations marks;
    if (set < 0 || set >= state.size() || !state.analysis(set).ok()) {
        return marks;
    }
    const Profile& profile = state.source(set).profile;
    const Profile& analysed = state.analysedProfile(set);
    const ProfileAnalysis& a = state.analysis(set);
    int colour = 0;
    for (const auto& r : a.regions) {
        if (r.region.name == "total") {
            continue;
        }
        marks.regions.push_back({placement.graphX(profile, r.region.from), placement.graphX(profile, r.region.to),
                                 r.region.name, colour++, r.saturated});
    }
    for (const double edge : state.boundaries(set)) {
        marks.boundaries.push_back(placement.graphX(profile, edge));
    }
    if (placement.valuesShown && profile.size() > 0) {
        // A level or a line needs its ends only; a blank's profile every sample.
        const std::size_t n = profile.size();
        const std::size_t step = a.baseline.kind == BaselineKind::Blank ? 1 : n - 1;
        for (std::size_t i = 0; i < n; i += std::max<std::size_t>(step, 1)) {
            marks.baseline.emplace_back(placement.graphX(profile, static_cast<double>(i)),
                                        placement.graphY(a.baseline.at(i, analysed.x[i])));
        }
    }
    return marks;
}

std::vector<AnalysisSource> sourcesOf(const Scene& scene, RunChannel channel) {
    std::vector<AnalysisSource> sources;
    for (int set = 0; set < scene.setCount(); ++set) {
        const RunDataFile* file = scene.setFile(set);
        if (file == nullptr || file->isExport()) {
            continue;
        }
        const std::string name = scene.setPath(set).filename().string();
        auto profile = profileFromRun(*file, name, channel);
        if (!profile) {
            continue;
        }
        sources.push_back({name, scene.comparesSets() ? AnalysisState::kAllSets : "", *file, std::move(*profile)});
    }
    return sources;
}

// --- The layer ---

AnalysisLayer::AnalysisLayer(AnalysisState& state, GraphView& view, LiveGraph& graph)
    : state_(state), view_(view), graph_(graph) {
    viewToken_ = view_.listen([this] { viewChanged(); });
    stateToken_ = state_.listen([this] { put(); });
    viewChanged();
    put();
}

AnalysisLayer::~AnalysisLayer() {
    if (graph_.edit([](GraphModel& model) { model.setAnnotations({}); })) {
        graph_.redraw();
    }
}

void AnalysisLayer::setShownSet(int set) {
    shown_ = set;
    put();
}

void AnalysisLayer::viewChanged() {
    const Scene& scene = view_.scene();
    std::vector<std::filesystem::path> paths;
    for (int set = 0; set < scene.setCount(); ++set) {
        paths.push_back(scene.setPath(set));
    }
    if (paths != paths_) {
        // Other runs on show: their analysis starts afresh (and notifies).
        paths_ = std::move(paths);
        shown_ = 0;
        state_.setSources(sourcesOf(scene, state_.channel()));
        return;
    }
    put();  // the axes moved: the marks follow
}

void AnalysisLayer::put() {
    GraphAnnotations marks;
    // A profile added to the table is not on the graph.
    if (shown_ < state_.size() && !state_.source(shown_).added) {
        marks = analysisMarks(state_, shown_, placementOf(view_.scene(), view_.axes(), shown_));
    }
    marks.activeBoundary = hoverBoundary_;
    marks.baselineActive = hoverBaseline_;
    marks_ = marks;
    if (graph_.edit([&marks](GraphModel& model) { model.setAnnotations(std::move(marks)); })) {
        graph_.redraw();
    }
}

int AnalysisLayer::boundaryAt(PixelPoint at, const PlotFrame& plot) const {
    int nearest = -1;
    int best = kGrabPixels + 1;
    for (std::size_t k = 0; k < marks_.boundaries.size(); ++k) {
        const int distance = std::abs(plot.pxOf(marks_.boundaries[k]) - at.x);
        if (distance < best) {
            best = distance;
            nearest = static_cast<int>(k);
        }
    }
    return nearest;
}

bool AnalysisLayer::onBaseline(PixelPoint at, const PlotFrame& plot) const {
    if (marks_.baseline.empty() || shown_ >= state_.size() || state_.source(shown_).added ||
        !state_.analysis(shown_).ok()) {
        return false;
    }
    const Profile& profile = state_.source(shown_).profile;
    const ProfilePlacement placement = placementOf(view_.scene(), view_.axes(), shown_);
    const auto position = placement.position(profile, plot.xAt(at.x));
    if (!position) {
        return false;
    }
    const auto i = static_cast<std::size_t>(std::lround(*position));
    const double level = placement.graphY(state_.analysis(shown_).baseline.at(i, state_.analysedProfile(shown_).x[i]));
    const double row = plot.height - (level - plot.y.min) / (plot.y.max - plot.y.min) * plot.height;
    return std::abs(row - at.y) <= kGrabPixels;
}

bool AnalysisLayer::press(PixelPoint at, const PlotFrame& plot) {
    if (!plot.inside(at) || !(plot.x.max > plot.x.min)) {
        return false;
    }
    hoverBoundary_ = boundaryAt(at, plot);
    hoverBaseline_ = hoverBoundary_ < 0 && onBaseline(at, plot);
    dragging_ = grabbing();
    if (dragging_) {
        put();
    }
    return dragging_;
}

bool AnalysisLayer::move(PixelPoint at, const PlotFrame& plot) {
    if (!dragging_) {
        // Hovering: the grabbable mark lights up.
        const int boundary = plot.inside(at) ? boundaryAt(at, plot) : -1;
        const bool baseline = boundary < 0 && plot.inside(at) && onBaseline(at, plot);
        if (boundary != hoverBoundary_ || baseline != hoverBaseline_) {
            hoverBoundary_ = boundary;
            hoverBaseline_ = baseline;
            put();
        }
        return false;
    }
    const ProfilePlacement placement = placementOf(view_.scene(), view_.axes(), shown_);
    if (hoverBoundary_ >= 0) {
        if (const auto position = placement.position(state_.source(shown_).profile, plot.xAt(at.x))) {
            state_.moveBoundary(shown_, hoverBoundary_, *position);
        }
    } else if (hoverBaseline_ && placement.yGain != 0.0) {
        state_.setBaselineLevel(placement.value(plot.yAt(at.y)));
    }
    return true;
}

bool AnalysisLayer::release(PixelPoint at, const PlotFrame& plot) {
    if (!dragging_) {
        return false;
    }
    move(at, plot);
    dragging_ = false;
    return true;
}

}  // namespace corvane
