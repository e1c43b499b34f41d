#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/AxisState.h"
#include "display/ChangeNotice.h"
#include "display/LiveScene.h"
#include "display/RunItems.h"
#include "display/Scene.h"

namespace corvane {

class LiveFeed;
class LiveGraph;
class RunFileScene;

// What the graph shows: the axes as the operator set them (AxisState), the
// scene on show (the live run, a saved run, compare sets) and what is laid
// over the current run (RunItems). Every change rebuilds the picture and
// sends one change notice, which the views listen to; new live samples
// (syncLive) send none: the window's read-outs follow them on their own
// beat.
//
// Threads: the window's thread only. The receive thread never reaches it:
// it leaves samples in the LiveFeed, and syncLive() takes them from there.
class GraphView {
public:
    // The main window's view: the live run of the feed until a saved run
    // is shown.
    GraphView(LiveGraph& graph, LiveFeed& feed);
    // A view without a live run (the compare window, render): nothing
    // shown until a saved run or a scene is.
    explicit GraphView(LiveGraph& graph);

    [[nodiscard]] const AxisState& axes() const { return axes_; }
    [[nodiscard]] Scene& scene() { return *scene_; }
    [[nodiscard]] const Scene& scene() const { return *scene_; }
    [[nodiscard]] const RunItems& items() const { return items_; }
    [[nodiscard]] ChangeNotice::Token listen(std::function<void()> listener) {
        return notice_.listen(std::move(listener));
    }

    // --- The picture ---
    // What the session and the recording say of the live run now.
    void setLiveRun(const LiveRunState& run) { live_ = run; }
    [[nodiscard]] const LiveRunState& liveRun() const { return live_; }
    // Rebuilds the traces from the scene, runs the auto-scales that are on,
    // repaints whole and sends the notice.
    void refresh();
    // The samples that arrived since: added to the live traces, the axes
    // moved, what changed repainted. Nothing while a saved run is shown.
    void syncLive();

    // --- Changes of the axes: each rebuilds the picture and notifies ---
    void apply(const ViewSettings& settings);
    // Any change of the axes that needs nothing of the scene.
    void change(const std::function<void(AxisState&)>& edit);
    void setChannelShown(int channel, bool shown);
    // A saved run is fitted to the new axis; the live window starts at 0.
    void setXAxisType(XAxisType type);
    void setYAutoScale(bool on);
    // An AUFS radio button: DE-1 data's range follows unless auto-scaled.
    void setAufs(int step);
    // Graph Options' Apply: with X auto-scale a saved run is shown whole.
    void applyOptions(const GraphOptions& options);
    // A typed window width or a spin click on its box: true when taken.
    bool windowSizeEdited(bool mm, std::string_view text);
    bool windowSizeSpin(bool mm, bool up);
    // RESET beside the window size: everything the scene has on x.
    void resetFullRange();
    // Moves the x window (a saved run, or a live one held by a zoom).
    void showXRange(AxisRange x);

    // A typed window width centres the window on the main cursor, if any.
    void setWindowCentre(std::optional<double> x) { axes_.setWindowCentre(x); }
    // Something drawn over the scene changed (the cursors): the views are
    // told; the picture is not rebuilt.
    void announce() { notice_.notify(); }

    // --- What the window shows of it ---
    // DE-1 data: the live source, else the saved run, else the overlay or
    // the standard run (the first that exists), or the compare sets.
    [[nodiscard]] bool de1Mode() const { return scene_->de1(); }
    // "Sample A" ... "AbsA/AbsB"; DE-1 data names Abs A "Voltage" and the
    // ratio "Mark".
    [[nodiscard]] std::string channelCaption(int channel) const;
    // The Y controls hide when no Y channel is on; the YY controls show only
    // with the ratio on and data that is not DE-1.
    [[nodiscard]] bool yControlsVisible() const { return axes_.anyYChannel(); }
    [[nodiscard]] bool yyControlsVisible() const { return axes_.channelShown(kChannelRatio) && !de1Mode(); }
    // A set's x shift on the current axis, and its sample at x (cursors).
    [[nodiscard]] double xShiftOf(int set) const { return scene_->xShiftOf(set, axes_.xAxisType()); }
    [[nodiscard]] std::optional<SampleRecord> sampleAt(int set, double x) const {
        return scene_->sampleAt(set, x, axes_.xAxisType());
    }
    // The gains and offsets of the sets shown; a saved run opened, an
    // overlay laid on or taken off starts them again.
    [[nodiscard]] CompareOffsets& offsets() { return offsets_; }
    [[nodiscard]] const CompareOffsets& offsets() const { return offsets_; }

    // --- A saved run in place of the live one ---
    // Shown whole; it ends the overlay and any zoom of the one before.
    void showFile(RunDataFile file, std::filesystem::path path);
    // Back to the live run, its sample window `windowSamples` wide.
    void closeFile(double windowSamples);
    // The saved run shown, or null.
    [[nodiscard]] const RunFileScene* fileScene() const;
    // Another scene in place of this one (the compare window's sets) on
    // the x axis given: its x range is `x`, else the one its rules give.
    void show(std::unique_ptr<Scene> scene, XAxisType axis, std::optional<AxisRange> x = std::nullopt);

    // --- What is laid over the current run ---
    void setOverlay(RunDataFile file, std::filesystem::path path);
    void removeOverlay();
    [[nodiscard]] bool overlayShown() const { return items_.overlay() != nullptr; }
    // The standard run's file (null: none) and "Show Standard Run Profile".
    void setStandardProfile(const RunDataFile* file, bool shown);

    // The unit of a profile of another instrument whose values are not in AU
    // and are drawn on the right axis beside a run in AU ("detector
    // units"); empty when no set's values are there.
    [[nodiscard]] std::string rightAxisProfileTitle() const;
    // The run files of the sets shown (null for the live run).
    [[nodiscard]] std::vector<const RunDataFile*> filesShown() const;

private:
    // The axes changed: the picture follows and the views are told.
    void changed();
    // A run's values (a profile's signal) shown for the first time on an
    // axis whose auto-scale is off, fitted on it once (right: the YY axis).
    void fitValues(const RunDataFile& file, bool right);

    LiveGraph& graph_;
    LiveFeed* feed_ = nullptr;
    AxisState axes_;
    RunItems items_;
    LiveRunState live_;
    CompareOffsets offsets_;
    std::unique_ptr<Scene> scene_;
    ChangeNotice notice_;
};

}  // namespace corvane
