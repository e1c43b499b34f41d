#pragma once

#include <functional>

namespace corvane {

class GraphModel;

// The plot. CGraphCtrl in the program (its trace lock around every edit), a
// plain GraphModel in tests.
class LiveGraph {
public:
    virtual ~LiveGraph() = default;
    // Runs f on the model under the trace lock. Callable from any thread.
    virtual void edit(const std::function<void(GraphModel&)>& f) = 0;
    // Repaint; repaint rebuilt from scratch. Callable from any thread.
    virtual void redraw() = 0;
    virtual void redrawAll() = 0;
};

}  // namespace corvane
