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
    ++revision_;
    TraceSlot& s = at(slot);
    if (n < s.count()) {
        redrawAll();
    }
    s.x.clear();
    s.y.clear();
    s.firstIndex = 0;
    copyIn(s, x, y, n, slot, gain);
    return true;
}

bool GraphModel::appendTraceData(const double* x, const double* y, int n, int slot, double gain) {
    if (n < 1 || !valid(slot) || x == nullptr || y == nullptr) {
        return false;
    }
    if (!fullGraphMode_) {
        fullGraphMode_ = true;
        ++revision_;
    }
    copyIn(at(slot), x, y, n, slot, gain);
    return true;
}

void GraphModel::copyIn(TraceSlot& s, const double* x, const double* y, int n, int slot,
                        double gain) {
    const std::size_t start = s.x.size();
    // The first point of a slot is never shifted.
    const bool firstHeld = start == 0 && s.firstIndex == 0;
    s.x.append(x, x + n);
    s.y.append(y, y + n);
    double* xs = s.x.data() + start;
    double* ys = s.y.data() + start;
    if (gain != 1.0) {
        for (int i = 0; i < n; ++i) {
            ys[i] *= gain;
        }
    }
    if (s.xOffsetGate > 0.0) {
        for (int i = firstHeld ? 1 : 0; i < n; ++i) {
            xs[i] += s.xShift;
        }
    }
    if (logScale_) {
        const bool yy = slot == kSlotRatio;
        const double lo = yy ? yyMin_ : yMin_;
        const double hi = yy ? yyMax_ : yMax_;
        for (int i = 0; i < n; ++i) {
            ys[i] = logMap(ys[i], lo, hi);
        }
    }
}

void GraphModel::dropOldestPoints(int slot, int n) {
    if (!valid(slot) || n < 1) {
        return;
    }
    TraceSlot& s = at(slot);
    const auto dropped = std::min<std::size_t>(static_cast<std::size_t>(n), s.x.size());
    s.x.dropFront(dropped);
    s.y.dropFront(dropped);
    if (!s.pointFlag.empty()) {
        s.pointFlag.erase(s.pointFlag.begin(),
                          s.pointFlag.begin() +
                              static_cast<std::ptrdiff_t>(std::min(dropped, s.pointFlag.size())));
    }
    s.firstIndex += dropped;
}

void GraphModel::setTracePointFlags(int slot, const int* flags, int n) {
    if (!valid(slot)) {
        return;
    }
    ++revision_;
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
    ++revision_;
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
    ++revision_;
    at(slot).x.clear();
    at(slot).y.clear();
    at(slot).pointFlag.clear();
    at(slot).firstIndex = 0;
}

void GraphModel::setXRange(double min, double max) {
    change(xMin_, min);
    change(xMax_, max);
}

void GraphModel::setYRanges(double yMin, double yMax, double yyMin, double yyMax, bool logScale,
                            bool ratioOnYY) {
    change(yMin_, yMin);
    change(yMax_, yMax);
    change(yyMin_, yyMin);
    change(yyMax_, yyMax);
    change(logScale_, logScale);
    change(ratioOnYY_, ratioOnYY);
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
        change(at(slot).colour, colour);
    }
}

Rgb GraphModel::getTraceColour(int slot) const { return this->slot(slot).colour; }

void GraphModel::resetColours() {
    for (int i = 0; i < kTraceSlots; ++i) {
        change(at(i).colour, kDefaultColours[static_cast<size_t>(i)]);
    }
}

void GraphModel::setTraceStyle(int slot, bool dashed, bool markers) {
    if (valid(slot)) {
        change(at(slot).dashed, dashed);
        change(at(slot).markers, markers);
    }
}

void GraphModel::setTraceYGain(int slot, double gain) {
    if (valid(slot)) {
        change(at(slot).yGain, gain);
    }
}

void GraphModel::setTraceXGain(int slot, double gain) {
    if (valid(slot)) {
        change(at(slot).xGain, gain);
    }
}

void GraphModel::setMarkTrace(int slot, bool markStyle, double tickHeight, double xShift,
                              bool startLine, double runStartOffset) {
    if (!valid(slot)) {
        return;
    }
    TraceSlot& s = at(slot);
    change(s.markStyle, markStyle);
    change(s.xOffsetGate, tickHeight);
    change(s.xShift, xShift);
    change(s.startLine, startLine);
    change(startLineFlag_, std::any_of(slots_.begin(), slots_.end(),
                                       [](const TraceSlot& t) { return t.startLine; }));
    if (startLineFlag_) {
        change(startOffset_, -runStartOffset);
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
    change(at(slot).pixelOffset, pixels);
}

void GraphModel::setCursorList(bool show, std::vector<GraphCursor> cursors) {
    changeOverlay(showCursors_, show);
    changeOverlay(cursors_, cursors);
}

namespace {

// A rubber band keeps its start as left/top and the mouse as right/bottom.
PixelRect bandAt(PixelPoint at) { return {at.x, at.y, at.x, at.y}; }

std::optional<PixelRect> extendedBand(const std::optional<PixelRect>& band, PixelPoint to) {
    if (!band) {
        return band;
    }
    PixelRect extended = *band;
    extended.right = to.x;
    extended.bottom = to.y;
    return extended;
}

std::optional<PixelPoint> bandStart(const std::optional<PixelRect>& band) {
    if (!band) {
        return std::nullopt;
    }
    return PixelPoint{band->left, band->top};
}

}  // namespace

void GraphModel::startDragLine(PixelPoint at) { changeOverlay(dragLine_, bandAt(at)); }
void GraphModel::extendDragLine(PixelPoint to) { changeOverlay(dragLine_, extendedBand(dragLine_, to)); }
std::optional<PixelPoint> GraphModel::dragLineStart() const { return bandStart(dragLine_); }
void GraphModel::startZoomBox(PixelPoint at) { changeOverlay(zoomBox_, bandAt(at)); }
void GraphModel::extendZoomBox(PixelPoint to) { changeOverlay(zoomBox_, extendedBand(zoomBox_, to)); }
std::optional<PixelPoint> GraphModel::zoomBoxStart() const { return bandStart(zoomBox_); }

void GraphModel::showMessage(std::string text) {
    messageText_ = std::move(text);
    messageState_ = MessageState::Pending;
    ++overlayRevision_;
    redrawAll();
}

bool GraphModel::messageVisible() const {
    return messageState_ == MessageState::Pending ||
           (messageState_ == MessageState::Kept && context_.liveRun);
}

void GraphModel::messagePainted() {
    const bool shown = messageVisible();
    if (messageState_ == MessageState::Pending) {
        messageState_ = context_.liveRun ? MessageState::Kept : MessageState::None;
    } else if (messageState_ == MessageState::Kept && !context_.liveRun) {
        messageState_ = MessageState::None;
    }
    if (shown != messageVisible()) {
        ++overlayRevision_;
    }
}

void GraphModel::redrawAll() {
    if (messageState_ == MessageState::Kept) {
        messageState_ = MessageState::None;
        ++overlayRevision_;
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
