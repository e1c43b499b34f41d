#include "recording/PeakCutter.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

constexpr std::size_t kRing = 2 * PeakCutter::kWindow;

}  // namespace

PeakCutter::PeakCutter(const PeakCollection& settings, double delayMm)
    : settings_(settings),
      delay_(std::isnan(delayMm) || delayMm < 0.0 ? 0.0 : delayMm),
      endLevel_(settings.endLevelUsed()),
      endSlope_(settings.endSlopeUsed()),
      smoother_(Smoothing{SmoothingKind::SavitzkyGolay, kWindow, kOrder}),
      positions_(kRing, 0.0) {}

double PeakCutter::positionOf(std::size_t index) const { return positions_[index % kRing]; }

// Mm per sample around a point: its window's span over its samples.
double PeakCutter::spacingAround(std::size_t index) const {
    const std::size_t half = kWindow / 2;
    const std::size_t first = index > half ? index - half : 0;
    const std::size_t last = std::min(index + half, pushed_ - 1);
    if (last <= first) {
        return 0.0;
    }
    return (positionOf(last) - positionOf(first)) / static_cast<double>(last - first);
}

void PeakCutter::push(double x, double y, std::vector<Cut>& cuts) {
    if (!std::isfinite(x) || !std::isfinite(y) || (pushed_ > 0 && !(x > newestX_))) {
        return;
    }
    if (pushed_ == 0) {
        fractions_.push_back({1, x, x, 0});
        nextBetween_ = x + settings_.betweenEveryMm;
    }
    positions_[pushed_ % kRing] = x;
    newestX_ = x;
    ++pushed_;
    fractions_.back().to = x;
    if (firstWindow_.size() < static_cast<std::size_t>(kWindow)) {
        firstWindow_.push_back(y);
        double sum = 0.0;
        for (const double v : firstWindow_) {
            sum += v;
        }
        baseline_ = sum / static_cast<double>(firstWindow_.size());
    }
    smoother_.push(y, points_);
    for (const auto& point : points_) {
        const double spacing = spacingAround(point.index);
        onPoint(positionOf(point.index), point.value - baseline_, spacing > 0.0 ? point.slope / spacing : 0.0,
                cuts);
    }
    points_.clear();
}

void PeakCutter::onPoint(double x, double value, double slope, std::vector<Cut>& cuts) {
    const auto& s = settings_;
    if (!havePoint_) {
        havePoint_ = true;
        lastX_ = x;
        lastValue_ = value;
    }
    const double prevX = lastX_;
    const double prevValue = lastValue_;
    lastX_ = x;
    lastValue_ = value;
    // Where the smoothed signal crossed `level` between the last point and this one.
    const auto crossing = [&](double level) {
        if (value == prevValue) {
            return x;
        }
        const double t = std::clamp((level - prevValue) / (value - prevValue), 0.0, 1.0);
        return prevX + t * (x - prevX);
    };

    if (state_ == State::Between) {
        const bool byLevel = s.startLevel > 0.0 && value >= s.startLevel;
        const bool bySlope = s.startSlope > 0.0 && slope >= s.startSlope;
        if (!byLevel && !bySlope) {
            startArmed_ = true;
        }
        if ((byLevel || bySlope) && startArmed_) {
            peakStart_ = bySlope ? x : crossing(s.startLevel);
            if (byLevel && bySlope) {
                peakStart_ = std::min(x, crossing(s.startLevel));
            }
            state_ = State::Rising;
            top_ = value;
            topX_ = x;
            topSeen_ = false;
            fallSeen_ = false;
            inPeakCuts_ = 0;
        } else if (s.betweenEveryMm > 0.0) {
            while (x >= nextBetween_) {
                cut(nextBetween_, 0, cuts);
                nextBetween_ += s.betweenEveryMm;
            }
            return;
        } else {
            return;
        }
    }

    if (value > top_) {
        top_ = value;
        topX_ = x;
    }
    if (!topSeen_ && slope <= 0.0) {
        topSeen_ = true;
    }
    if (endSlope_ > 0.0 && slope <= -endSlope_) {
        fallSeen_ = true;
    }
    if (state_ == State::Rising && x - peakStart_ >= s.minWidthMm) {
        state_ = State::InPeak;
        ++peaks_;
        cut(peakStart_, peaks_, cuts);
    }
    const bool endByLevel = endLevel_ > 0.0 && value < endLevel_;
    const bool endBySlope = endSlope_ > 0.0 && fallSeen_ && slope > -endSlope_;
    if (endByLevel || endBySlope) {
        const double end = endByLevel ? crossing(endLevel_) : x;
        if (state_ == State::InPeak) {
            cut(end, 0, cuts);
            nextBetween_ = end + s.betweenEveryMm;
        }
        // A rise that ended within the minimum width was no peak.
        state_ = State::Between;
        startArmed_ = false;
        return;
    }
    if (state_ == State::InPeak && s.perPeak > 1 && topSeen_) {
        const double width = 2.0 * (topX_ - peakStart_);
        while (inPeakCuts_ < s.perPeak - 1) {
            const double at = peakStart_ + width * (inPeakCuts_ + 1) / s.perPeak;
            if (x < at) {
                break;
            }
            ++inPeakCuts_;
            cut(at, peaks_, cuts);
        }
    }
}

void PeakCutter::cut(double at, int peak, std::vector<Cut>& cuts) {
    // Found too late to be sent `delay` after its place: it falls where the
    // piston is now, less the delay.
    const double actual = std::isinf(delay_) ? at : std::max(at, newestX_ - delay_);
    auto& open = fractions_.back();
    if (!(actual > open.from)) {
        // No room for a fraction: the open one takes the peak.
        if (peak > 0 && open.peak == 0) {
            open.peak = peak;
        }
        return;
    }
    open.to = actual;
    fractions_.push_back({open.number + 1, actual, newestX_, peak});
    const Cut c{actual, std::isinf(delay_) ? actual : actual + delay_};
    sent_.push_back(c);
    cuts.push_back(c);
}

void PeakCutter::finish(double reachedX) {
    // Cuts whose pulse was not due when the run ended were never sent.
    while (!sent_.empty() && sent_.back().sendAt > reachedX && fractions_.size() > 1) {
        const int peak = fractions_.back().peak;
        fractions_.pop_back();
        sent_.pop_back();
        if (fractions_.back().peak == 0) {
            fractions_.back().peak = peak;
        }
    }
    if (!fractions_.empty()) {
        fractions_.back().to = newestX_;
    }
}

std::vector<CollectedFraction> previewFractions(const std::vector<double>& x, const std::vector<double>& y,
                                                const PeakCollection& settings, double delayMm) {
    PeakCutter cutter(settings, delayMm);
    std::vector<PeakCutter::Cut> cuts;
    const std::size_t n = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < n; ++i) {
        cutter.push(x[i], y[i], cuts);
    }
    cutter.finish(cutter.lastX());
    return cutter.fractions();
}

}  // namespace corvane
