// The graph view's zoom: the FOCUS box, the wheel and the way back.
#include <cmath>
#include <utility>

#include "display/GraphView.h"

namespace corvane {

GraphViewState GraphView::viewState() const {
    return {shown_, {xMin_, xMax_}, {yMin_, yMax_}, {yyMin_, yyMax_}};
}

bool GraphView::saveViewForZoom() {
    if (savedView_) {
        return false;
    }
    savedView_ = viewState();
    return true;
}

void GraphView::applyZoom(AxisRange x, AxisRange y) {
    if (x.min > x.max) {
        std::swap(x.min, x.max);
    }
    if (y.min > y.max) {
        std::swap(y.min, y.max);
    }
    if (!(x.max > x.min) || !(y.max > y.min)) {
        return;  // a click, not a box
    }
    yAutoScale_ = false;
    yAutoScaled_ = false;
    xMin_ = x.min;
    xMax_ = x.max;
    yMin_ = y.min;
    yMax_ = y.max;
    refresh();
}

void GraphView::wheelZoom(double x, double y, int steps, bool yAxis) {
    if (steps == 0) {
        return;
    }
    const double factor = std::pow(kWheelZoom, steps);
    const auto around = [factor](double lo, double hi, double at) {
        return AxisRange{at - (at - lo) * factor, at + (hi - at) * factor};
    };
    (void)saveViewForZoom();
    if (yAxis) {
        const AxisRange r = around(yMin_, yMax_, y);
        applyZoom({xMin_, xMax_}, r);
    } else {
        const AxisRange r = around(xMin_, xMax_, x);
        applyZoom(r, {yMin_, yMax_});
    }
}

void GraphView::resetZoom() {
    if (!savedView_) {
        return;
    }
    const GraphViewState saved = *savedView_;
    savedView_.reset();
    shown_ = saved.shown;
    xMin_ = saved.x.min;
    xMax_ = saved.x.max;
    yMin_ = saved.y.min;
    yMax_ = saved.y.max;
    yyMin_ = saved.yy.min;
    yyMax_ = saved.yy.max;
    yAutoScaled_ = false;
    live_.invalidate();
    refresh();
}

}  // namespace corvane
