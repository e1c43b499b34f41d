#pragma once

#include "display/LiveGraph.h"
#include "graph/CGraphCtrl.h"

namespace corvane {

// The window's plot as the display logic drives it: every edit under the
// graph's trace lock, repaints through the widget.
class GraphCtrlLiveGraph : public LiveGraph {
public:
    explicit GraphCtrlLiveGraph(CGraphCtrl& graph) : graph_(graph) {}
    bool edit(const std::function<void(GraphModel&)>& f) override { return graph_.edit(f); }
    void redraw() override { graph_.redraw(); }
    void redrawAll() override { graph_.redrawAll(); }

private:
    CGraphCtrl& graph_;
};

}  // namespace corvane
