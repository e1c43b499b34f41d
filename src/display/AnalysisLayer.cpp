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
    if (hoverBaseline_) {
        const Profile& profile = state_.source(shown_).profile;
        const auto position = placementOf(view_.scene(), view_.axes(), shown_).position(profile, plot.xAt(at.x));
        const double share = position ? *position / static_cast<double>(std::max<std::size_t>(profile.size() - 1, 1))
                                      : 0.5;
        lineGrip_ = share < 1.0 / 3.0 ? LineGrip::Start : share > 2.0 / 3.0 ? LineGrip::End : LineGrip::Whole;
    }
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
        dragBaseline(placement, plot.xAt(at.x), placement.value(plot.yAt(at.y)));
    }
    return true;
}

void AnalysisLayer::dragBaseline(const ProfilePlacement& placement, double graphX, double value) {
    const Baseline& now = state_.analysis(shown_).baseline;
    const Profile& analysed = state_.analysedProfile(shown_);
    if (now.kind != BaselineKind::Line || analysed.size() < 2) {
        state_.setBaselineLevel(value);
        return;
    }
    // The line's ends as drawn, under the first and last samples; the point
    // held goes where the mouse is.
    const auto position = placement.position(state_.source(shown_).profile, graphX);
    const std::size_t last = analysed.size() - 1;
    const double x0 = analysed.x.front();
    const double x1 = analysed.x[last];
    const double held = position ? xAtPosition(analysed.x, *position) : (x0 + x1) / 2.0;
    double y0 = now.at(0, x0);
    double y1 = now.at(last, x1);
    switch (lineGrip_) {
        case LineGrip::Start:  // about the end that stays
            y0 = y1 + (value - y1) * (x0 - x1) / (held - x1);
            break;
        case LineGrip::End:
            y1 = y0 + (value - y0) * (x1 - x0) / (held - x0);
            break;
        case LineGrip::Whole: {
            const double by = value - now.at(0, held);
            y0 += by;
            y1 += by;
            break;
        }
    }
    if (std::isfinite(y0) && std::isfinite(y1)) {
        state_.setBaselineLine(x0, y0, x1, y1);
    }
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
