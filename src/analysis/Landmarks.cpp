#include "analysis/Landmarks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "base/TextFormat.h"

namespace corvane {

namespace {

// How far one polysome spacing may differ from the one before: a peak much
// closer is a shoulder or noise and is passed over; a much longer gap ends the
// series (a polysome that did not resolve, or the end of the pattern). The
// first spacing is held to the 60S-80S spacing more loosely.
constexpr double kCloserSpacing = 0.55;
constexpr double kLongerSpacing = 1.6;
constexpr double kFirstCloser = 0.4;
constexpr double kFirstLonger = 2.5;

// The score of a try is the product of how well each part fits.
constexpr double kSubunitFit[] = {0.35, 0.75, 1.0};  // 0, 1 or 2 peaks between the top and 80S
constexpr double kExtraSubunits = 0.8;               // more than two there
constexpr double kPolysomeFit[] = {0.3, 0.6, 0.85, 1.0};  // 0, 1, 2, 3 or more polysomes
constexpr double kMonosomeNotTallest = 0.6;          // 80S lower than a subunit
constexpr double kPeaksBeforeTop = 0.85;
constexpr double kPassedOver = 0.9;
constexpr double kUnresolvedSubunit = 0.7;
constexpr double kMinSpacingFit = 0.3;
constexpr double kSpacingTolerance = 0.25;  // a spacing this much off the one before still fits fully
constexpr double kPoorFit = 0.5;
// A runner-up within this share of the best try makes the pattern ambiguous:
// the confidence falls, to half the score when the two tie.
constexpr double kCloseRunnerUp = 0.1;

// One try: peaks given by their place in the list down the gradient.
struct Try {
    std::size_t top = 0;
    std::size_t monosome = 0;
    std::vector<std::size_t> subunits;  // 40S then 60S, or 60S alone
    std::size_t extraSubunits = 0;
    std::vector<std::size_t> polysomes;
    std::vector<double> spacingFit;
    std::size_t passedOver = 0;
    bool gap = false;
    double score = 0.0;
};

class Pattern {
public:
    Pattern(std::span<const double> x, std::span<const double> level, const std::vector<Extremum>& peaks,
            const std::vector<IndexRange>& saturated, bool reversed)
        : x_(x), level_(level) {
        for (const auto& p : peaks) {
            ordered_.push_back(&p);
            clipped_.push_back(touchesAny(saturated, static_cast<double>(p.index), static_cast<double>(p.index)));
        }
        if (reversed) {
            std::reverse(ordered_.begin(), ordered_.end());
            std::reverse(clipped_.begin(), clipped_.end());
        }
    }

    [[nodiscard]] std::size_t size() const { return ordered_.size(); }
    [[nodiscard]] std::size_t index(std::size_t k) const { return ordered_[k]->index; }

    // The best try and the score of the runner-up.
    [[nodiscard]] std::optional<Try> best(double& runnerUp) const {
        std::optional<Try> winner;
        runnerUp = 0.0;
        for (std::size_t m = 1; m < size(); ++m) {
            Try t = attempt(m);
            if (!winner || t.score > winner->score) {
                runnerUp = winner ? std::max(runnerUp, winner->score) : runnerUp;
                winner = std::move(t);
            } else {
                runnerUp = std::max(runnerUp, t.score);
            }
        }
        return winner;
    }

private:
    [[nodiscard]] double height(std::size_t k) const {
        return clipped_[k] ? std::numeric_limits<double>::infinity() : level_[index(k)];
    }
    [[nodiscard]] double distance(std::size_t a, std::size_t b) const {
        return std::abs(x_[index(b)] - x_[index(a)]);
    }

    [[nodiscard]] Try attempt(std::size_t m) const {
        Try t;
        t.monosome = m;
        for (std::size_t j = 1; j < m; ++j) {
            if (height(j) > height(t.top)) {
                t.top = j;
            }
        }
        // The subunits: the two most prominent peaks between, in their order.
        std::vector<std::size_t> between;
        for (std::size_t j = t.top + 1; j < m; ++j) {
            between.push_back(j);
        }
        std::stable_sort(between.begin(), between.end(), [&](std::size_t a, std::size_t b) {
            return ordered_[a]->prominence > ordered_[b]->prominence;
        });
        t.extraSubunits = between.size() > 2 ? between.size() - 2 : 0;
        between.resize(std::min<std::size_t>(between.size(), 2));
        std::sort(between.begin(), between.end());
        t.subunits = between;

        walkSeries(t);

        const std::size_t nSub = t.subunits.size();
        double score = kSubunitFit[nSub] * (t.extraSubunits > 0 ? kExtraSubunits : 1.0);
        score *= kPolysomeFit[std::min<std::size_t>(t.polysomes.size(), 3)];
        for (const std::size_t s : t.subunits) {
            if (height(s) > height(m)) {
                score *= kMonosomeNotTallest;
                break;
            }
        }
        score *= t.top == 0 ? 1.0 : kPeaksBeforeTop;
        score *= t.passedOver > 0 ? kPassedOver : 1.0;
        t.score = score;
        return t;
    }

    void walkSeries(Try& t) const {
        std::optional<double> spacing;
        if (!t.subunits.empty()) {
            spacing = distance(t.subunits.back(), t.monosome);
        }
        bool first = true;
        std::size_t previous = t.monosome;
        for (std::size_t j = t.monosome + 1; j < size(); ++j) {
            const double d = distance(previous, j);
            double fit = 1.0;
            if (spacing && *spacing > 0.0) {
                const double ratio = d / *spacing;
                if (ratio < (first ? kFirstCloser : kCloserSpacing)) {
                    ++t.passedOver;
                    continue;
                }
                if (ratio > (first ? kFirstLonger : kLongerSpacing)) {
                    t.gap = true;
                    break;
                }
                const double off = std::max(0.0, std::abs(ratio - 1.0) - kSpacingTolerance);
                fit = first ? 1.0 : std::max(kMinSpacingFit, 1.0 - off / (kLongerSpacing - 1.0 - kSpacingTolerance));
            }
            t.polysomes.push_back(j);
            t.spacingFit.push_back(fit);
            spacing = d;
            previous = j;
            first = false;
        }
    }

    std::span<const double> x_;
    std::span<const double> level_;
    std::vector<const Extremum*> ordered_;
    std::vector<bool> clipped_;
};

Landmarks describe(const Pattern& pattern, const Try& t, double runnerUp, bool reversed) {
    Landmarks result;
    result.reversed = reversed;
    const double closeness = t.score > 0.0 ? (t.score - runnerUp) / (kCloseRunnerUp * t.score) : 0.0;
    const double margin = 0.5 + 0.5 * std::min(1.0, closeness);
    const double overall = t.score * margin;
    result.confidence = overall;
    const auto add = [&](const std::string& name, std::size_t k, double confidence) {
        result.found.push_back({name, pattern.index(k), confidence});
    };
    auto& warnings = result.warnings;
    add("top", t.top, overall * (t.top == 0 ? 1.0 : kPeaksBeforeTop));
    const double subunitConfidence =
        overall * (t.subunits.size() == 2 && t.extraSubunits == 0 ? 1.0 : kUnresolvedSubunit);
    if (t.subunits.size() == 2) {
        add("40S", t.subunits[0], subunitConfidence);
    }
    if (!t.subunits.empty()) {
        add("60S", t.subunits.back(), subunitConfidence);
    }
    add("80S", t.monosome, overall);
    for (std::size_t k = 0; k < t.polysomes.size(); ++k) {
        add(std::to_string(k + 2), t.polysomes[k], overall * t.spacingFit[k]);
    }

    if (reversed) {
        warnings.push_back("the profile runs from the bottom of the gradient to its top");
    }
    if (t.top > 0) {
        warnings.push_back(formatText("%zu peaks before the top peak were left out", t.top));
    }
    if (t.subunits.empty()) {
        warnings.push_back("no 40S or 60S peak between the top peak and 80S");
    } else if (t.subunits.size() == 1) {
        warnings.push_back("one peak between the top peak and 80S, taken as 60S: 40S not resolved");
    }
    if (t.extraSubunits > 0) {
        warnings.push_back(formatText("%zu more peaks between the top peak and 80S than 40S and 60S", t.extraSubunits));
    }
    if (t.polysomes.size() < 2) {
        warnings.push_back("fewer than two polysome peaks after 80S");
    }
    if (t.passedOver > 0) {
        warnings.push_back(formatText("%zu peaks too close to the polysome series were passed over", t.passedOver));
    }
    if (t.gap && !t.polysomes.empty()) {
        warnings.push_back(formatText("the polysome series stops at a gap after %zu", t.polysomes.size() + 1));
    }
    if (overall < kPoorFit) {
        warnings.push_back(formatText("the polysome pattern fits poorly (confidence %.2f)", overall));
    }
    return result;
}

}  // namespace

const Landmark* Landmarks::find(std::string_view name) const {
    for (const auto& l : found) {
        if (l.name == name) {
            return &l;
        }
    }
    return nullptr;
}

Landmarks findLandmarks(std::span<const double> x, std::span<const double> level,
                        const std::vector<Extremum>& peaks, const std::vector<IndexRange>& saturated) {
    if (peaks.size() < 2) {
        Landmarks none;
        none.warnings.push_back(peaks.empty() ? "no peaks: no polysome pattern"
                                              : "one peak only: no polysome pattern");
        return none;
    }
    const Pattern forward(x, level, peaks, saturated, false);
    const Pattern backward(x, level, peaks, saturated, true);
    double forwardRunnerUp = 0.0;
    double backwardRunnerUp = 0.0;
    const auto f = forward.best(forwardRunnerUp);
    const auto b = backward.best(backwardRunnerUp);
    Landmarks there = describe(forward, *f, forwardRunnerUp, false);
    Landmarks back = describe(backward, *b, backwardRunnerUp, true);
    return back.confidence > there.confidence ? back : there;
}

}  // namespace corvane
