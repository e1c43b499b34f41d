#include "graph/GraphModel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "graph/GraphMapping.h"

namespace corvane {

namespace {

// Slots 0, 2 and 5 sit one step off pure green, red and black, so that no
// trace shares its colour with the grid, cursor or boundary pens and a pixel
// read back always names one slot.
constexpr std::array<Rgb, kTraceSlots> kDefaultColours{{
    {0, 255, 1},    // Sample A, green
    {255, 128, 0},  // Source A, orange
    {255, 1, 0},    // Abs A, red
    {0, 0, 255},    // Sample B, blue
    {255, 0, 255},  // Source B, magenta
    {1, 1, 1},      // Abs B, black
    {160, 0, 0},    // AbsA/AbsB or mark, dark red
    {255, 255, 0},  // spare, yellow
}};

// A pixel offset beyond this is off the plot whatever the plot's size.
constexpr double kMaxPixelOffset = 1e6;

}  // namespace

GraphModel::GraphModel() { resetColours(); }

const TraceSlot& GraphModel::slot(int slot) const {
    static const TraceSlot kEmpty;
    return valid(slot) ? slots_[static_cast<size_t>(slot)] : kEmpty;
}

bool GraphModel::setTraceData(const double* x, const double* y, int n, int slot, double gain) {
    if (n < 1 || !valid(slot) || x == nullptr || y == nullptr) {
        return false;
    }
    fullGraphMode_ = true;
    TraceSlot& s = at(slot);
    if (n < s.count()) {
        redrawAll();
    }
    // assign() keeps the capacity: a live window of steady length costs no
    // allocation per sample.
    s.x.assign(x, x + n);
    s.y.assign(y, y + n);
    if (gain != 1.0) {
        for (double& v : s.y) {
            v *= gain;
        }
    }
    if (s.xOffsetGate > 0.0) {
        for (int i = 1; i < n; ++i) {
            s.x[static_cast<size_t>(i)] += s.xShift;
        }
    }
    if (logScale_) {
        const bool yy = slot == kSlotRatio;
        const double lo = yy ? yyMin_ : yMin_;
        const double hi = yy ? yyMax_ : yMax_;
        for (double& v : s.y) {
            v = logMap(v, lo, hi);
        }
    }
    return true;
}

void GraphModel::setTracePointFlags(int slot, const int* flags, int n) {
    if (!valid(slot)) {
        return;
    }
    auto& f = at(slot).pointFlag;
    if (flags == nullptr || n < 1) {
        f.clear();
    } else {
        f.assign(flags, flags + n);
    }
}

void GraphModel::clearTrace(int slot) {
    if (!valid(slot)) {
        return;
    }
    const Rgb colour = at(slot).colour;
    at(slot) = TraceSlot{};
    at(slot).colour = colour;
    startLineFlag_ =
        std::any_of(slots_.begin(), slots_.end(), [](const TraceSlot& s) { return s.startLine; });
}

void GraphModel::clearAllTraces() {
    for (int i = 0; i < kTraceSlots; ++i) {
        clearTrace(i);
    }
}

void GraphModel::emptyTrace(int slot) {
    if (!valid(slot)) {
        return;
    }
    at(slot).x.clear();
    at(slot).y.clear();
    at(slot).pointFlag.clear();
}

void GraphModel::setXRange(double min, double max) {
    xMin_ = min;
    xMax_ = max;
}

void GraphModel::setYRanges(double yMin, double yMax, double yyMin, double yyMax, bool logScale,
                            bool ratioOnYY) {
    yMin_ = yMin;
    yMax_ = yMax;
    yyMin_ = yyMin;
    yyMax_ = yyMax;
    logScale_ = logScale;
    ratioOnYY_ = ratioOnYY;
}

void GraphModel::getRanges(double& xMin, double& xMax, double& yMin, double& yMax) const {
    xMin = xMin_;
    xMax = xMax_;
    yMin = yMin_;
    yMax = yMax_;
}

void GraphModel::getYYRange(double& min, double& max) const {
    min = yyMin_;
    max = yyMax_;
}

void GraphModel::setTraceColour(int slot, Rgb colour) {
    if (valid(slot)) {
        at(slot).colour = colour;
    }
}

Rgb GraphModel::getTraceColour(int slot) const { return this->slot(slot).colour; }

void GraphModel::resetColours() {
    for (int i = 0; i < kTraceSlots; ++i) {
        at(i).colour = kDefaultColours[static_cast<size_t>(i)];
    }
}

void GraphModel::setTraceStyle(int slot, bool dashed, bool markers) {
    if (valid(slot)) {
        at(slot).dashed = dashed;
        at(slot).markers = markers;
    }
}

void GraphModel::setTraceYGain(int slot, double gain) {
    if (valid(slot)) {
        at(slot).yGain = gain;
    }
}

void GraphModel::setTraceXGain(int slot, double gain) {
    if (valid(slot)) {
        at(slot).xGain = gain;
    }
}

void GraphModel::setMarkTrace(int slot, bool markStyle, double tickHeight, double xShift,
                              bool startLine, double runStartOffset) {
    if (!valid(slot)) {
        return;
    }
    TraceSlot& s = at(slot);
    s.markStyle = markStyle;
    s.xOffsetGate = tickHeight;
    s.xShift = xShift;
    s.startLine = startLine;
    startLineFlag_ =
        std::any_of(slots_.begin(), slots_.end(), [](const TraceSlot& t) { return t.startLine; });
    if (startLineFlag_) {
        startOffset_ = -runStartOffset;
    }
}

void GraphModel::setTracePixelOffset(int slot, double offset, double range, int clientHeight) {
    if (!valid(slot)) {
        return;
    }
    int pixels = 0;
    if (range != 0.0 && !std::isnan(range)) {
        const double v = -static_cast<double>(clientHeight) * offset / range;
        if (!std::isnan(v)) {
            pixels = static_cast<int>(std::clamp(v, -kMaxPixelOffset, kMaxPixelOffset));
        }
    }
    at(slot).pixelOffset = pixels;
}

void GraphModel::setCursorList(bool show, std::vector<GraphCursor> cursors) {
    showCursors_ = show;
    cursors_ = std::move(cursors);
}

namespace {

// A rubber band keeps its start as left/top and the mouse as right/bottom.
PixelRect bandAt(PixelPoint at) { return {at.x, at.y, at.x, at.y}; }

void extendBand(std::optional<PixelRect>& band, PixelPoint to) {
    if (band) {
        band->right = to.x;
        band->bottom = to.y;
    }
}

std::optional<PixelPoint> bandStart(const std::optional<PixelRect>& band) {
    if (!band) {
        return std::nullopt;
    }
    return PixelPoint{band->left, band->top};
}

}  // namespace

void GraphModel::startDragLine(PixelPoint at) { dragLine_ = bandAt(at); }
void GraphModel::extendDragLine(PixelPoint to) { extendBand(dragLine_, to); }
std::optional<PixelPoint> GraphModel::dragLineStart() const { return bandStart(dragLine_); }
void GraphModel::startZoomBox(PixelPoint at) { zoomBox_ = bandAt(at); }
void GraphModel::extendZoomBox(PixelPoint to) { extendBand(zoomBox_, to); }
std::optional<PixelPoint> GraphModel::zoomBoxStart() const { return bandStart(zoomBox_); }

void GraphModel::showMessage(std::string text) {
    messageText_ = std::move(text);
    messageState_ = MessageState::Pending;
    redrawAll();
}

bool GraphModel::messageVisible() const {
    return messageState_ == MessageState::Pending ||
           (messageState_ == MessageState::Kept && context_.liveRun);
}

void GraphModel::messagePainted() {
    if (messageState_ == MessageState::Pending) {
        messageState_ = context_.liveRun ? MessageState::Kept : MessageState::None;
    } else if (messageState_ == MessageState::Kept && !context_.liveRun) {
        messageState_ = MessageState::None;
    }
}

void GraphModel::redrawAll() {
    if (messageState_ == MessageState::Kept) {
        messageState_ = MessageState::None;
    }
}

double GraphModel::lastX(int slot) const {
    const TraceSlot& s = this->slot(slot);
    return s.x.empty() ? 0.0 : s.x.back() - s.xShift;
}

bool GraphModel::usesRightAxis(int slot) const {
    const TraceSlot& s = this->slot(slot);
    if (s.markStyle) {
        return true;
    }
    if (overlayMode_) {
        // Overlay slots: 0..2 the current run's Abs A, Abs B and ratio, 3..5
        // the overlay's.
        return context_.fluorescence ? (slot == 1 || slot == 4) : (slot == 2 || slot == 5);
    }
    if (!context_.fluorescence) {
        return slot == kSlotRatio || ratioOnYY_;
    }
    if (!context_.compareMode) {
        return slot == kSlotAbsB || ratioOnYY_;
    }
    // Compare mode whose reference data set reports fluorescence.
    return true;
}

}  // namespace corvane
