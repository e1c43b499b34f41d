#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "display/AnalysisState.h"
#include "display/AxisState.h"
#include "display/ChangeNotice.h"
#include "display/GraphMouse.h"
#include "graph/GraphAnnotations.h"

namespace corvane {

class GraphView;
class LiveGraph;
class Scene;

// Where a profile's samples lie on the graph: its x (positions, or sample
// numbers on an axis by count) times the axis's scale and the set's gain,
// plus its shift; its values times the set's gain plus its offset.
struct ProfilePlacement {
    bool byPosition = true;
    double scale = 1.0;
    double xGain = 1.0;
    double xShift = 0.0;
    double yGain = 1.0;
    double yOffset = 0.0;
    bool valuesShown = true;  // false: the graph's y is not the profile's unit (volts)

    [[nodiscard]] double graphX(const Profile& profile, double position) const;
    // The sample position drawn at a graph x; nothing off the profile's x.
    [[nodiscard]] std::optional<double> position(const Profile& profile, double graphX) const;
    // The x the analysis takes (the profile's own, or sample numbers on an
    // axis by count) at a graph x.
    [[nodiscard]] double analysisX(double graphX) const { return (graphX - xShift) / (scale * xGain); }
    [[nodiscard]] double graphY(double value) const { return value * yGain + yOffset; }
    [[nodiscard]] double value(double graphY) const { return (graphY - yOffset) / yGain; }
};

// How a scene lays set `set` on the axes.
[[nodiscard]] ProfilePlacement placementOf(const Scene& scene, const AxisState& axes, int set);

// Settings whose x (the regions', a line's windows) are the graph's, as a
// page drawn from a command line takes them: the state analyses as the axis
// shows the set (by sample number on an axis by count, as analyze --x index;
// else on the profile's own x, as --x native) with those x made its own.
void setSettingsOnGraph(AnalysisState& state, AnalysisSettings settings, const ProfilePlacement& placement);

// A set's regions (the total apart: it spans the others), boundaries and
// baseline as the graph draws them.
[[nodiscard]] GraphAnnotations analysisMarks(const AnalysisState& state, int set, const ProfilePlacement& placement);

// The runs a scene shows, each a profile of the channel; in a comparison
// they are one group.
[[nodiscard]] std::vector<AnalysisSource> sourcesOf(const Scene& scene, RunChannel channel);

// The analysis laid over a view's graph: its sources follow the view's runs,
// the marks of the set chosen follow every change of the analysis or the
// axes, and the mouse drags a boundary (sideways) or the baseline (up and
// down: a sloping one by the end nearer the mouse, or whole from its middle,
// and it stays a line) before the graph's own tools see it.
//
// Threads: the window's thread.
class AnalysisLayer {
public:
    // How near (pixels) the mouse must come to a boundary or the baseline.
    static constexpr int kGrabPixels = 4;

    AnalysisLayer(AnalysisState& state, GraphView& view, LiveGraph& graph);
    // Takes its marks off the graph.
    ~AnalysisLayer();
    AnalysisLayer(const AnalysisLayer&) = delete;
    AnalysisLayer& operator=(const AnalysisLayer&) = delete;

    // The set whose marks are drawn (a row of the table).
    void setShownSet(int set);
    [[nodiscard]] int shownSet() const { return shown_; }
    [[nodiscard]] const GraphAnnotations& marks() const { return marks_; }

    // Each true when the analysis took the event (the graph's tools do not
    // see it).
    bool press(PixelPoint at, const PlotFrame& plot);
    bool move(PixelPoint at, const PlotFrame& plot);
    bool release(PixelPoint at, const PlotFrame& plot);
    // The mouse is over something it can drag, or dragging it.
    [[nodiscard]] bool grabbing() const { return hoverBoundary_ >= 0 || hoverBaseline_; }
    [[nodiscard]] bool dragging() const { return dragging_; }

private:
    void viewChanged();
    void put();
    [[nodiscard]] int boundaryAt(PixelPoint at, const PlotFrame& plot) const;
    [[nodiscard]] bool onBaseline(PixelPoint at, const PlotFrame& plot) const;
    // The baseline held at graphX brought to `value`: a level stays a level
    // there (any other kind becomes one), a line stays a line.
    void dragBaseline(const ProfilePlacement& placement, double graphX, double value);

    AnalysisState& state_;
    GraphView& view_;
    LiveGraph& graph_;
    int shown_ = 0;
    std::vector<std::filesystem::path> paths_;
    GraphAnnotations marks_;
    int hoverBoundary_ = -1;
    bool hoverBaseline_ = false;
    bool dragging_ = false;
    // How a sloping baseline is held: by the end nearer the mouse (the outer
    // thirds; the other end stays) or as a whole (the middle third).
    enum class LineGrip { Start, Whole, End };
    LineGrip lineGrip_ = LineGrip::Whole;
    ChangeNotice::Token viewToken_;
    ChangeNotice::Token stateToken_;
};

}  // namespace corvane
