#include "display/GraphReading.h"

#include "display/CursorReadouts.h"
#include "display/LiveGraph.h"
#include "graph/GraphModel.h"
#include "runs/RunDataFile.h"

namespace corvane {

GraphReading::GraphReading(Env env, LiveFeed& feed, GraphOverlays::Hooks overlays)
    : env_(std::move(env)),
      view_(env_.graph, feed),
      cursors_(env_.prompter, env_.clock),
      overlays_({env_.startupFolder, env_.prompter, env_.folders, view_, std::move(overlays)}),
      mouse_(view_, cursors_, overlays_, env_.graph, env_.hitTest) {}

GraphReading::GraphReading(Env env)
    : env_(std::move(env)),
      view_(env_.graph),
      cursors_(env_.prompter, env_.clock),
      overlays_({env_.startupFolder, env_.prompter, env_.folders, view_, {}}),
      mouse_(view_, cursors_, overlays_, env_.graph, env_.hitTest) {}

void GraphReading::setXAxisType(XAxisType type) {
    if (type == view_.axes().xAxisType()) {
        return;
    }
    // A cursor stays on its sample: sample 200 is not 200 mm.
    const XAxisType from = view_.axes().xAxisType();
    cursors_.relocate([&](double x) { return view_.scene().xOnAxis(x, from, type); });
    view_.setXAxisType(type);
    overlays_.axisChanged();
    if (!cursors_.empty()) {
        cursorsChanged();
    }
}

void GraphReading::cursorsChanged() {
    (void)env_.graph.edit(
        [&](GraphModel& model) { model.setCursorList(!cursors_.empty(), cursors_.graphCursors()); });
    view_.setWindowCentre(cursors_.mainPosition());
    env_.graph.redraw();
    view_.announce();
}

std::vector<std::string> GraphReading::cursorLabelLines() const {
    const auto position = cursors_.mainPosition();
    return position ? labelLinesAt(*position) : std::vector<std::string>{};
}

std::vector<std::string> GraphReading::labelLinesAt(double x) const {
    const Scene& scene = view_.scene();
    const auto& shown = view_.axes().shown();
    if (scene.comparesSets()) {
        std::vector<NamedSample> named;
        for (int k = 0; k < scene.setCount(); ++k) {
            const RunDataFile* file = scene.setFile(k);
            named.push_back({scene.setPath(k).filename().string(), view_.sampleAt(k, x),
                             file != nullptr && file->layout() == RunFileLayout::Fluorescence});
        }
        return compareLabelLines(shown, named);
    }
    const auto current = view_.sampleAt(0, x);
    if (scene.setCount() > 1) {
        const auto overlay = view_.sampleAt(1, x);
        return corvane::cursorLabelLines(shown, current, &overlay);
    }
    return corvane::cursorLabelLines(shown, current, nullptr);
}

}  // namespace corvane
