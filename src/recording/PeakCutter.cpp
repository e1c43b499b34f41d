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

void PeakCutter::push(double x, double y, std::vector<Cut>& send) {
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
        onPoint(positionOf(point.index), point.value - baseline_, spacing > 0.0 ? point.slope / spacing : 0.0);
    }
    points_.clear();
    std::size_t due = 0;
    while (due < pending_.size() && pending_[due].sendAt <= x) {
        send.push_back(pending_[due]);
        ++due;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(due));
}

void PeakCutter::onPoint(double x, double value, double slope) {
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
                cut(nextBetween_, 0);
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
        cut(peakStart_, peaks_);
    }
    const bool endByLevel = endLevel_ > 0.0 && value < endLevel_;
    const bool endBySlope = endSlope_ > 0.0 && fallSeen_ && slope > -endSlope_;
    if (endByLevel || endBySlope) {
        const double end = endByLevel ? crossing(endLevel_) : x;
        if (state_ == State::InPeak) {
            cut(end, 0);
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
            cut(at, peaks_);
        }
    }
}

void PeakCutter::cut(double at, int peak) {
    // Found too late to be sent `delay` after its place: it falls where the
    // piston is now, less the delay.
    const double actual = std::isinf(delay_) ? at : std::max(at, newestX_ - delay_);
    if (!split(actual, peak, false)) {
        return;
    }
    pending_.push_back({actual, std::isinf(delay_) ? actual : actual + delay_});
    ++decided_;
}

bool PeakCutter::split(double at, int peak, bool manual) {
    // The fraction `at` falls in: the open one, unless a change by hand
    // already cut past it.
    std::size_t i = fractions_.size() - 1;
    while (i > 0 && fractions_[i].from > at) {
        --i;
    }
    auto& part = fractions_[i];
    if (!manual && !(at > part.from)) {
        // No room for a fraction: this one takes the peak.
        if (peak > 0 && part.peak == 0) {
            part.peak = peak;
        }
        return false;
    }
    const CollectedFraction next{0, at, std::max(at, part.to), peak, manual};
    part.to = at;
    fractions_.insert(fractions_.begin() + static_cast<std::ptrdiff_t>(i) + 1, next);
    renumber();
    return true;
}

void PeakCutter::renumber() {
    for (std::size_t i = 0; i < fractions_.size(); ++i) {
        fractions_[i].number = static_cast<int>(i) + 1;
    }
}

void PeakCutter::withdraw(const Cut& c) {
    for (std::size_t i = 1; i < fractions_.size(); ++i) {
        auto& f = fractions_[i];
        if (f.manual || f.from != c.at) {
            continue;
        }
        auto& before = fractions_[i - 1];
        before.to = f.to;
        if (before.peak == 0) {
            before.peak = f.peak;
        }
        fractions_.erase(fractions_.begin() + static_cast<std::ptrdiff_t>(i));
        renumber();
        return;
    }
}

void PeakCutter::manualSplit(double pistonX) {
    if (fractions_.empty() || std::isinf(delay_)) {
        return;
    }
    // Liquid from before the first sample (the tubing's own) belongs to the
    // first fraction's tube: a change then leaves an empty part at its start.
    const double at = std::max(pistonX - delay_, fractions_.front().from);
    // The part after the change holds what the split fraction held.
    std::size_t i = fractions_.size() - 1;
    while (i > 0 && fractions_[i].from > at) {
        --i;
    }
    split(at, fractions_[i].peak, true);
}

void PeakCutter::finish() {
    // Changes whose pulse was not due by the last sample were never sent.
    for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
        withdraw(*it);
    }
    pending_.clear();
    if (!fractions_.empty()) {
        fractions_.back().to = std::max(fractions_.back().from, newestX_);
    }
}

std::vector<CollectedFraction> previewFractions(const std::vector<double>& x, const std::vector<double>& y,
                                                const PeakCollection& settings, double delayMm) {
    PeakCutter cutter(settings, delayMm);
    std::vector<PeakCutter::Cut> sent;
    const std::size_t n = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < n; ++i) {
        cutter.push(x[i], y[i], sent);
    }
    cutter.finish();
    return cutter.fractions();
}

}  // namespace corvane
