#include "desktop/GraphView.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/TextFormat.h"
#include "compare/CompareSets.h"
#include "desktop/LiveFeed.h"
#include "desktop/LiveGraph.h"
#include "desktop/RunTraces.h"
#include "graph/AxisTicks.h"
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
    xAutoWidth_ = std::clamp(settings.xAutoWidth, kMinAutoWidth, kMaxAutoWidth);
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
    s.xAutoWidth = xAutoWidth_;
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
    window.slot = slotMap();
    window.de1 = de1Source_;
    window.odStart = de1Source_ && window.inMm && odSensingStart_;
    // The live run is set 0, as a file shown is: the printed page states them.
    window.xGain = offsets_.placement(0).xGain;
    window.xShift = xShiftOf(0);
    window.yGain = offsets_.placement(0).yGain;
    window.yOffset = offsets_.yOffset(0);
    if (de1Source_ && eventMarksShown_) {
        // The marks are plotted while event marks are shown, switch or not.
        window.shown[kChannelRatio] = true;
    }
    return window;
}

void GraphView::refresh(bool de1Source, bool recording) {
    de1Source_ = de1Source;
    recording_ = recording;
    if (file_ || compare_) {
        if (!graph_.edit([this](GraphModel& m) { compare_ ? buildCompare(m) : buildLoaded(m); })) {
            return;
        }
    } else {
        live_.invalidate();
        syncLive();
    }
    graph_.redrawAll();
}

void GraphView::syncLive() {
    if (file_ || compare_) {
        return;
    }
    bool restarted = false;
    const bool built = feed_.read([&](const LiveSamples& ring, std::uint64_t generation) {
        restarted = generation != shownGeneration_;
        shownGeneration_ = generation;
        return graph_.edit([&](GraphModel& model) {
            const LiveWindow window = liveWindow();
            configureMarks(model, true);
            LiveAxes axes = live_.update(ring, generation, window, model);
            if (!savedView_) {
                // A FOCUS zoom holds the window still; otherwise it scrolls.
                xMin_ = axes.x.min;
                xMax_ = axes.x.max;
            }
            const std::array before{yMin_, yMax_, yyMin_, yyMax_};
            if (overlay_) {
                AutoScaleRange yScan = AutoScaleRange::forLiveRun();
                AutoScaleRange yyScan = AutoScaleRange::forLiveRun();
                if (axes.y) {
                    yScan.add(axes.y->min);
                    yScan.add(axes.y->max);
                }
                if (axes.yy) {
                    yyScan.add(axes.yy->min);
                    yyScan.add(axes.yy->max);
                }
                buildOverlay(model, yScan, yyScan);
                axes.y = yScan.range();
                axes.yy = yyScan.range();
            } else if (standard_ != nullptr) {
                AutoScaleRange yScan = AutoScaleRange::forLiveRun();
                if (axes.y) {
                    yScan.add(axes.y->min);
                    yScan.add(axes.y->max);
                }
                scanStandard(yScan);
                axes.y = yScan.range();
            }
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
            context.runStartOffset = window.inMm ? runStartOffset() : 0.0;
            context.overlayOrStandardShown = overlay_.has_value() || standard_ != nullptr;
            model.setContext(context);
            model.setOverlayMode(overlay_.has_value());
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
        const auto shown = logScale_ ? LogDecadeRange(yScan->min, yScan->max) : openFlatRange(*yScan);
        yMin_ = shown.min;
        yMax_ = shown.max;
        yAutoScaled_ = true;
    }
    if (yyAutoScale_ && yyScan) {
        const auto shown = logScale_ ? LogDecadeRange(yyScan->min, yyScan->max) : openFlatRange(*yyScan);
        yyMin_ = shown.min;
        yyMax_ = shown.max;
    }
    model.setYRanges(yMin_, yMax_, yyMin_, yyMax_, logScale_, false);
    model.setXRange(xMin_, xMax_);
    model.setShowGrid(showGrid_);
    if (overlay_ && logScale_) {
        // Log values are mapped as they are set: the overlay again, on these ranges.
        AutoScaleRange y = AutoScaleRange::forLoadedFile(), yy = y;
        buildOverlay(model, y, yy);
    }
}

std::array<int, kChannelCount> GraphView::slotMap() const {
    if (!overlay_) {
        return {0, 1, 2, 3, 4, 5, 6};
    }
    return {-1, -1, 0, -1, -1, 1, 2};
}

int GraphView::setOfSlot(int slot) const {
    return compare_ ? slot % 4 : overlay_ && slot >= kOverlaySlotBase && slot < kOverlaySlotBase + 3 ? 1 : 0;
}

double GraphView::xShiftOf(int set) const { return xShiftOf(set, xAxisType_); }

double GraphView::xShiftOf(int set, XAxisType axis) const {
    const double samples = offsets_.xOffset(set);
    if (samples == 0.0 || axis == XAxisType::SampleNumber) {
        return samples;
    }
    const RunDataFile* file = setFile(set);
    const double perMm = file != nullptr ? alignTraceOf(*file).samplesPerMm() : 0.0;
    return perMm > 0.0 ? samples / perMm : 0.0;
}

double GraphView::runStartOffset() const {
    if (!file_) {
        return compare_ ? 0.0 : liveStartOffset_;
    }
    const RunFileHeader& header = file_->header();
    // Saving and rescuing move the marks back and name the file anew; a run
    // file still named as TEMP names it has its marks where they were seen.
    const bool asRecorded = std::string_view(header.fileTitle).starts_with("temp_");
    return file_->isEm1() && header.em1 && asRecorded ? std::max(0.0, header.em1->deadVolumeDistance) : 0.0;
}

void GraphView::configureMarks(GraphModel& model, bool live) {
    // A DE-1 run's marks sit in the ratio slot (slot 2 beside an overlay),
    // drawn as ticks with their fraction labels.
    if (!de1Mode()) {
        return;
    }
    const int slot = overlay_ ? 2 : kSlotRatio;
    if (live ? eventMarksShown_ || shown_[kChannelRatio] : true) {
        setMarks(model, slot);
    }
}

void GraphView::setMarks(GraphModel& model, int slot) const {
    // The offset is in mm: on a sample axis the marks stay on their samples.
    const double offset = xAxisType_ == XAxisType::Millimetres ? runStartOffset() : 0.0;
    model.setMarkTrace(slot, true, kMarkTickHeight, -offset, false, offset);
}

void GraphView::buildLoaded(GraphModel& model) {
    const RunDataFile& file = *file_;
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    // A loaded run is drawn only on a refresh: start from clean slots, so no
    // mark configuration of an earlier file stays behind.
    model.clearAllTraces();
    RunLayout layout;
    layout.shown = shown_;
    layout.inMm = inMm;
    layout.eventMarks = eventMarksShown_;
    layout.xShift = xShiftOf(0);
    layout.xGain = offsets_.placement(0).xGain;
    layout.yGain = offsets_.placement(0).yGain;
    layout.yOffset = offsets_.yOffset(0);
    if (overlay_) {
        for (const int c : {kChannelSampleA, kChannelSourceA, kChannelSampleB, kChannelSourceB}) {
            layout.shown[static_cast<std::size_t>(c)] = false;
        }
    }
    const ChannelArrays arrays = runChannels(file, layout);
    const auto slots = slotMap();

    AutoScaleRange yScan = AutoScaleRange::forLoadedFile();
    AutoScaleRange yyScan = AutoScaleRange::forLoadedFile();
    for (int c = 0; c < kChannelCount; ++c) {
        // A DE-1 run's ratio slot holds its marks: levels, not data.
        if (arrays.marks && c == kChannelRatio) {
            continue;
        }
        AutoScaleRange& scan = c == kChannelRatio ? yyScan : yScan;
        const auto& cx = arrays.x[static_cast<std::size_t>(c)];
        const auto& cy = arrays.y[static_cast<std::size_t>(c)];
        for (std::size_t i = 0; i < cx.size(); ++i) {
            if (inRange(cx[i], xMin_, xMax_)) {
                scan.add(cy[i]);
            }
        }
    }
    if (overlay_) {
        buildOverlay(model, yScan, yyScan);
    }
    scanStandard(yScan);
    if (file.isEm1() && !yAutoScale_) {
        yMin_ = 0.0;
        yMax_ = Em1RunWriter::aufsValue(aufsIndex_);
    }
    applyAxes(model, yScan.range(), yyScan.range());
    GraphContext context;
    context.eventMarksShown = eventMarksShown_;
    context.xAxisInMm = inMm;
    context.runStartOffset = inMm ? runStartOffset() : 0.0;
    context.overlayOrStandardShown = overlay_.has_value() || standard_ != nullptr;
    model.setContext(context);
    model.setOverlayMode(overlay_.has_value());
    for (int c = 0; c < kChannelCount; ++c) {
        const auto& cx = arrays.x[static_cast<std::size_t>(c)];
        const int slot = file.isExport() ? c : slots[static_cast<std::size_t>(c)];
        if (cx.empty() || slot < 0) {
            continue;
        }
        if (arrays.marks && c == kChannelRatio) {
            setMarks(model, slot);
        }
        model.setTraceData(cx.data(), arrays.y[static_cast<std::size_t>(c)].data(), static_cast<int>(cx.size()),
                           slot, 1.0);
    }
}

void GraphView::buildOverlay(GraphModel& model, AutoScaleRange& yScan, AutoScaleRange& yyScan) {
    RunLayout layout;
    layout.shown = {false, false, shown_[kChannelAbsA], false, false, shown_[kChannelAbsB], shown_[kChannelRatio]};
    layout.inMm = xAxisType_ == XAxisType::Millimetres;
    layout.eventMarks = eventMarksShown_;
    layout.xShift = xShiftOf(1);
    layout.xGain = offsets_.placement(1).xGain;
    layout.yGain = offsets_.placement(1).yGain;
    layout.yOffset = offsets_.yOffset(1);
    const ChannelArrays arrays = runChannels(*overlay_, layout);
    constexpr std::array<int, 3> kChannels{kChannelAbsA, kChannelAbsB, kChannelRatio};
    for (int k = 0; k < 3; ++k) {
        const int c = kChannels[static_cast<std::size_t>(k)];
        const int slot = kOverlaySlotBase + k;
        const auto& cx = arrays.x[static_cast<std::size_t>(c)];
        const auto& cy = arrays.y[static_cast<std::size_t>(c)];
        model.clearTrace(slot);
        if (cx.empty()) {
            continue;
        }
        const bool marks = arrays.marks && c == kChannelRatio;
        if (!marks) {
            AutoScaleRange& scan = c == kChannelRatio ? yyScan : yScan;
            for (std::size_t i = 0; i < cx.size(); ++i) {
                if (inRange(cx[i], xMin_, xMax_)) {
                    scan.add(cy[i]);
                }
            }
        } else {
            model.setMarkTrace(slot, true, kMarkTickHeight, 0.0, false, 0.0);
        }
        model.setTraceStyle(slot, true, false);
        model.setTraceData(cx.data(), cy.data(), static_cast<int>(cx.size()), slot, 1.0);
    }
}

void GraphView::scanStandard(AutoScaleRange& yScan) const {
    if (standard_ == nullptr) {
        return;
    }
    RunLayout layout;
    layout.shown[kChannelAbsA] = true;
    layout.inMm = xAxisType_ == XAxisType::Millimetres;
    layout.eventMarks = false;
    const ChannelArrays arrays = runChannels(*standard_, layout);
    const auto& cx = arrays.x[kChannelAbsA];
    const auto& cy = arrays.y[kChannelAbsA];
    for (std::size_t i = 0; i < cx.size(); ++i) {
        if (inRange(cx[i], xMin_, xMax_)) {
            yScan.add(cy[i]);
        }
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
    if (file_ || compare_) {
        fitXToShown();
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
    if (current && (file_ || compare_ || windowCentre_)) {
        // Around the main cursor; without one, a loaded run around the
        // middle of what is shown.
        const double centre = windowCentre_ ? *windowCentre_ : (xMin_ + xMax_) / 2.0;
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

void GraphView::fitXToShown() {
    if (compare_) {
        const AxisRange x = compareXRange(false);
        if (x.max > x.min) {
            xMin_ = x.min;
            xMax_ = x.max;
        }
        return;
    }
    const XExtent extent = fileExtent(*file_, xAxisType_ == XAxisType::Millimetres);
    xMin_ = extent.first;
    xMax_ = extent.last;
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

bool GraphView::de1Mode() const {
    return de1Source_ || (file_ && file_->isEm1()) || (compare_ && compare_->de1());
}

// --- A loaded run ---

void GraphView::showFile(RunDataFile file, std::filesystem::path path) {
    file_ = std::move(file);
    shownPath_ = std::move(path);
    // Another run file ends the overlay and any zoom of the one before.
    overlay_.reset();
    overlayPath_.clear();
    offsets_.clear();
    savedView_.reset();
    yAutoScaled_ = false;
    fitXToShown();
}

void GraphView::closeFile(double windowSamples) {
    file_.reset();
    shownPath_.clear();
    savedView_.reset();
    yAutoScaled_ = false;
    windowSamples_ = windowSamples == 0.0 ? kDefaultSampleWindow : windowSamples;
    xMin_ = 0.0;
    xMax_ = xAxisType_ == XAxisType::Millimetres ? windowMm_ : windowSamples_;
    // A busy graph keeps the file's slot settings until the next refresh.
    (void)graph_.edit([](GraphModel& model) { model.clearAllTraces(); });
    refresh();
}

// --- The overlay ---

void GraphView::setOverlay(RunDataFile file, std::filesystem::path path) {
    overlay_ = std::move(file);
    overlayPath_ = std::move(path);
    offsets_.clear();
    if (overlay_->isEm1()) {
        eventMarksShown_ = true;
    }
    // The slots change owners: start from clean ones.
    (void)graph_.edit([](GraphModel& model) { model.clearAllTraces(); });
    live_.invalidate();
}

void GraphView::removeOverlay() {
    overlay_.reset();
    overlayPath_.clear();
    offsets_.clear();
    // The mark configuration goes back from slot 2 to slot 6 with the rebuild.
    (void)graph_.edit([](GraphModel& model) {
        model.clearAllTraces();
        model.setOverlayMode(false);
    });
    live_.invalidate();
}

std::vector<AlignTrace> GraphView::alignTraces() const {
    std::vector<AlignTrace> traces = compareAlignTraces();
    if (compare_) {
        return traces;
    }
    if (file_) {
        traces.push_back(alignTraceOf(*file_));
    } else {
        AlignTrace live;
        feed_.read([&](const LiveSamples& ring, std::uint64_t) {
            for (int i = 0; i < ring.stored(); ++i) {
                const auto& point = ring.at(i);
                if (i == 0) {
                    live.firstNumber = static_cast<double>(point.number);
                }
                live.position.push_back(point.record.positionA);
                live.value.push_back(point.record.absorbanceA);
            }
        });
        traces.push_back(std::move(live));
    }
    if (overlay_) {
        traces.push_back(alignTraceOf(*overlay_));
    }
    return traces;
}

std::optional<SampleRecord> GraphView::currentSampleAt(double x) const {
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    if (file_) {
        return fileSampleAt(*file_, x, inMm, xShiftOf(0));
    }
    std::optional<SampleRecord> found;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) { found = liveSampleAt(ring, x, inMm); });
    return found;
}

std::optional<double> GraphView::xOnOtherAxis(double x) const {
    if (compare_) {
        return std::nullopt;
    }
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    const XAxisType other = inMm ? XAxisType::SampleNumber : XAxisType::Millimetres;
    if (file_) {
        const auto i = fileIndexAt(*file_, x - xShiftOf(0), inMm);
        if (!i) {
            return std::nullopt;
        }
        return (inMm ? static_cast<double>(*i) : filePositionOf(*file_, *i)) + xShiftOf(0, other);
    }
    std::optional<double> found;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        if (const auto k = liveIndexAt(ring, x, inMm)) {
            const auto& entry = ring.at(*k);
            found = inMm ? static_cast<double>(entry.number) : entry.record.positionA;
        }
    });
    return found;
}

std::optional<SampleRecord> GraphView::overlaySampleAt(double x) const {
    if (!overlay_) {
        return std::nullopt;
    }
    return fileSampleAt(*overlay_, x, xAxisType_ == XAxisType::Millimetres, xShiftOf(1));
}

std::optional<AxisRange> GraphView::sampleNumberSpan() const {
    if (compare_) {
        return compareSampleSpan();
    }
    if (file_) {
        const std::size_t n = file_->sampleCount();
        return n == 0 ? std::nullopt : std::optional(AxisRange{0.0, static_cast<double>(n - 1)});
    }
    std::optional<AxisRange> span;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        if (ring.stored() > 0) {
            span = AxisRange{static_cast<double>(ring.at(0).number), static_cast<double>(ring.newest().number)};
        }
    });
    return span;
}

std::optional<double> GraphView::nextPosition(double x, bool right) const {
    std::optional<double> best;
    const auto consider = [&](double p) {
        if (!std::isfinite(p) || (right ? !(p > x) : !(p < x))) {
            return;
        }
        if (!best || (right ? p < *best : p > *best)) {
            best = p;
        }
    };
    if (file_ || compare_) {
        for (const double p : compare_ ? compareReferencePositions() : alignTraceOf(*file_).position) {
            consider(p);
        }
        return best;
    }
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        for (int i = 0; i < ring.stored(); ++i) {
            consider(ring.at(i).record.positionA);
        }
    });
    return best;
}

void GraphView::showXRange(AxisRange x) {
    if (!(x.max > x.min)) {
        return;
    }
    xMin_ = x.min;
    xMax_ = x.max;
    refresh();
}

// --- Zoom and options ---

void GraphView::resetFullRange() {
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    std::optional<AxisRange> range;
    if (compare_) {
        range = compareXRange(true);
    } else if (file_) {
        if (file_->sampleCount() >= 2) {
            const XExtent e = fileExtent(*file_, inMm);
            range = AxisRange{e.first, e.last};
        }
    } else {
        feed_.read([&](const LiveSamples& ring, std::uint64_t) {
            if (ring.stored() < 2) {
                return;
            }
            if (!inMm) {
                range = AxisRange{static_cast<double>(ring.at(0).number), static_cast<double>(ring.newest().number)};
            } else if (recording_) {
                range = AxisRange{0.0, ring.newest().record.positionA};
            } else {
                range = AxisRange{ring.at(0).record.positionA, ring.newest().record.positionA};
            }
        });
    }
    if (!range || !(range->max > range->min)) {
        return;
    }
    savedView_.reset();
    xMin_ = range->min;
    xMax_ = range->max;
    (inMm ? windowMm_ : windowSamples_) = xMax_ - xMin_;
    yAutoScale_ = true;
    yyAutoScale_ = true;
    live_.invalidate();
    refresh();
}

void GraphView::applyOptions(const Options& options) {
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
    } else if (file_ || compare_) {
        fitXToShown();
    }
    if (!yAutoScale_) {
        const AxisRange y = logScale_ ? LogDecadeRange(options.y.min, options.y.max) : options.y;
        yMin_ = y.min;
        yMax_ = y.max;
    }
    if (!yyAutoScale_) {
        yyMin_ = options.yy.min;
        yyMax_ = options.yy.max;
    }
    live_.invalidate();
    refresh();
}

}  // namespace corvane
