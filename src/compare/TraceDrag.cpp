#include "compare/TraceDrag.h"

namespace corvane {

std::optional<TraceDrag::Offsets> TraceDrag::moveTo(PixelPoint at) const {
    if (!start_) {
        return std::nullopt;
    }
    const Start& s = *start_;
    return Offsets{s.yOffset - (at.y - s.press.y) * s.yUnitsPerPixel,
                   s.xOffset + (at.x - s.press.x) * s.xSamplesPerPixel};
}

}  // namespace corvane
