#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/GraphCursors.h"
#include "display/GraphMouse.h"
#include "display/GraphOverlays.h"
#include "display/GraphView.h"

namespace corvane {

class Clock;
class DialogFolders;
class LiveFeed;
class LiveGraph;
class Prompter;

// The graph of a window and what reads it, without the window: the view
// (GraphView), its cursors (GraphCursors), what is laid over the current
// run and the alignment (GraphOverlays), the mouse and the arrow keys
// (GraphMouse), and the read-outs at a position. The main window's logic
// has one over its live run, the compare window one over its sets; the
// graph panel and CGraphReading bind to it.
//
// Threads: the window's thread.
class GraphReading {
public:
    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        DialogFolders& folders;
        const Clock& clock;
        LiveGraph& graph;
        // The slot whose colour is under a pixel of the plot (-1: none).
        std::function<int(PixelPoint)> hitTest = {};
    };

    // Over the live run of the feed (the main window); `overlays` are the
    // window's hooks of the overlay and standard-run commands.
    GraphReading(Env env, LiveFeed& feed, GraphOverlays::Hooks overlays);
    // Without a live run (the compare window): its scene comes later.
    explicit GraphReading(Env env);
    GraphReading(const GraphReading&) = delete;
    GraphReading& operator=(const GraphReading&) = delete;

    [[nodiscard]] GraphView& view() { return view_; }
    [[nodiscard]] const GraphView& view() const { return view_; }
    [[nodiscard]] GraphCursors& cursors() { return cursors_; }
    [[nodiscard]] const GraphCursors& cursors() const { return cursors_; }
    [[nodiscard]] GraphOverlays& overlays() { return overlays_; }
    [[nodiscard]] const GraphOverlays& overlays() const { return overlays_; }
    [[nodiscard]] GraphMouse& mouse() { return mouse_; }
    [[nodiscard]] const std::filesystem::path& startupFolder() const { return env_.startupFolder; }

    // The x-axis type radios: the axis switches, the cursors keep their samples.
    void setXAxisType(XAxisType type);
    // The cursor list changed: the graph's lines follow and the views are told.
    void cursorsChanged();
    // The main cursor's label lines (pairs with an overlay).
    [[nodiscard]] std::vector<std::string> cursorLabelLines() const;
    // The same lines at any x (the mouse's read-out); where the sets are
    // compared, one per set, named by it.
    [[nodiscard]] std::vector<std::string> labelLinesAt(double x) const;

private:
    Env env_;
    GraphView view_;
    GraphCursors cursors_;
    GraphOverlays overlays_;
    GraphMouse mouse_;
};

}  // namespace corvane
