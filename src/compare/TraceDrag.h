#pragma once

#include <optional>

#include "graph/PixelGeometry.h"

namespace corvane {

// Dragging a data set's trace by hand: the set follows the mouse, up and
// down by its y offset, sideways by its x offset in samples.
class TraceDrag {
public:
    struct Start {
        int set = 0;
        PixelPoint press;
        double yOffset = 0.0;  // the set's offsets when the button went down
        double xOffset = 0.0;
        double yUnitsPerPixel = 0.0;     // (yMax - yMin) / plot height
        double xSamplesPerPixel = 0.0;   // samples: (xMax - xMin) / width; mm: that times samples per mm
    };
    struct Offsets {
        double y = 0.0;
        double x = 0.0;
    };

    void begin(const Start& start) { start_ = start; }
    [[nodiscard]] bool active() const { return start_.has_value(); }
    [[nodiscard]] int set() const { return start_ ? start_->set : -1; }
    // The set's offsets for the mouse at `at`: moving down lowers the trace,
    // moving right moves it right. Nothing when no drag is active.
    [[nodiscard]] std::optional<Offsets> moveTo(PixelPoint at) const;
    void end() { start_.reset(); }

private:
    std::optional<Start> start_;
};

}  // namespace corvane
