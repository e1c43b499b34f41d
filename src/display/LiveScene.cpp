#include "display/LiveScene.h"

#include <cmath>

#include "display/FractionNumbers.h"
#include "display/LiveFeed.h"
#include "display/RunTraces.h"
#include "runs/Em1RunWriter.h"
#include "graph/GraphModel.h"

namespace corvane {

LiveWindow LiveScene::liveWindow(const AxisState& axes) const {
    LiveWindow window;
    window.shown = axes.shown();
    const XUnits units = unitsOf(0, axes.xAxisType());
    window.inMm = units.byPosition;
    window.windowSamples = axes.windowSamples();
    window.windowMm = axes.windowMm() * units.scale;
    window.xAutoScale = axes.xAutoScale();
    window.xAutoWidth = axes.xAutoWidth();
    window.leftMm = window.inMm && !axes.xAutoScale() ? axes.xRange().min : 0.0;
    // The live run is set 0, as a file shown is: the printed page states
    // its gains and offsets.
    window.xGain = offsets_.placement(0).xGain * units.scale;
    window.xShift = xShiftOf(0, axes.xAxisType());
    window.yGain = offsets_.placement(0).yGain;
    window.yOffset = offsets_.yOffset(0);
    window.slot = items_.slotMap();
    window.de1 = run_.de1Source;
    // In volts the signal is shown over the full scale it is read at now.
    window.voltsFullScale = run_.de1Source && axes.volts() ? Em1RunWriter::aufsValue(axes.aufsIndex()) : 0.0;
    window.odStart = run_.de1Source && window.inMm && run_.odSensingStart;
    if (run_.de1Source && axes.eventMarksShown()) {
        // The marks are plotted while event marks are shown, switch or not.
        window.shown[kChannelRatio] = true;
    }
    return window;
}

bool LiveScene::putFractionNumbers(GraphModel& model, const LiveSamples& ring, const AxisState& axes) {
    const auto fractions = run_.collectedFractions ? run_.collectedFractions() : std::vector<CollectedFraction>{};
    const XUnits units = unitsOf(0, axes.xAxisType());
    const double gain = offsets_.placement(0).xGain;
    const double shift = xShiftOf(0, axes.xAxisType());
    int from = 0;
    const auto onAxis = [&](double mm) {
        if (units.byPosition) {
            return mm * units.scale * gain + shift;
        }
        // By sample: the first sample held at or past the position.
        for (; from < ring.stored(); ++from) {
            if (ring.at(from).record.positionA >= mm - 1e-9) {
                return static_cast<double>(ring.at(from).number) * units.scale * gain + shift;
            }
        }
        return std::nan("");
    };
    // While the run is cut its last fraction is open; once it ended the table is whole.
    NumberedFractions numbers = numberedFractions(fractions, !run_.recording, onAxis);
    const auto shown = static_cast<std::size_t>(numbers.fractionCount());
    model.setNumberedFractions(std::move(numbers));
    const bool changed = shown != numbersShown_;
    numbersShown_ = shown;
    return changed;
}

void LiveScene::build(GraphModel& model, AxisState& axes) {
    traces_.invalidate();
    (void)sync(model, axes);
}

SceneRepaint LiveScene::sync(GraphModel& model, AxisState& axes) {
    bool restarted = false;
    feed_.read([&](const LiveSamples& ring, std::uint64_t generation) {
        restarted = generation != shownGeneration_;
        shownGeneration_ = generation;
        const LiveWindow window = liveWindow(axes);
        if (run_.de1Source && (axes.eventMarksShown() || axes.channelShown(kChannelRatio))) {
            // A DE-1 run's marks sit in the ratio slot (slot 2 beside an
            // overlay), drawn as ticks with their fraction labels.
            const double offset = markOffset(axes.xAxisType());
            model.setMarkTrace(window.slot[kChannelRatio], true, kMarkTickHeight, -offset, false, offset);
        }
        LiveAxes found = traces_.update(ring, generation, window, model);
        if (!axes.zoomActive()) {
            // A FOCUS zoom holds the window still; otherwise it scrolls.
            axes.setXRange(found.x);
        }
        const std::array before{axes.yRange().min, axes.yRange().max, axes.yyRange().min, axes.yyRange().max};
        AutoScaleRange yScan = AutoScaleRange::forLiveRun();
        AutoScaleRange yyScan = AutoScaleRange::forLiveRun();
        for (const auto& [range, scan] : {std::pair{found.y, &yScan}, std::pair{found.yy, &yyScan}}) {
            if (range) {
                scan->add(range->min);
                scan->add(range->max);
            }
        }
        items_.draw(model, axes, *this, yScan, yyScan);
        axes.autoScale(yScan.range(), yyScan.range());
        if (restarted) {
            // A new run widens from the saved range, not from what the
            // samples before it (a calibration's, a monitor's) needed.
            axes.endLiveWidening();
            widening_ = true;
        }
        // A saved range never hides a live run (a DE-1 run keeps its AUFS
        // range: the operator chose that scale for it).
        if (widening_ && found.y && !run_.de1Source) {
            widening_ = axes.widenForLive(*found.y);
        }
        putAxes(model, axes);
        const std::array after{axes.yRange().min, axes.yRange().max, axes.yyRange().min, axes.yyRange().max};
        if (axes.logScale() && before != after) {
            // The log mapping is done as points come in: on the new ranges
            // the points already there, and the overlay's, are mapped anew.
            traces_.invalidate();
            (void)traces_.update(ring, generation, window, model);
            if (items_.overlay() != nullptr) {
                AutoScaleRange y = AutoScaleRange::forLoadedFile(), yy = y;
                items_.overlay()->draw(model, axes, *this, y, yy);
            }
        }
        putContext(model, axes, true, run_.recording);
        // A new fraction's number needs the picture painted whole.
        restarted = putFractionNumbers(model, ring, axes) || restarted;
    });
    return restarted ? SceneRepaint::Whole : SceneRepaint::NewPoints;
}

XUnits LiveScene::unitsOf(int set, XAxisType axis) const {
    return set == 0 ? xUnitsFor(axis, run_.volumePerMm, run_.secondsPerSample) : Scene::unitsOf(set, axis);
}

std::optional<AxisRange> LiveScene::fullX(XAxisType axis) const {
    const XUnits units = unitsOf(0, axis);
    std::optional<AxisRange> range;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        if (ring.stored() < 2) {
            return;
        }
        if (!units.byPosition) {
            range = AxisRange{static_cast<double>(ring.at(0).number), static_cast<double>(ring.newest().number)};
        } else if (run_.recording) {
            range = AxisRange{0.0, ring.newest().record.positionA};
        } else {
            range = AxisRange{ring.at(0).record.positionA, ring.newest().record.positionA};
        }
    });
    return range ? std::optional(AxisRange{range->min * units.scale, range->max * units.scale}) : std::nullopt;
}

std::optional<AxisRange> LiveScene::sampleSpan(XAxisType axis) const {
    const double scale = unitsOf(0, axis).scale;
    std::optional<AxisRange> span;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        if (ring.stored() > 0) {
            span = AxisRange{static_cast<double>(ring.at(0).number) * scale,
                             static_cast<double>(ring.newest().number) * scale};
        }
    });
    return span;
}

std::optional<double> LiveScene::nextPosition(double x, bool right, XAxisType axis) const {
    const double scale = unitsOf(0, axis).scale;
    std::optional<double> best;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        for (int i = 0; i < ring.stored(); ++i) {
            const double p = ring.at(i).record.positionA * scale;
            if (!std::isfinite(p) || (right ? !(p > x) : !(p < x))) {
                continue;
            }
            if (!best || (right ? p < *best : p > *best)) {
                best = p;
            }
        }
    });
    return best;
}

std::optional<double> LiveScene::xOnAxis(double x, XAxisType from, XAxisType to) const {
    const XUnits other = unitsOf(0, to);
    std::optional<double> found;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        if (const auto k = liveIndexAt(ring, x, unitsOf(0, from))) {
            const auto& entry = ring.at(*k);
            found = (other.byPosition ? entry.record.positionA : static_cast<double>(entry.number)) * other.scale;
        }
    });
    return found;
}

std::optional<SampleRecord> LiveScene::currentSampleAt(double x, XAxisType axis) const {
    std::optional<SampleRecord> found;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        found = liveSampleAt(ring, x, unitsOf(0, axis));
    });
    return found;
}

std::optional<long long> LiveScene::currentSampleNumberAt(double x, XAxisType axis) const {
    std::optional<long long> number;
    feed_.read([&](const LiveSamples& ring, std::uint64_t) {
        if (const auto k = liveIndexAt(ring, x, unitsOf(0, axis))) {
            number = static_cast<long long>(ring.at(*k).number);
        }
    });
    return number;
}

AlignTrace LiveScene::currentAlignTrace() const {
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
    return live;
}

}  // namespace corvane
