#include "analysis/Deconvolution.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <unsupported/Eigen/LevenbergMarquardt>

#include "analysis/Peaks.h"
#include "analysis/Smoothing.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

constexpr int kMaxEvaluations = 4000;
// Seeds closer than this share of the stretch's span to another are shoulders of it.
constexpr double kSeedSeparation = 0.03;
constexpr double kSeedProminence = 0.02;  // of the stretch's highest smoothed value

// The sum of peaks at the stretch's samples, and its derivatives by each
// parameter: per peak its top c, height h, width w (the absolute value is
// used) and, for a skewed peak, s (the skew is tanh(s), so it stays
// within -1 to 1 whatever the solver tries).
class PeakSum : public Eigen::DenseFunctor<double> {
public:
    PeakSum(std::vector<double> x, std::vector<double> y, PeakShape shape, int peaks)
        : DenseFunctor<double>(peaks * perPeak(shape), static_cast<int>(x.size())),
          x_(std::move(x)),
          y_(std::move(y)),
          shape_(shape),
          peaks_(peaks) {}

    static int perPeak(PeakShape shape) { return shape == PeakShape::Gaussian ? 3 : 4; }

    int operator()(const InputType& p, ValueType& residual) const {
        for (std::size_t i = 0; i < x_.size(); ++i) {
            double sum = 0.0;
            for (int k = 0; k < peaks_; ++k) {
                sum += term(p, k, x_[i]).value;
            }
            residual(static_cast<Eigen::Index>(i)) = sum - y_[i];
        }
        return 0;
    }

    int df(const InputType& p, JacobianType& jacobian) const {
        const int stride = perPeak(shape_);
        for (std::size_t i = 0; i < x_.size(); ++i) {
            const auto row = static_cast<Eigen::Index>(i);
            for (int k = 0; k < peaks_; ++k) {
                const Term t = term(p, k, x_[i]);
                const Eigen::Index col = k * stride;
                jacobian(row, col) = t.byTop;
                jacobian(row, col + 1) = t.byHeight;
                jacobian(row, col + 2) = t.byWidth;
                if (shape_ == PeakShape::Skewed) {
                    jacobian(row, col + 3) = t.bySkew;
                }
            }
        }
        return 0;
    }

private:
    struct Term {
        double value = 0.0;
        double byTop = 0.0;
        double byHeight = 0.0;
        double byWidth = 0.0;
        double bySkew = 0.0;
    };

    [[nodiscard]] Term term(const InputType& p, int k, double x) const {
        const Eigen::Index at = k * perPeak(shape_);
        const double top = p(at);
        const double height = p(at + 1);
        const double w = p(at + 2);
        const double width = std::abs(w);
        const double sign = w < 0.0 ? -1.0 : 1.0;
        double skew = 0.0;
        if (shape_ == PeakShape::Skewed) {
            skew = std::tanh(p(at + 3));
        }
        // The side's own width: wider on the right for a positive skew.
        const double side = x < top ? -1.0 : 1.0;
        const double sigma = width * (1.0 + side * skew);
        Term t;
        if (!(sigma > 0.0)) {
            return t;
        }
        const double z = (x - top) / sigma;
        const double shape = std::exp(-0.5 * z * z);
        t.value = height * shape;
        t.byHeight = shape;
        t.byTop = t.value * z / sigma;
        const double bySigma = t.value * z * z / sigma;
        t.byWidth = bySigma * (1.0 + side * skew) * sign;
        t.bySkew = bySigma * width * side * (1.0 - skew * skew);
        return t;
    }

    std::vector<double> x_;
    std::vector<double> y_;
    PeakShape shape_;
    int peaks_;
};

// Where the fit starts: the stretch's peaks by prominence, then the dips of
// its curvature that lie clear of them, then even spacing.
std::vector<std::size_t> seeds(std::span<const double> smoothed, std::size_t count, std::size_t wanted) {
    const double highest = *std::max_element(smoothed.begin(), smoothed.end());
    auto peaks = findPeaks(smoothed, kSeedProminence * std::max(highest, 0.0));
    std::stable_sort(peaks.begin(), peaks.end(),
                     [](const Extremum& a, const Extremum& b) { return a.prominence > b.prominence; });
    std::vector<std::size_t> chosen;
    const auto separation = std::max<std::size_t>(2, static_cast<std::size_t>(kSeedSeparation * static_cast<double>(count)));
    const auto clear = [&](std::size_t i) {
        return std::all_of(chosen.begin(), chosen.end(), [&](std::size_t c) {
            return (i > c ? i - c : c - i) >= separation;
        });
    };
    for (const auto& p : peaks) {
        if (chosen.size() < wanted) {
            chosen.push_back(p.index);
        }
    }
    if (chosen.size() < wanted && count >= 5) {
        // Curvature of the smoothed values, smoothed again: a shoulder is a dip.
        std::vector<double> curvature(count, 0.0);
        for (std::size_t i = 1; i + 1 < count; ++i) {
            curvature[i] = smoothed[i - 1] - 2.0 * smoothed[i] + smoothed[i + 1];
        }
        curvature = corvane::smoothed(curvature, resolvedSmoothing(Smoothing{}, count));
        auto dips = findValleys(curvature, 0.0);
        std::stable_sort(dips.begin(), dips.end(), [&](const Extremum& a, const Extremum& b) {
            return curvature[a.index] < curvature[b.index];
        });
        for (const auto& d : dips) {
            if (chosen.size() < wanted && curvature[d.index] < 0.0 && clear(d.index)) {
                chosen.push_back(d.index);
            }
        }
    }
    for (std::size_t k = 1; chosen.size() < wanted && k <= 2 * wanted + 1; k += 2) {
        const std::size_t even = k * (count - 1) / (2 * wanted);
        if (clear(even)) {
            chosen.push_back(even);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

}  // namespace

const char* peakShapeName(PeakShape shape) {
    return shape == PeakShape::Gaussian ? "gaussian" : "skewed";
}

std::optional<Deconvolution> deconvolve(std::span<const double> x, std::span<const double> values,
                                        std::span<const double> smoothed, const DeconvolutionSpec& spec,
                                        std::string& problem) {
    const std::size_t n = std::min({x.size(), values.size(), smoothed.size()});
    double from = std::min(spec.from, spec.to);
    double to = std::max(spec.from, spec.to);
    from = std::max(0.0, std::ceil(from));
    to = std::min(static_cast<double>(n) - 1.0, std::floor(to));
    const auto first = static_cast<std::size_t>(std::max(0.0, from));
    const std::size_t count = to >= from ? static_cast<std::size_t>(to - from) + 1 : 0;
    if (spec.components < 0 || spec.components > DeconvolutionSpec::kMaxComponents) {
        problem = formatText("between 1 and %d peaks can be fitted", DeconvolutionSpec::kMaxComponents);
        return std::nullopt;
    }
    const std::span<const double> stretch = smoothed.subspan(first, count);
    std::size_t wanted = static_cast<std::size_t>(spec.components);
    if (wanted == 0 && count >= 3) {
        const double highest = *std::max_element(stretch.begin(), stretch.end());
        wanted = std::clamp<std::size_t>(findPeaks(stretch, kSeedProminence * std::max(highest, 0.0)).size(), 1,
                                         DeconvolutionSpec::kMaxComponents);
    }
    const int perPeak = PeakSum::perPeak(spec.shape);
    if (wanted == 0 || count < wanted * static_cast<std::size_t>(perPeak) + 2) {
        problem = formatText("%zu samples are too few to fit %zu peaks", count, std::max<std::size_t>(wanted, 1));
        return std::nullopt;
    }
    const auto start = seeds(stretch, count, wanted);
    const int peaks = static_cast<int>(start.size());

    std::vector<double> xs(x.begin() + static_cast<std::ptrdiff_t>(first),
                           x.begin() + static_cast<std::ptrdiff_t>(first + count));
    std::vector<double> ys(values.begin() + static_cast<std::ptrdiff_t>(first),
                           values.begin() + static_cast<std::ptrdiff_t>(first + count));
    const double span = std::abs(xs.back() - xs.front());
    const double step = span / static_cast<double>(count - 1);
    Eigen::VectorXd p(peaks * perPeak);
    for (int k = 0; k < peaks; ++k) {
        const std::size_t at = start[static_cast<std::size_t>(k)];
        const Eigen::Index col = k * perPeak;
        p(col) = xs[at];
        p(col + 1) = stretch[at];
        p(col + 2) = std::max(2.0 * step, span / (4.0 * peaks));
        if (spec.shape == PeakShape::Skewed) {
            p(col + 3) = 0.0;
        }
    }
    PeakSum sum(xs, ys, spec.shape, peaks);
    Eigen::LevenbergMarquardt<PeakSum> solver(sum);
    solver.setMaxfev(kMaxEvaluations);
    const auto status = solver.minimize(p);

    Deconvolution result;
    result.converged = status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters &&
                       status != Eigen::LevenbergMarquardtSpace::TooManyFunctionEvaluation &&
                       p.allFinite();
    Eigen::VectorXd residual(static_cast<Eigen::Index>(count));
    sum(p, residual);
    result.residual = std::sqrt(residual.squaredNorm() / static_cast<double>(count));
    for (int k = 0; k < peaks; ++k) {
        const Eigen::Index col = k * perPeak;
        PeakComponent c;
        c.x = p(col);
        c.height = p(col + 1);
        c.width = std::abs(p(col + 2));
        c.skew = spec.shape == PeakShape::Skewed ? std::tanh(p(col + 3)) : 0.0;
        c.area = c.height * c.width * std::sqrt(2.0 * std::numbers::pi);
        result.components.push_back(c);
    }
    std::sort(result.components.begin(), result.components.end(),
              [](const PeakComponent& a, const PeakComponent& b) { return a.x < b.x; });
    return result;
}

}  // namespace corvane
