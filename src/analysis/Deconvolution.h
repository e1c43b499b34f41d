#pragma once

// Overlapping peaks (40S, 60S and 80S above all) share area that no valley
// divides fairly. Deconvolution fits a sum of peak shapes to the recorded
// values by least squares (Levenberg-Marquardt) and gives each peak its own
// area, from the fitted shape's closed form.
//
// Peaks that run together closely (1.5 widths apart) leave their own widths
// barely told apart by the data: with free widths a fit trades width for
// height between neighbours and the areas wander by tens of percent while
// the residual hardly changes. Peaks of one gradient broaden alike, so the
// fit may give them one shared width. By default the shared widths are
// fitted first, and free widths are kept only where every two neighbours
// stand 2.5 widths apart or more and the free fit is better by more than its
// extra parameters explain (the Bayesian information criterion).

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane {

enum class PeakShape {
    Gaussian,
    Skewed,  // a Gaussian with a different width on either side of its top
};

enum class PeakWidths { Auto, Shared, Free };

// "gaussian", "skewed"; "auto", "shared", "free".
[[nodiscard]] const char* peakShapeName(PeakShape shape);
[[nodiscard]] const char* peakWidthsName(PeakWidths widths);

struct PeakComponent {
    double x = 0.0;       // the top
    double width = 0.0;   // the standard deviation; a skewed peak's is the mean of its two sides'
    double skew = 0.0;    // (right - left) / (right + left) of the two sides' widths, -1 to 1
    double height = 0.0;
    double area = 0.0;    // height x width x sqrt(2 pi)
};

struct Deconvolution {
    std::vector<PeakComponent> components;  // in order of x
    double residual = 0.0;                  // root mean square of fit minus values
    PeakWidths widths = PeakWidths::Free;   // shared or free, as fitted
    bool converged = false;
};

struct DeconvolutionChoice {
    static constexpr int kMaxComponents = 8;

    double from = 0.0;  // sample positions
    double to = 0.0;
    PeakShape shape = PeakShape::Gaussian;
    int components = 0;  // 0: as many as the smoothed values show peaks in the stretch (at least 1)
    PeakWidths widths = PeakWidths::Auto;
};

// Fits the peaks to `values` (above the baseline) over the samples between
// the two positions. The fit starts from the most prominent peaks of
// `smoothed` (the same values smoothed) in the stretch; while peaks are
// missing, one more is added where the fit so far leaves most above it and
// all are fitted again (peaks that run together show one top). Nothing, with
// the reason in `problem`, when the stretch has too few samples for the
// peaks asked.
[[nodiscard]] std::optional<Deconvolution> deconvolve(std::span<const double> x, std::span<const double> values,
                                                      std::span<const double> smoothed, const DeconvolutionChoice& choice,
                                                      std::string& problem);

}  // namespace corvane
