#pragma once

#include <functional>
#include <mutex>

#include "display/LiveGraph.h"
#include "graph/GraphModel.h"

namespace corvane::test {

// The graph as a bare model, with the repaints counted. busy makes every
// edit fail, as a graph whose lock another thread holds.
class ModelGraph : public LiveGraph {
public:
    bool edit(const std::function<void(GraphModel&)>& f) override {
        std::lock_guard lock(mutex_);
        if (busy) {
            return false;
        }
        f(model);
        return true;
    }
    void redraw() override { ++redraws; }
    void redrawAll() override { ++rebuilds; }

    GraphModel model;
    bool busy = false;
    int redraws = 0;
    int rebuilds = 0;

private:
    std::mutex mutex_;
};

}  // namespace corvane::test
