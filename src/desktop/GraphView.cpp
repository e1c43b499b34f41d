#include "desktop/GraphView.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/TextFormat.h"
#include "desktop/LiveFeed.h"
#include "desktop/LiveGraph.h"
#include "graph/GraphModel.h"
#include "runs/Em1RunWriter.h"

namespace corvane {

namespace {

constexpr int kFirstAufs = 0;
constexpr int kLastAufs = 7;
// A DE-1 mark channel's tick height, as a share of the plot height.
constexpr double kMarkTickHeight = 0.1;

[[nodiscard]] bool inRange(double x, double lo, double hi) { return x >= lo && x <= hi; }

}  // namespace

GraphView::GraphView(LiveFeed& feed, LiveGraph& graph) : feed_(feed), graph_(graph) {}

// --- Settings ---

void GraphView::apply(const ViewSettings& settings) {
    shown_ = settings.shown;
    windowSamples_ = settings.windowSamples;
    windowMm_ = settings.windowMm;
    xMin_ = 0.0;
    xMax_ = xAxisType_ == XAxisType::Millimetres ? windowMm_ : windowSamples_;
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
    xAutoWidth_ = kMaxAutoWidth;
    aufsIndex_ = std::clamp(settings.aufs, kFirstAufs, kLastAufs);
    live_.invalidate();
}

ViewSettings GraphView::settings() const {
    ViewSettings s;
    s.shown = shown_;
    s.windowSamples = windowSamples_;
    s.windowMm = windowMm_;
    s.xMin = xMin_;
    s.xMax = xMax_;
    s.y = {yMin_, yMax_};
    s.yy = {yyMin_, yyMax_};
    s.xAutoScale = xAutoScale_;
    s.yAutoScale = yAutoScale_;
    s.yyAutoScale = yyAutoScale_;
    s.showGrid = showGrid_;
    s.logScale = logScale_;
    s.aufs = aufsIndex_;
    return s;
}

// --- The picture ---

LiveWindow GraphView::liveWindow() const {
    LiveWindow window;
    window.shown = shown_;
    window.inMm = xAxisType_ == XAxisType::Millimetres;
    window.windowSamples = windowSamples_;
    window.windowMm = windowMm_;
    window.xAutoScale = xAutoScale_;
    window.xAutoWidth = xAutoWidth_;
    window.leftMm = window.inMm && !xAutoScale_ ? xMin_ : 0.0;
    return window;
}

void GraphView::refresh(bool de1Source, bool recording) {
    de1Source_ = de1Source;
    recording_ = recording;
    if (file_) {
        if (!graph_.edit([this](GraphModel& model) { buildLoaded(model); })) {
            return;
        }
    } else {
        live_.invalidate();
        syncLive();
    }
    graph_.redrawAll();
}

void GraphView::syncLive() {
    if (file_) {
        return;
    }
    bool restarted = false;
    const bool built = feed_.read([&](const LiveSamples& ring, std::uint64_t generation) {
        restarted = generation != shownGeneration_;
        shownGeneration_ = generation;
        return graph_.edit([&](GraphModel& model) {
            const LiveWindow window = liveWindow();
            LiveAxes axes = live_.update(ring, generation, window, model);
            xMin_ = axes.x.min;
            xMax_ = axes.x.max;
            const std::array before{yMin_, yMax_, yyMin_, yyMax_};
            applyAxes(model, axes.y, axes.yy);
            if (logScale_ && before != std::array{yMin_, yMax_, yyMin_, yyMax_}) {
                // The log mapping is done as points come in: on the new
                // ranges the points already there are mapped anew.
                live_.invalidate();
                (void)live_.update(ring, generation, window, model);
            }
            GraphContext context;
            context.liveRun = true;
            context.recording = recording_;
            context.eventMarksShown = eventMarksShown_;
            context.xAxisInMm = window.inMm;
            model.setContext(context);
        });
    });
    if (!built) {
        // The graph was busy: the next sample (or refresh) starts over.
        live_.invalidate();
        return;
    }
    if (restarted) {
        graph_.redrawAll();
    } else {
        graph_.redraw();
    }
}

void GraphView::applyAxes(GraphModel& model, const std::optional<AxisRange>& yScan,
                          const std::optional<AxisRange>& yyScan) {
    if (yAutoScale_ && yScan) {
        const auto shown = logScale_ ? LogDecadeRange(yScan->min, yScan->max) : *yScan;
        yMin_ = shown.min;
        yMax_ = shown.max;
        yAutoScaled_ = true;
    }
    if (yyAutoScale_ && yyScan) {
        const auto shown = logScale_ ? LogDecadeRange(yyScan->min, yyScan->max) : *yyScan;
        yyMin_ = shown.min;
        yyMax_ = shown.max;
    }
    model.setYRanges(yMin_, yMax_, yyMin_, yyMax_, logScale_, false);
    model.setXRange(xMin_, xMax_);
    model.setShowGrid(showGrid_);
}

void GraphView::buildLoaded(GraphModel& model) {
    const RunDataFile& file = *file_;
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    std::array<std::vector<double>, kChannelCount> xs;
    std::array<std::vector<double>, kChannelCount> ys;
    // A loaded run is drawn only on a refresh: start from clean slots, so no
    // mark configuration of an earlier file stays behind.
    model.clearAllTraces();
    bool markSlot = false;
    if (file.isEm1()) {
        // A DE-1 run: the signal in the Abs A slot, its marks in the ratio slot.
        const auto& rows = file.em1Samples();
        const bool marks = eventMarksShown_ || shown_[kChannelRatio];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const double x = inMm ? rows[i].distance : static_cast<double>(i);
            if (std::isnan(x)) {
                continue;
            }
            if (shown_[kChannelAbsA]) {
                xs[kChannelAbsA].push_back(x);
                ys[kChannelAbsA].push_back(rows[i].absorbance);
            }
            if (marks) {
                xs[kChannelRatio].push_back(x);
                ys[kChannelRatio].push_back(rows[i].eventMark ? 1.0 : 0.0);
            }
        }
        markSlot = marks;
    } else if (file.isExport()) {
        // Each data set of an export file in its own slot, as compare mode shows them.
        const auto& sets = file.exportedSets();
        for (std::size_t k = 0; k < sets.size() && k < 4; ++k) {
            const auto& samples = sets[k].samples;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                xs[k].push_back(inMm ? samples[i].positionA : static_cast<double>(i));
                ys[k].push_back(samples[i].absorbanceA);
            }
        }
    } else {
        const auto& samples = file.samples();
        for (int c = 0; c < kChannelCount; ++c) {
            if (!shown_[static_cast<std::size_t>(c)]) {
                continue;
            }
            for (std::size_t i = 0; i < samples.size(); ++i) {
                const double x = !inMm             ? static_cast<double>(i)
                                 : isBChannel(c) ? samples[i].positionB
                                                 : samples[i].positionA;
                xs[static_cast<std::size_t>(c)].push_back(x);
                ys[static_cast<std::size_t>(c)].push_back(channelValue(c, samples[i]));
            }
        }
    }

    AutoScaleRange yScan = AutoScaleRange::forLoadedFile();
    AutoScaleRange yyScan = AutoScaleRange::forLoadedFile();
    for (int c = 0; c < kChannelCount; ++c) {
        // A DE-1 run's ratio slot holds its marks: levels, not data.
        if (file.isEm1() && c == kChannelRatio) {
            continue;
        }
        AutoScaleRange& scan = c == kChannelRatio ? yyScan : yScan;
        const auto& cx = xs[static_cast<std::size_t>(c)];
        const auto& cy = ys[static_cast<std::size_t>(c)];
        for (std::size_t i = 0; i < cx.size(); ++i) {
            if (inRange(cx[i], xMin_, xMax_)) {
                scan.add(cy[i]);
            }
        }
    }
    if (file.isEm1() && !yAutoScale_) {
        yMin_ = 0.0;
        yMax_ = Em1RunWriter::aufsValue(aufsIndex_);
    }
    applyAxes(model, yScan.range(), yyScan.range());
    GraphContext context;
    context.eventMarksShown = eventMarksShown_;
    context.xAxisInMm = inMm;
    model.setContext(context);
    for (int c = 0; c < kChannelCount; ++c) {
        const auto& cx = xs[static_cast<std::size_t>(c)];
        if (cx.empty()) {
            continue;
        }
        if (markSlot && c == kChannelRatio) {
            model.setMarkTrace(c, true, kMarkTickHeight, 0.0, false, 0.0);
        }
        model.setTraceData(cx.data(), ys[static_cast<std::size_t>(c)].data(),
                           static_cast<int>(cx.size()), c, 1.0);
    }
}

// --- Channels ---

bool GraphView::channelShown(int channel) const {
    return channel >= 0 && channel < kChannelCount && shown_[static_cast<std::size_t>(channel)];
}

void GraphView::setChannelShown(int channel, bool shown) {
    if (channel < 0 || channel >= kChannelCount) {
        return;
    }
    shown_[static_cast<std::size_t>(channel)] = shown;
    refresh();
}

std::string GraphView::channelCaption(int channel) const {
    if (channel < 0 || channel >= kChannelCount) {
        return {};
    }
    if (de1Mode()) {
        if (channel == kChannelAbsA) {
            return "Voltage";
        }
        if (channel == kChannelRatio) {
            return "Mark";
        }
    }
    return kChannelCaptions[static_cast<std::size_t>(channel)];
}

bool GraphView::anyYChannel() const {
    return std::any_of(shown_.begin(), shown_.begin() + kChannelRatio, [](bool on) { return on; });
}

bool GraphView::yControlsVisible() const { return anyYChannel(); }

bool GraphView::yyControlsVisible() const { return shown_[kChannelRatio] && !de1Mode(); }

// --- Axes ---

void GraphView::setXAxisType(XAxisType type) {
    if (type == xAxisType_) {
        return;
    }
    xAxisType_ = type;
    if (file_) {
        fitXToFile();
    } else {
        xMin_ = 0.0;
        xMax_ = type == XAxisType::Millimetres ? windowMm_ : windowSamples_;
    }
    refresh();
}

void GraphView::setYAutoScale(bool on) {
    yAutoScale_ = on;
    if (!on) {
        yAutoScaled_ = false;
        if (de1Mode()) {
            yMin_ = 0.0;
            yMax_ = Em1RunWriter::aufsValue(aufsIndex_);
        }
    }
    refresh();
}

void GraphView::setYYAutoScale(bool on) {
    yyAutoScale_ = on;
    refresh();
}

void GraphView::setShowGrid(bool on) {
    showGrid_ = on;
    refresh();
}

std::string GraphView::windowText(bool mm) const {
    return mm ? formatText("%.2f", windowMm_) : formatText("%.0f", windowSamples_);
}

AxisTexts GraphView::axisTexts() const {
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

void GraphView::axisTextEdited(AxisBox box, std::string_view text) {
    if (const auto value = parseAxisText(text)) {
        setAxisLimit(box, *value);
    }
}

void GraphView::axisSpin(AxisBox box, std::string_view text, bool up) {
    const bool yy = box == AxisBox::YYMax || box == AxisBox::YYMin;
    const AxisRange axis = yy ? yyRange() : yRange();
    if (const auto value = spinAxisLimit(text, axis, up)) {
        setAxisLimit(box, *value);
    }
}

void GraphView::setAxisLimit(AxisBox box, double value) {
    switch (box) {
        case AxisBox::YMax: yMax_ = value; break;
        case AxisBox::YMin: yMin_ = value; break;
        case AxisBox::YYMax: yyMax_ = value; break;
        case AxisBox::YYMin: yyMin_ = value; break;
    }
    yAutoScaled_ = false;
    refresh();
}

bool GraphView::windowSizeEdited(bool mm, std::string_view text) {
    const auto width = parseAxisText(text);
    if (!width || !(*width > 0.0) || !std::isfinite(*width)) {
        return false;
    }
    (mm ? windowMm_ : windowSamples_) = *width;
    const bool current = (xAxisType_ == XAxisType::Millimetres) == mm;
    if (current && file_) {
        // A loaded run is windowed around the middle of what is shown.
        const double centre = (xMin_ + xMax_) / 2.0;
        xMin_ = centre - *width / 2.0;
        xMax_ = centre + *width / 2.0;
    }
    refresh();
    return true;
}

bool GraphView::windowSizeSpin(bool mm, bool up) {
    const double width = mm ? windowMm_ : windowSamples_;
    return windowSizeEdited(mm, formatText("%.17g", up ? width * 2.0 : width / 2.0));
}

void GraphView::fitXToFile() {
    const RunDataFile& file = *file_;
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    const auto take = [&](double x) {
        if (std::isfinite(x)) {
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
    };
    std::size_t count = 0;
    if (file.isEm1()) {
        count = file.em1Samples().size();
        for (const auto& row : file.em1Samples()) {
            take(row.distance);
        }
    } else if (file.isExport()) {
        for (const auto& set : file.exportedSets()) {
            count = std::max(count, set.samples.size());
            for (const auto& s : set.samples) {
                take(s.positionA);
            }
        }
    } else {
        count = file.samples().size();
        for (const auto& s : file.samples()) {
            take(s.positionA);
            take(s.positionB);
        }
    }
    if (!inMm) {
        lo = 0.0;
        hi = static_cast<double>(count);
    }
    if (!std::isfinite(lo) || !(hi > lo)) {
        lo = std::isfinite(lo) ? lo : 0.0;
        hi = lo + 1.0;
    }
    xMin_ = lo;
    xMax_ = hi;
}

// --- AUFS and event marks ---

void GraphView::setAufs(int step) {
    aufsIndex_ = std::clamp(step, kFirstAufs, kLastAufs);
    if (de1Mode() && !yAutoScale_) {
        yMin_ = 0.0;
        yMax_ = Em1RunWriter::aufsValue(aufsIndex_);
    }
    refresh();
}

std::string GraphView::aufsLabel() const {
    return formatText("%.2f", Em1RunWriter::aufsValue(aufsIndex_));
}

void GraphView::setEventMarksShown(bool shown) {
    eventMarksShown_ = shown;
    refresh();
}

bool GraphView::de1Mode() const { return de1Source_ || (file_ && file_->isEm1()); }

// --- A loaded run ---

void GraphView::showFile(RunDataFile file, std::filesystem::path path) {
    file_ = std::move(file);
    shownPath_ = std::move(path);
    yAutoScaled_ = false;
    fitXToFile();
}

void GraphView::closeFile(double windowSamples) {
    file_.reset();
    shownPath_.clear();
    yAutoScaled_ = false;
    windowSamples_ = windowSamples == 0.0 ? kDefaultSampleWindow : windowSamples;
    xMin_ = 0.0;
    xMax_ = xAxisType_ == XAxisType::Millimetres ? windowMm_ : windowSamples_;
    // A busy graph keeps the file's slot settings until the next refresh.
    (void)graph_.edit([](GraphModel& model) { model.clearAllTraces(); });
    refresh();
}

}  // namespace corvane
