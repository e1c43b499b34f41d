#include "analysis/ProfileAnalysis.h"

#include <algorithm>
#include <cmath>

#include "analysis/LandmarkRegions.h"
#include "analysis/SignalStats.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

constexpr std::size_t kMinSamples = 3;

bool allFinite(const Profile& p) {
    return std::all_of(p.x.begin(), p.x.end(), [](double v) { return std::isfinite(v); }) &&
           std::all_of(p.y.begin(), p.y.end(), [](double v) { return std::isfinite(v); });
}

std::size_t stepsBack(const std::vector<double>& x) {
    if (x.size() < 2) {
        return 0;
    }
    const bool rising = x.back() >= x.front();
    std::size_t back = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (rising ? x[i] < x[i - 1] : x[i] > x[i - 1]) {
            ++back;
        }
    }
    return back;
}

std::string rangeText(const IndexRange& r) {
    return r.from == r.to ? formatText("sample %zu", r.from) : formatText("samples %zu to %zu", r.from, r.to);
}

bool regionsFromUser(const Profile& profile, const AnalysisSettings& settings, std::vector<Region>& regions,
                     std::string& problem) {
    for (const auto& choice : settings.regions) {
        const auto from = positionOfX(profile.x, choice.fromX);
        const auto to = positionOfX(profile.x, choice.toX);
        if (!from || !to || *from == *to) {
            problem = formatText("region %s (%g to %g) holds no part of the profile", choice.name.c_str(), choice.fromX,
                                 choice.toX);
            return false;
        }
        regions.push_back({choice.name, std::min(*from, *to), std::max(*from, *to)});
    }
    return true;
}

void warnOfClipping(ProfileAnalysis& a) {
    if (a.saturated.empty()) {
        return;
    }
    std::string where;
    for (const auto& r : a.saturated) {
        where += (where.empty() ? "" : ", ") + rangeText(r);
    }
    a.warnings.push_back("the detector was clipped at " + where + ": no peak height is read there");
    for (const auto& r : a.regions) {
        if (r.saturated) {
            a.warnings.push_back("the area of " + r.region.name + " includes a clipped plateau: it is too small");
        }
    }
    const std::pair<const char*, const Ratio*> ratios[] = {
        {"pm", &a.ratios.pm}, {"p_total", &a.ratios.pTotal}, {"s60_s40", &a.ratios.s60s40}};
    for (const auto& [name, ratio] : ratios) {
        if (ratio->saturated && ratio->value) {
            a.warnings.push_back(std::string("the ratio ") + name + " includes a clipped plateau");
        }
    }
}

}  // namespace

std::optional<double> ProfileAnalysis::height(const Profile& profile, std::size_t i) const {
    if (i >= profile.size() || touchesAny(saturated, static_cast<double>(i), static_cast<double>(i))) {
        return std::nullopt;
    }
    return profile.y[i] - baseline.at(i, profile.x[i]);
}

ProfileAnalysis analyseProfile(const Profile& profile, const AnalysisSettings& settings) {
    ProfileAnalysis a;
    const std::size_t n = profile.size();
    if (n < kMinSamples || profile.x.size() != n) {
        a.problem = formatText("too few samples to analyse: %zu", n);
        return a;
    }
    if (!allFinite(profile)) {
        a.problem = "the profile holds values that are not numbers";
        return a;
    }
    a.smoothing = resolvedSmoothing(settings.smoothing, n);
    a.smoothed = smoothed(profile.y, a.smoothing);
    a.noise = noiseLevel(profile.y);
    auto baseline = fitBaseline(profile, settings.baseline, a.problem);
    if (!baseline) {
        return a;
    }
    a.baseline = std::move(*baseline);

    // Features are looked for on the smoothed values above the baseline.
    std::vector<double> level = a.smoothed;
    a.baseline.subtractFrom(profile.x, level);
    const auto [lowest, highest] = std::minmax_element(level.begin(), level.end());
    a.prominence = settings.prominence.value_or(std::max(AnalysisSettings::kNoiseProminence * a.noise,
                                                         AnalysisSettings::kRangeProminence * (*highest - *lowest)));
    a.saturated = findSaturation(profile.y, a.noise, settings.fullScale);
    auto extrema = findPeaksAndValleys(level, a.prominence);
    a.peaks = std::move(extrema.peaks);
    a.valleys = std::move(extrema.valleys);
    onePeakPerPlateau(a.peaks, a.valleys, a.saturated, static_cast<std::size_t>(a.smoothing.window / 2) + 1);
    a.landmarks = findLandmarks(profile.x, level, a.peaks, a.saturated);

    a.warnings = a.landmarks.warnings;
    std::vector<Region> regions;
    if (!settings.regions.empty()) {
        if (!regionsFromUser(profile, settings, regions, a.problem)) {
            return a;
        }
    } else {
        const Landmark* monosome = a.landmarks.find("80S");
        const double returnLevel =
            std::max(AnalysisSettings::kReturnNoise * a.noise,
                     monosome ? AnalysisSettings::kReturnShare * level[monosome->index] : 0.0);
        regions = landmarkRegions(a.landmarks, level, returnLevel, a.prominence, a.warnings);
    }
    a.regions = measureRegions(profile.x, profile.y, a.baseline, regions, a.saturated);
    a.ratios = ratiosOf(a.regions);
    warnOfClipping(a);
    if (const std::size_t back = stepsBack(profile.x); back > 0) {
        a.warnings.push_back(formatText("x runs back at %zu samples: the area there counts against the rest", back));
    }

    if (settings.deconvolution) {
        const auto& d = *settings.deconvolution;
        const auto from = positionOfX(profile.x, d.fromX);
        const auto to = positionOfX(profile.x, d.toX);
        if (!from || !to) {
            a.problem = formatText("deconvolution: %g to %g holds no part of the profile", d.fromX, d.toX);
            return a;
        }
        std::vector<double> values = profile.y;
        a.baseline.subtractFrom(profile.x, values);
        const DeconvolutionChoice choice{*from, *to, d.shape, d.components, d.widths};
        a.deconvolution = deconvolve(profile.x, values, level, choice, a.problem);
        if (!a.deconvolution) {
            a.problem = "deconvolution: " + a.problem;
            return a;
        }
        if (!a.deconvolution->converged) {
            a.warnings.push_back("the deconvolution did not converge");
        }
        if (touchesAny(a.saturated, choice.from, choice.to)) {
            a.warnings.push_back("the deconvolution includes a clipped plateau");
        }
    }
    return a;
}

}  // namespace corvane
