#include "display/AxisState.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/TextFormat.h"
#include "graph/AxisTicks.h"
#include "runs/Em1RunWriter.h"

namespace corvane {

namespace {

constexpr int kFirstAufs = 0;
constexpr int kLastAufs = 7;

}  // namespace

std::optional<XAxisType> xAxisTypeNamed(std::string_view name) {
    constexpr std::pair<std::string_view, XAxisType> kNames[] = {
        {"number", XAxisType::SampleNumber}, {"samples", XAxisType::SampleNumber}, {"mm", XAxisType::Millimetres},
        {"ml", XAxisType::Millilitres},      {"s", XAxisType::Seconds},            {"min", XAxisType::Minutes}};
    for (const auto& [text, type] : kNames) {
        if (name == text) {
            return type;
        }
    }
    return std::nullopt;
}

void AxisState::apply(const ViewSettings& settings) {
    shown_ = settings.shown;
    windowSamples_ = settings.windowSamples;
    windowMm_ = settings.windowMm;
    xMin_ = 0.0;
    xMax_ = byPosition() ? windowMm_ : windowSamples_;
    keptY_.reset();
    yMin_ = settings.y.min;
    yMax_ = settings.y.max;
    yyMin_ = settings.yy.min;
    yyMax_ = settings.yy.max;
    xAutoScale_ = settings.xAutoScale;
    yAutoScale_ = settings.yAutoScale;
    yyAutoScale_ = settings.yyAutoScale;
    yAutoScaled_ = false;
    showGrid_ = settings.showGrid;
    logScale_ = settings.logScale;
    xAutoWidth_ = std::clamp(settings.xAutoWidth, kMinAutoWidth, kMaxAutoWidth);
    aufsIndex_ = std::clamp(settings.aufs, kFirstAufs, kLastAufs);
}

ViewSettings AxisState::settings() const {
    ViewSettings s;
    s.shown = shown_;
    s.windowSamples = windowSamples_;
    s.windowMm = windowMm_;
    s.xMin = xMin_;
    s.xMax = xMax_;
    // The range a live run widened is not the operator's: his is kept.
    s.y = keptY_ && yRange() == widenedY_ ? *keptY_ : yRange();
    s.yy = {yyMin_, yyMax_};
    s.xAutoScale = xAutoScale_;
    s.yAutoScale = yAutoScale_;
    s.yyAutoScale = yyAutoScale_;
    s.showGrid = showGrid_;
    s.logScale = logScale_;
    s.aufs = aufsIndex_;
    s.xAutoWidth = xAutoWidth_;
    return s;
}

XAxisWords xAxisWords(XAxisType type) {
    switch (type) {
        case XAxisType::SampleNumber: return {"%.0f", "", "Sample Number", "Sample"};
        case XAxisType::Millimetres: return {"%.2f", "mm", "Position (mm)", "Position (mm)"};
        case XAxisType::Millilitres: return {"%.2f", "ml", "Volume (ml)", "Volume (ml)"};
        case XAxisType::Seconds: return {"%.1f", "s", "Time (sec)", "Time (sec)"};
        case XAxisType::Minutes: return {"%.2f", "min", "Time (min)", "Time (min)"};
    }
    return {"%.0f", "", "", ""};
}

std::string xValueText(double x, XAxisType type) {
    const XAxisWords words = xAxisWords(type);
    std::string text = formatText(words.format, x);
    if (*words.unit != '\0') {
        text += std::string(" ") + words.unit;
    }
    return text;
}

// --- Channels ---

bool AxisState::channelShown(int channel) const {
    return channel >= 0 && channel < kChannelCount && shown_[static_cast<std::size_t>(channel)];
}

void AxisState::setChannelShown(int channel, bool shown) {
    if (channel >= 0 && channel < kChannelCount) {
        shown_[static_cast<std::size_t>(channel)] = shown;
    }
}

bool AxisState::anyYChannel() const {
    return std::any_of(shown_.begin(), shown_.begin() + kChannelRatio, [](bool on) { return on; });
}

// --- X ---

void AxisState::setXAxisType(XAxisType type, std::optional<AxisRange> whole) {
    xAxisType_ = type;
    if (whole) {
        setXRange(*whole);
    } else {
        xMin_ = 0.0;
        xMax_ = byPosition() ? windowMm_ : windowSamples_;
    }
}

void AxisState::setXRange(AxisRange x) {
    if (x.max > x.min) {
        xMin_ = x.min;
        xMax_ = x.max;
    }
}

std::string AxisState::windowText(bool mm) const {
    return mm ? formatText("%.2f", windowMm_) : formatText("%.0f", windowSamples_);
}

bool AxisState::windowSizeEdited(bool mm, std::string_view text, bool centred) {
    const auto width = parseAxisText(text);
    if (!width || !(*width > 0.0) || !std::isfinite(*width)) {
        return false;
    }
    (mm ? windowMm_ : windowSamples_) = *width;
    if (byPosition() == mm && (centred || windowCentre_)) {
        // Around the main cursor; without one, a saved run around the
        // middle of what is shown.
        const double centre = windowCentre_ ? *windowCentre_ : (xMin_ + xMax_) / 2.0;
        xMin_ = centre - *width / 2.0;
        xMax_ = centre + *width / 2.0;
    }
    return true;
}

bool AxisState::windowSizeSpin(bool mm, bool up, bool centred) {
    const double width = mm ? windowMm_ : windowSamples_;
    return windowSizeEdited(mm, formatText("%.17g", up ? width * 2.0 : width / 2.0), centred);
}

// --- Y and YY ---

void AxisState::setYYRange(AxisRange yy) {
    yyMin_ = yy.min;
    yyMax_ = yy.max;
}

void AxisState::setYRange(AxisRange y) {
    yMin_ = y.min;
    yMax_ = y.max;
    yAutoScaled_ = false;
}

bool AxisState::widenForLive(AxisRange values) {
    if (keptY_ && yRange() != widenedY_) {
        keptY_.reset();  // the operator set a range since
        return false;
    }
    if (yAutoScale_ || logScale_ || !std::isfinite(values.min) || !std::isfinite(values.max)) {
        return !yAutoScale_ && !logScale_;
    }
    const double lo = std::min(yMin_, values.min);
    const double hi = std::max(yMax_, values.max);
    if (lo == yMin_ && hi == yMax_) {
        return true;
    }
    const double spare = (hi - lo) / 20.0;
    if (!keptY_) {
        keptY_ = yRange();
    }
    yMin_ = lo < yMin_ ? lo - spare : yMin_;
    yMax_ = hi > yMax_ ? hi + spare : yMax_;
    yAutoScaled_ = false;
    widenedY_ = yRange();
    return true;
}

void AxisState::endLiveWidening() {
    if (keptY_ && yRange() == widenedY_) {
        yMin_ = keptY_->min;
        yMax_ = keptY_->max;
    }
    keptY_.reset();
}

void AxisState::setYAutoScale(bool on, bool de1) {
    yAutoScale_ = on;
    if (!on) {
        yAutoScaled_ = false;
        if (de1) {
            useAufsRange();
        }
    }
}

AxisTexts AxisState::axisTexts() const {
    AxisTexts texts;
    const double yRange = yMax_ - yMin_;
    const double yyRange = yyMax_ - yyMin_;
    const auto yText = [&](double v) {
        return yAutoScale_ && yAutoScaled_ ? autoScaledLimitText(v, yRange, logScale_)
                                           : axisLimitText(v, yRange, logScale_);
    };
    texts.yMax = yText(yMax_);
    texts.yMin = yText(yMin_);
    texts.yyMax = axisLimitText(yyMax_, yyRange, logScale_);
    texts.yyMin = axisLimitText(yyMin_, yyRange, logScale_);
    texts.windowMm = windowText(true);
    texts.windowSamples = windowText(false);
    return texts;
}

bool AxisState::axisTextEdited(AxisBox box, std::string_view text) {
    const auto value = parseAxisText(text);
    if (value) {
        setAxisLimit(box, *value);
    }
    return value.has_value();
}

bool AxisState::axisSpin(AxisBox box, std::string_view text, bool up) {
    const bool yy = box == AxisBox::YYMax || box == AxisBox::YYMin;
    const auto value = spinAxisLimit(text, yy ? yyRange() : yRange(), up);
    if (value) {
        setAxisLimit(box, *value);
    }
    return value.has_value();
}

void AxisState::setAxisLimit(AxisBox box, double value) {
    switch (box) {
        case AxisBox::YMax: yMax_ = value; break;
        case AxisBox::YMin: yMin_ = value; break;
        case AxisBox::YYMax: yyMax_ = value; break;
        case AxisBox::YYMin: yyMin_ = value; break;
    }
    yAutoScaled_ = false;
}

void AxisState::autoScale(const std::optional<AxisRange>& y, const std::optional<AxisRange>& yy) {
    if (yAutoScale_ && y) {
        const AxisRange shown = logScale_ ? LogDecadeRange(y->min, y->max) : openFlatRange(*y);
        yMin_ = shown.min;
        yMax_ = shown.max;
        yAutoScaled_ = true;
    }
    if (yyAutoScale_ && yy) {
        setYYRange(logScale_ ? LogDecadeRange(yy->min, yy->max) : openFlatRange(*yy));
    }
}

void AxisState::useAufsRange() {
    yMin_ = 0.0;
    yMax_ = volts_ ? 1.0 : Em1RunWriter::aufsValue(aufsIndex_);
}

// --- Options, zoom, full range ---

void AxisState::applyOptions(const GraphOptions& options, std::optional<AxisRange> whole) {
    showGrid_ = options.showGrid;
    xAutoScale_ = options.xAutoScale;
    yAutoScale_ = options.yAutoScale;
    yyAutoScale_ = options.yyAutoScale;
    logScale_ = options.logScale;
    xAutoWidth_ = std::clamp(options.xAutoWidth, kMinAutoWidth, kMaxAutoWidth);
    yAutoScaled_ = false;
    if (!xAutoScale_) {
        xMin_ = options.x.min;
        xMax_ = options.x.max;
    } else if (whole) {
        setXRange(*whole);
    }
    if (!yAutoScale_) {
        const AxisRange y = logScale_ ? LogDecadeRange(options.y.min, options.y.max) : options.y;
        yMin_ = y.min;
        yMax_ = y.max;
    }
    if (!yyAutoScale_) {
        setYYRange(options.yy);
    }
}

GraphViewState AxisState::viewState() const {
    return {shown_, {xMin_, xMax_}, {yMin_, yMax_}, {yyMin_, yyMax_}};
}

bool AxisState::saveViewForZoom() {
    if (savedView_) {
        return false;
    }
    savedView_ = viewState();
    return true;
}

bool AxisState::applyZoom(AxisRange x, AxisRange y) {
    if (x.min > x.max) {
        std::swap(x.min, x.max);
    }
    if (y.min > y.max) {
        std::swap(y.min, y.max);
    }
    if (!(x.max > x.min) || !(y.max > y.min)) {
        return false;  // a click, not a box
    }
    yAutoScale_ = false;
    yAutoScaled_ = false;
    xMin_ = x.min;
    xMax_ = x.max;
    yMin_ = y.min;
    yMax_ = y.max;
    return true;
}

bool AxisState::wheelZoom(double x, double y, int steps, bool yAxis) {
    if (steps == 0) {
        return false;
    }
    const double factor = std::pow(kWheelZoom, steps);
    const auto around = [factor](double lo, double hi, double at) {
        return AxisRange{at - (at - lo) * factor, at + (hi - at) * factor};
    };
    (void)saveViewForZoom();
    return yAxis ? applyZoom(xRange(), around(yMin_, yMax_, y)) : applyZoom(around(xMin_, xMax_, x), yRange());
}

bool AxisState::resetZoom() {
    if (!savedView_) {
        return false;
    }
    const GraphViewState saved = *savedView_;
    savedView_.reset();
    shown_ = saved.shown;
    xMin_ = saved.x.min;
    xMax_ = saved.x.max;
    yMin_ = saved.y.min;
    yMax_ = saved.y.max;
    setYYRange(saved.yy);
    yAutoScaled_ = false;
    return true;
}

void AxisState::resetFullRange(AxisRange whole) {
    savedView_.reset();
    xMin_ = whole.min;
    xMax_ = whole.max;
    (byPosition() ? windowMm_ : windowSamples_) = xMax_ - xMin_;
    yAutoScale_ = true;
    yyAutoScale_ = true;
}

// --- AUFS ---

void AxisState::setAufsIndex(int step) { aufsIndex_ = std::clamp(step, kFirstAufs, kLastAufs); }

std::string AxisState::aufsLabel() const { return formatText("%.2f", Em1RunWriter::aufsValue(aufsIndex_)); }

}  // namespace corvane
