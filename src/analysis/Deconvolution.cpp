#include "analysis/Deconvolution.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include <unsupported/Eigen/LevenbergMarquardt>

#include "analysis/Peaks.h"
#include "analysis/Smoothing.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

constexpr int kMaxEvaluations = 4000;
// A seed stands this share of the stretch's highest smoothed value above
// its surroundings, and above the baseline: the noise the smoothing leaves
// (more of it at the stretch's ends) makes no seed.
constexpr double kSeedProminence = 0.05;
constexpr double kTopLimit = 0.999;       // how near a stretch's ends a seed may start
// Free widths are tried only where every two neighbours stand this many
// widths apart: closer, the data cannot tell their widths apart.
constexpr double kResolvedSeparation = 2.5;

// One peak as the solver holds it: the square root of its height (a peak
// never goes negative, or two could cancel each other out in a fit of any
// size), its width (the absolute value is used) and, for a skewed peak, s
// (the skew is tanh(s), so it stays within -1 to 1 whatever the solver tries).
struct Peak {
    double top = 0.0;
    double root = 0.0;
    double width = 1.0;
    double s = 0.0;
};

// Where each peak's numbers sit in the solver's parameters: per peak its
// top, root, width unless shared, and s when skewed; a shared width last.
// The solver holds a top as u, the top being centre + reach x tanh(u): a
// peak stays within the stretch instead of wandering off where it fits
// nothing and is worth nothing.
struct Layout {
    PeakShape shape;
    bool shared;
    int peaks;
    double centre = 0.0;
    double reach = 1.0;

    [[nodiscard]] double topOf(double u) const { return centre + reach * std::tanh(u); }
    [[nodiscard]] double uOf(double top) const {
        return std::atanh(std::clamp((top - centre) / reach, -kTopLimit, kTopLimit));
    }

    [[nodiscard]] int perPeak() const { return 2 + (shared ? 0 : 1) + (shape == PeakShape::Skewed ? 1 : 0); }
    [[nodiscard]] int size() const { return peaks * perPeak() + (shared ? 1 : 0); }
    [[nodiscard]] Eigen::Index top(int k) const { return k * perPeak(); }
    [[nodiscard]] Eigen::Index root(int k) const { return top(k) + 1; }
    [[nodiscard]] Eigen::Index width(int k) const { return shared ? size() - 1 : top(k) + 2; }
    [[nodiscard]] Eigen::Index skew(int k) const { return top(k) + perPeak() - 1; }

    [[nodiscard]] Eigen::VectorXd pack(const std::vector<Peak>& list) const {
        Eigen::VectorXd p(size());
        double widths = 0.0;
        for (int k = 0; k < peaks; ++k) {
            const Peak& one = list[static_cast<std::size_t>(k)];
            p(top(k)) = uOf(one.top);
            p(root(k)) = one.root;
            if (shape == PeakShape::Skewed) {
                p(skew(k)) = one.s;
            }
            if (!shared) {
                p(width(k)) = one.width;
            }
            widths += std::abs(one.width);
        }
        if (shared) {
            p(size() - 1) = widths / peaks;
        }
        return p;
    }
    [[nodiscard]] std::vector<Peak> unpack(const Eigen::VectorXd& p) const {
        std::vector<Peak> list;
        for (int k = 0; k < peaks; ++k) {
            list.push_back({topOf(p(top(k))), p(root(k)), p(width(k)), shape == PeakShape::Skewed ? p(skew(k)) : 0.0});
        }
        return list;
    }
};

// The sum of peaks at the stretch's samples minus the values, and its
// derivatives by each parameter.
class PeakSum : public Eigen::DenseFunctor<double> {
public:
    PeakSum(const std::vector<double>& x, const std::vector<double>& y, Layout layout)
        : DenseFunctor<double>(layout.size(), static_cast<int>(x.size())), x_(x), y_(y), layout_(layout) {}

    int operator()(const InputType& p, ValueType& residual) const {
        for (std::size_t i = 0; i < x_.size(); ++i) {
            double sum = 0.0;
            for (int k = 0; k < layout_.peaks; ++k) {
                sum += term(p, k, x_[i]).value;
            }
            residual(static_cast<Eigen::Index>(i)) = sum - y_[i];
        }
        return 0;
    }

    int df(const InputType& p, JacobianType& jacobian) const {
        jacobian.setZero();
        for (std::size_t i = 0; i < x_.size(); ++i) {
            const auto row = static_cast<Eigen::Index>(i);
            for (int k = 0; k < layout_.peaks; ++k) {
                const Term t = term(p, k, x_[i]);
                jacobian(row, layout_.top(k)) = t.byTop;
                jacobian(row, layout_.root(k)) = t.byRoot;
                jacobian(row, layout_.width(k)) += t.byWidth;
                if (layout_.shape == PeakShape::Skewed) {
                    jacobian(row, layout_.skew(k)) = t.bySkew;
                }
            }
        }
        return 0;
    }

private:
    struct Term {
        double value = 0.0;
        double byTop = 0.0;
        double byRoot = 0.0;
        double byWidth = 0.0;
        double bySkew = 0.0;
    };

    [[nodiscard]] Term term(const InputType& p, int k, double x) const {
        const double u = std::tanh(p(layout_.top(k)));
        const double top = layout_.centre + layout_.reach * u;
        const double root = p(layout_.root(k));
        const double w = p(layout_.width(k));
        const double width = std::abs(w);
        const double sign = w < 0.0 ? -1.0 : 1.0;
        const double skew = layout_.shape == PeakShape::Skewed ? std::tanh(p(layout_.skew(k))) : 0.0;
        // The side's own width: wider on the right for a positive skew.
        const double side = x < top ? -1.0 : 1.0;
        const double sigma = width * (1.0 + side * skew);
        Term t;
        if (!(sigma > 0.0)) {
            return t;
        }
        const double z = (x - top) / sigma;
        const double shape = std::exp(-0.5 * z * z);
        const double height = root * root;
        t.value = height * shape;
        t.byRoot = 2.0 * root * shape;
        t.byTop = t.value * z / sigma * layout_.reach * (1.0 - u * u);
        const double bySigma = t.value * z * z / sigma;
        t.byWidth = bySigma * (1.0 + side * skew) * sign;
        t.bySkew = bySigma * width * side * (1.0 - skew * skew);
        return t;
    }

    const std::vector<double>& x_;
    const std::vector<double>& y_;
    Layout layout_;
};

struct Fit {
    std::vector<Peak> peaks;
    double squares = 0.0;  // the sum of squared residuals
    bool converged = false;
};

Fit solve(const std::vector<double>& x, const std::vector<double>& y, Layout layout, const std::vector<Peak>& start) {
    Eigen::VectorXd p = layout.pack(start);
    PeakSum sum(x, y, layout);
    Eigen::LevenbergMarquardt<PeakSum> solver(sum);
    solver.setMaxfev(kMaxEvaluations);
    const auto status = solver.minimize(p);
    Fit fit;
    fit.converged = status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters &&
                    status != Eigen::LevenbergMarquardtSpace::TooManyFunctionEvaluation && p.allFinite();
    Eigen::VectorXd residual(static_cast<Eigen::Index>(x.size()));
    sum(p, residual);
    fit.squares = residual.squaredNorm();
    fit.peaks = layout.unpack(p);
    return fit;
}

// Ways to add one more peak to a fit: where it leaves most above it, or by
// splitting one of its peaks in two (peaks that run together show one top,
// and what a fit of too few leaves over is often no more than the noise).
std::vector<std::vector<Peak>> withOneMore(const std::vector<double>& x, const std::vector<double>& y,
                                           const Layout& layout,
                                           const std::vector<Peak>& fitted, double width) {
    std::vector<std::vector<Peak>> tries;
    PeakSum sum(x, y, layout);
    Eigen::VectorXd residual(static_cast<Eigen::Index>(x.size()));
    sum(layout.pack(fitted), residual);
    std::vector<double> left(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        left[i] = -residual(static_cast<Eigen::Index>(i));
    }
    left = smoothed(left, resolvedSmoothing(Smoothing{}, left.size()));
    const auto most = static_cast<std::size_t>(std::max_element(left.begin(), left.end()) - left.begin());
    tries.push_back(fitted);
    tries.back().push_back({x[most], std::sqrt(std::max(left[most], 0.0)), width, 0.0});
    for (std::size_t k = 0; k < fitted.size(); ++k) {
        std::vector<Peak> split = fitted;
        const Peak one = fitted[k];
        const double w = std::abs(one.width);
        const double root = one.root / std::sqrt(2.0);
        split[k] = {one.top - w / 2.0, root, 0.75 * w, one.s};
        const Peak right{one.top + w / 2.0, root, 0.75 * w, one.s};
        split.insert(split.begin() + static_cast<std::ptrdiff_t>(k) + 1, right);
        tries.push_back(std::move(split));
    }
    return tries;
}

// The fit of `wanted` peaks with shared or free widths, from the seeds.
Fit fitPeaks(const std::vector<double>& x, const std::vector<double>& y, Layout layout, std::vector<Peak> seeds,
             std::size_t wanted, double width) {
    layout.peaks = static_cast<int>(seeds.size());
    Fit fit = solve(x, y, layout, seeds);
    while (fit.peaks.size() < wanted) {
        const auto tries = withOneMore(x, y, layout, fit.peaks, width);
        layout.peaks = static_cast<int>(fit.peaks.size()) + 1;
        std::optional<Fit> best;
        for (const auto& start : tries) {
            Fit attempt = solve(x, y, layout, start);
            if (!best || (attempt.converged && (!best->converged || attempt.squares < best->squares))) {
                best = std::move(attempt);
            }
        }
        fit = std::move(*best);
    }
    return fit;
}

// Whether the peaks of a fit stand far enough apart to have widths of their own.
bool resolved(const Fit& fit) {
    std::vector<Peak> peaks = fit.peaks;
    std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.top < b.top; });
    for (std::size_t k = 1; k < peaks.size(); ++k) {
        const double widths = std::max(std::abs(peaks[k].width), std::abs(peaks[k - 1].width));
        if (peaks[k].top - peaks[k - 1].top < kResolvedSeparation * widths) {
            return false;
        }
    }
    return true;
}

// The Bayesian information criterion of a fit of `parameters` to n points.
double information(const Fit& fit, std::size_t n, int parameters) {
    const auto points = static_cast<double>(n);
    return points * std::log(std::max(fit.squares, 1e-300) / points) + parameters * std::log(points);
}

}  // namespace

const char* peakShapeName(PeakShape shape) {
    return shape == PeakShape::Gaussian ? "gaussian" : "skewed";
}

const char* peakWidthsName(PeakWidths widths) {
    switch (widths) {
        case PeakWidths::Auto: return "auto";
        case PeakWidths::Shared: return "shared";
        case PeakWidths::Free: return "free";
    }
    return "auto";
}

std::optional<Deconvolution> deconvolve(std::span<const double> x, std::span<const double> values,
                                        std::span<const double> smoothed, const DeconvolutionChoice& choice,
                                        std::string& problem) {
    if (choice.components < 0 || choice.components > DeconvolutionChoice::kMaxComponents) {
        problem = formatText("between 1 and %d peaks can be fitted", DeconvolutionChoice::kMaxComponents);
        return std::nullopt;
    }
    const std::size_t n = std::min({x.size(), values.size(), smoothed.size()});
    const double from = std::max(0.0, std::ceil(std::min(choice.from, choice.to)));
    const double to = std::min(static_cast<double>(n) - 1.0, std::floor(std::max(choice.from, choice.to)));
    const auto first = static_cast<std::size_t>(from);
    const std::size_t count = to >= from ? static_cast<std::size_t>(to - from) + 1 : 0;
    const std::span<const double> stretch = smoothed.subspan(first, count);

    // The stretch's most prominent peaks, in order: where the fit starts.
    std::vector<Extremum> found;
    if (count >= 3) {
        const double highest = *std::max_element(stretch.begin(), stretch.end());
        const double least = kSeedProminence * std::max(highest, 0.0);
        found = findPeaks(stretch, least);
        std::erase_if(found, [&](const Extremum& e) { return stretch[e.index] < least; });
    }
    const std::size_t wanted =
        choice.components > 0
            ? static_cast<std::size_t>(choice.components)
            : std::clamp<std::size_t>(found.size(), 1, DeconvolutionChoice::kMaxComponents);
    if (count < static_cast<std::size_t>(Layout{choice.shape, false, static_cast<int>(wanted)}.size()) + 2) {
        problem = formatText("%zu samples are too few to fit %zu peaks", count, wanted);
        return std::nullopt;
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Extremum& a, const Extremum& b) { return a.prominence > b.prominence; });
    found.resize(std::min(found.size(), wanted));
    std::sort(found.begin(), found.end(), [](const Extremum& a, const Extremum& b) { return a.index < b.index; });

    const std::vector<double> xs(x.begin() + static_cast<std::ptrdiff_t>(first),
                                 x.begin() + static_cast<std::ptrdiff_t>(first + count));
    const std::vector<double> ys(values.begin() + static_cast<std::ptrdiff_t>(first),
                                 values.begin() + static_cast<std::ptrdiff_t>(first + count));
    const double span = std::abs(xs.back() - xs.front());
    const double width =
        std::max(2.0 * span / static_cast<double>(count - 1), span / (4.0 * static_cast<double>(wanted)));
    std::vector<Peak> seeds;
    for (const auto& f : found) {
        seeds.push_back({xs[f.index], std::sqrt(std::max(stretch[f.index], 0.0)), width, 0.0});
    }
    if (seeds.empty()) {
        const auto most = static_cast<std::size_t>(std::max_element(stretch.begin(), stretch.end()) - stretch.begin());
        seeds.push_back({xs[most], std::sqrt(std::max(stretch[most], 0.0)), width, 0.0});
    }

    const double centre = (xs.front() + xs.back()) / 2.0;
    const double reach = std::max(span / 2.0, 1e-12);
    const Layout free{choice.shape, false, static_cast<int>(wanted), centre, reach};
    const Layout shared{choice.shape, true, static_cast<int>(wanted), centre, reach};
    Deconvolution result;
    Fit fit;
    if (choice.widths == PeakWidths::Free) {
        fit = fitPeaks(xs, ys, free, seeds, wanted, width);
        result.widths = PeakWidths::Free;
    } else {
        // The shared fit first; free widths start from it and must earn their parameters.
        fit = fitPeaks(xs, ys, shared, seeds, wanted, width);
        result.widths = PeakWidths::Shared;
        if (choice.widths == PeakWidths::Auto && wanted > 1 && resolved(fit)) {
            const Fit freed = solve(xs, ys, free, fit.peaks);
            if (freed.converged && information(freed, count, free.size()) < information(fit, count, shared.size())) {
                fit = freed;
                result.widths = PeakWidths::Free;
            }
        }
    }
    result.converged = fit.converged;
    result.residual = std::sqrt(fit.squares / static_cast<double>(count));
    for (const Peak& p : fit.peaks) {
        PeakComponent c;
        c.x = p.top;
        c.height = p.root * p.root;
        c.width = std::abs(p.width);
        c.skew = choice.shape == PeakShape::Skewed ? std::tanh(p.s) : 0.0;
        c.area = c.height * c.width * std::sqrt(2.0 * std::numbers::pi);
        result.components.push_back(c);
    }
    std::sort(result.components.begin(), result.components.end(),
              [](const PeakComponent& a, const PeakComponent& b) { return a.x < b.x; });
    return result;
}

}  // namespace corvane
