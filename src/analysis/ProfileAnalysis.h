#pragma once

// The whole automatic analysis of one profile: smoothing, baseline,
// saturation, peaks and valleys, landmarks, regions and their areas, ratios,
// and a deconvolution when asked. Everything it found is kept as values, so
// that a window can show it and let the user move a boundary or the
// baseline: an AreaIntegral of the profile over `baseline` then gives every
// area again in constant time without redoing the rest, and a new baseline
// costs one pass to build a new one.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Baseline.h"
#include "analysis/Deconvolution.h"
#include "analysis/Landmarks.h"
#include "analysis/Peaks.h"
#include "analysis/Ratios.h"
#include "analysis/Regions.h"
#include "analysis/Saturation.h"
#include "analysis/Smoothing.h"
#include "runs/Profile.h"

namespace corvane {

// A region the user gives, in the profile's x.
struct RegionChoice {
    std::string name;
    double fromX = 0.0;
    double toX = 0.0;
};

struct AnalysisSettings {
    // The smallest prominence of a peak, without one given: this many noise
    // levels, and at least this share of the smoothed profile's range.
    static constexpr double kNoiseProminence = 8.0;
    static constexpr double kRangeProminence = 0.01;
    // The polysomes end where the profile comes back within this share of
    // the 80S peak's height of its baseline (or within the noise).
    static constexpr double kReturnShare = 0.05;
    static constexpr double kReturnNoise = 3.0;

    Smoothing smoothing;                 // the automatic Savitzky-Golay by default
    BaselineChoice baseline;               // the level before the gradient by default
    std::optional<double> prominence;    // y units
    std::optional<double> fullScale;     // the detector's top, when known
    std::vector<RegionChoice> regions;     // when given, they replace the landmarks' regions
    struct Deconvolve {
        double fromX = 0.0;
        double toX = 0.0;
        PeakShape shape = PeakShape::Gaussian;
        int components = 0;
        PeakWidths widths = PeakWidths::Auto;
    };
    std::optional<Deconvolve> deconvolution;
};

struct ProfileAnalysis {
    std::string problem;  // why the profile could not be analysed; empty when it was

    Smoothing smoothing;  // as used, its window resolved
    double noise = 0.0;
    double prominence = 0.0;
    std::vector<double> smoothed;
    Baseline baseline;
    std::vector<IndexRange> saturated;
    std::vector<Extremum> peaks;    // of the smoothed values above the baseline
    std::vector<Extremum> valleys;
    Landmarks landmarks;
    std::vector<RegionArea> regions;
    Ratios ratios;
    std::optional<Deconvolution> deconvolution;
    std::vector<std::string> warnings;

    [[nodiscard]] bool ok() const { return problem.empty(); }
    // The recorded value above the baseline at sample i; nothing on a
    // clipped plateau, where the true height is not known.
    [[nodiscard]] std::optional<double> height(const Profile& profile, std::size_t i) const;
};

// Analyses a profile whose values are all finite numbers (see makeAnalysable).
[[nodiscard]] ProfileAnalysis analyseProfile(const Profile& profile, const AnalysisSettings& settings);

}  // namespace corvane
