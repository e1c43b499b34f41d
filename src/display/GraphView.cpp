#include "display/GraphView.h"

#include "display/LiveFeed.h"
#include "display/LiveGraph.h"
#include "display/RunFileScene.h"
#include "graph/AxisTicks.h"
#include "graph/GraphModel.h"

namespace corvane {

GraphView::GraphView(LiveGraph& graph, LiveFeed& feed)
    : graph_(graph), feed_(&feed), scene_(std::make_unique<LiveScene>(feed, live_, items_, offsets_)) {}

GraphView::GraphView(LiveGraph& graph) : graph_(graph), scene_(emptyScene(offsets_)) {}

// --- The picture ---

void GraphView::refresh() {
    if (!graph_.edit([this](GraphModel& model) { scene_->build(model, axes_); })) {
        // The graph was busy: the next sample (or refresh) starts over.
        scene_->invalidate();
        return;
    }
    graph_.redrawAll();
    notice_.notify();
}

void GraphView::syncLive() {
    if (!scene_->live()) {
        return;
    }
    SceneRepaint repaint = SceneRepaint::None;
    if (!graph_.edit([&](GraphModel& model) { repaint = scene_->sync(model, axes_); })) {
        scene_->invalidate();
        return;
    }
    if (repaint == SceneRepaint::Whole) {
        graph_.redrawAll();
    } else if (repaint == SceneRepaint::NewPoints) {
        graph_.redraw();
    }
}

void GraphView::changed() {
    scene_->invalidate();
    refresh();
}

// --- Changes of the axes ---

void GraphView::apply(const ViewSettings& settings) {
    axes_.apply(settings);
    scene_->invalidate();
}

void GraphView::change(const std::function<void(AxisState&)>& edit) {
    edit(axes_);
    changed();
}

void GraphView::setChannelShown(int channel, bool shown) {
    axes_.setChannelShown(channel, shown);
    changed();
}

void GraphView::setXAxisType(XAxisType type) {
    // A profile of another instrument has no mm (nor ml, nor time, unless
    // its x is one): the axis goes where every set shown has its own x.
    type = axisShowingAll(filesShown(), type);
    if (type == axes_.xAxisType()) {
        return;
    }
    axes_.setXAxisType(type, scene_->fitX(type, axes_.xAutoScale()));
    changed();
}

void GraphView::setYAutoScale(bool on) {
    axes_.setYAutoScale(on, de1Mode());
    changed();
}

void GraphView::setAufs(int step) {
    axes_.setAufsIndex(step);
    if (de1Mode() && !axes_.yAutoScale()) {
        axes_.useAufsRange();
    }
    changed();
}

void GraphView::applyOptions(const GraphOptions& options) {
    axes_.applyOptions(options, scene_->fitX(axes_.xAxisType(), options.xAutoScale));
    changed();
}

bool GraphView::windowSizeEdited(bool mm, std::string_view text) {
    if (!axes_.windowSizeEdited(mm, text, !scene_->live())) {
        return false;
    }
    changed();
    return true;
}

bool GraphView::windowSizeSpin(bool mm, bool up) {
    if (!axes_.windowSizeSpin(mm, up, !scene_->live())) {
        return false;
    }
    changed();
    return true;
}

void GraphView::resetFullRange() {
    const auto whole = scene_->fullX(axes_.xAxisType());
    if (!whole || !(whole->max > whole->min)) {
        return;
    }
    axes_.resetFullRange(*whole);
    changed();
}

void GraphView::showXRange(AxisRange x) {
    if (x.max > x.min) {
        axes_.setXRange(x);
        changed();
    }
}

// --- What the window shows ---

std::string GraphView::channelCaption(int channel) const {
    if (channel < 0 || channel >= kChannelCount) {
        return {};
    }
    if (de1Mode() && channel == kChannelAbsA) {
        return "Voltage";
    }
    if (de1Mode() && channel == kChannelRatio) {
        return "Mark";
    }
    return kChannelCaptions[static_cast<std::size_t>(channel)];
}

// --- Scenes ---

void GraphView::showFile(RunDataFile file, std::filesystem::path path) {
    // Another run file ends the overlay and any zoom of the one before.
    items_.removeOverlay();
    axes_.dropSavedView();
    axes_.forgetAutoScaled();
    axes_.endLiveWidening();
    offsets_.clear();
    scene_ = std::make_unique<RunFileScene>(std::move(file), std::move(path), items_, offsets_);
    const XAxisType axis = axisShowingAll(filesShown(), axes_.xAxisType(), true);
    if (axis != axes_.xAxisType()) {
        axes_.setXAxisType(axis, std::nullopt);
    }
    axes_.setXRange(*scene_->fitX(axes_.xAxisType(), axes_.xAutoScale()));
    // A profile's values may be in any unit (detector units by the hundred):
    // it opens fitted on y too, as it is on x, rather than off the plot of a
    // range made for absorbance.
    if (fileScene()->file().isProfile()) {
        fitValues(fileScene()->file(), false);
    }
}

void GraphView::fitValues(const RunDataFile& file, bool right) {
    if (right ? axes_.yyAutoScale() : axes_.yAutoScale()) {
        return;
    }
    AutoScaleRange scan = AutoScaleRange::forLoadedFile();
    for (const double v : alignTraceOf(file).value) {
        scan.add(v);
    }
    if (const auto y = scan.range()) {
        right ? axes_.setYYRange(openFlatRange(*y)) : axes_.setYRange(openFlatRange(*y));
    }
}

std::string GraphView::rightAxisProfileTitle() const {
    const OverlayRun* overlay = items_.overlay();
    if (overlay == nullptr || scene_->comparesSets()) {
        return {};
    }
    const RunDataFile* current = scene_->setFile(0);
    const bool currentAu = current == nullptr || valuesInAu(*current);
    if (!currentAu && valuesInAu(overlay->file())) {
        return profileValueTitle(*current);
    }
    return !valuesInAu(overlay->file()) && currentAu ? profileValueTitle(overlay->file()) : std::string();
}

std::vector<const RunDataFile*> GraphView::filesShown() const {
    std::vector<const RunDataFile*> files;
    for (int set = 0; set < scene_->setCount(); ++set) {
        files.push_back(scene_->setFile(set));
    }
    return files;
}

void GraphView::closeFile(double windowSamples) {
    if (feed_ == nullptr) {
        return;  // a view without a live run has nothing to go back to
    }
    axes_.dropSavedView();
    axes_.forgetAutoScaled();
    axes_.setWindowSamples(windowSamples == 0.0 ? AxisState::kDefaultSampleWindow : windowSamples);
    axes_.setXAxisType(axes_.xAxisType(), std::nullopt);
    scene_ = std::make_unique<LiveScene>(*feed_, live_, items_, offsets_);
    // A busy graph keeps the file's slot settings until the next refresh.
    (void)graph_.edit([](GraphModel& model) { model.clearAllTraces(); });
    refresh();
}

const RunFileScene* GraphView::fileScene() const { return dynamic_cast<const RunFileScene*>(scene_.get()); }

void GraphView::show(std::unique_ptr<Scene> scene, XAxisType axis, std::optional<AxisRange> x) {
    scene_ = std::move(scene);
    axes_.setXAxisType(axis, x ? x : scene_->fitX(axis, axes_.xAutoScale()));
}

// --- Overlay and standard run ---

void GraphView::setOverlay(RunDataFile file, std::filesystem::path path) {
    if (file.isEm1()) {
        axes_.setEventMarksShown(true);
    }
    items_.setOverlay(std::move(file), std::move(path));
    offsets_.clear();
    if (const XAxisType axis = axisShowingAll(filesShown(), axes_.xAxisType(), true); axis != axes_.xAxisType()) {
        axes_.setXAxisType(axis, scene_->fitX(axis, axes_.xAutoScale()));
    }
    // A profile not in AU beside absorbances is drawn on the right axis.
    if (!rightAxisProfileTitle().empty()) {
        const RunDataFile* current = scene_->setFile(0);
        if (current != nullptr && !valuesInAu(*current)) {
            // The profile shown moves right; the left axis, fitted to it, is the run's now.
            fitValues(*current, true);
            fitValues(items_.overlay()->file(), false);
        } else {
            fitValues(items_.overlay()->file(), true);
        }
    }
    // The slots change owners: start from clean ones.
    (void)graph_.edit([](GraphModel& model) { model.clearAllTraces(); });
    changed();
}

void GraphView::removeOverlay() {
    items_.removeOverlay();
    offsets_.clear();
    // The mark configuration goes back from slot 2 to slot 6 with the rebuild.
    (void)graph_.edit([](GraphModel& model) {
        model.clearAllTraces();
        model.setOverlayMode(false);
    });
    changed();
}

void GraphView::setStandardProfile(const RunDataFile* file, bool shown) {
    items_.standard().set(file);
    items_.standard().setShown(shown);
    changed();
}

}  // namespace corvane
