#pragma once

#include <string_view>
#include <vector>

#include "graph/GraphMapping.h"
#include "graph/PixelGeometry.h"
#include "graph/Rgb.h"

namespace corvane {

// What the fraction lookup says about an event mark at some x: a fraction
// number, one of the two letter codes, or nothing.
struct FractionLabel {
    enum class Kind { None, Number, R, A };

    Kind kind = Kind::None;
    int number = 0;
};

// A surface a fraction plan draws its zones on, in plot pixels.
class ZoneCanvas {
public:
    virtual ~ZoneCanvas() = default;
    virtual void line(PixelPoint from, PixelPoint to, Rgb colour) = 0;
    // alpha 0..255; 255 paints over the traces.
    virtual void fillRect(const PixelRect& rect, Rgb colour, int alpha) = 0;
    virtual void text(const PixelRect& rect, std::string_view text, Rgb colour) = 0;
};

// The fraction plan seen from the graph: where its fractions start, which
// fraction an event mark belongs to, and optionally its zones. The graph
// calls it while painting, with its trace lock held: an implementation must
// not wait for anything a caller of the graph's setters may hold.
class FractionPlanHook {
public:
    virtual ~FractionPlanHook() = default;

    // Boundary positions in x-axis units, in increasing order.
    virtual void boundaryPositions(std::vector<double>& out) const = 0;
    // The fraction of the event mark at x.
    [[nodiscard]] virtual FractionLabel fractionAt(double x) const = 0;
    [[nodiscard]] virtual int fractionCount() const = 0;
    // Added to a boundary's index + 1 to give its label.
    [[nodiscard]] virtual int fractionNumberOffset() const { return 0; }
    // Draws the plan's zones over the plot (shown when the graph's plan
    // zones switch is on).
    virtual void drawZones(ZoneCanvas& /*canvas*/, const GraphMapping& /*mapping*/) const {}
};

}  // namespace corvane
