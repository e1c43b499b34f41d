#pragma once

#include <functional>

namespace corvane {

class GraphModel;

// The plot as the window's logic drives it: CGraphCtrl in the program (its
// trace lock around every edit), a plain GraphModel in tests. Called on the
// window's thread.
class LiveGraph {
public:
    virtual ~LiveGraph() = default;
    // Runs f on the model under the trace lock; false when the lock could
    // not be had in time (f did not run).
    [[nodiscard]] virtual bool edit(const std::function<void(GraphModel&)>& f) = 0;
    // Repaint what changed (on a live run: the new points); repaint a
    // picture rebuilt from scratch.
    virtual void redraw() = 0;
    virtual void redrawAll() = 0;
};

}  // namespace corvane
