// The whole automatic analysis of a profile of 1,000,000 points (smoothing,
// baseline, saturation, peaks and valleys, landmarks, regions, areas,
// ratios; the deconvolution apart), and its steps alone. The profile is the
// simulator's polysome gradient with detector noise, as a long recording of
// a slow scan or a finely sampled import would give it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>

#include "analysis/Peaks.h"
#include "analysis/ProfileAnalysis.h"
#include "analysis/SignalStats.h"
#include "analysis/Smoothing.h"
#include "runs/Profile.h"
#include "sim/SimProfile.h"

namespace corvane {
namespace {

constexpr std::size_t kPoints = 1000000;
constexpr double kDepthMm = 80.0;
constexpr double kNoise = 0.0005;

// Normal noise from a fixed sequence, so every run measures the same profile.
class Noise {
public:
    double operator()() {
        const double u1 = (static_cast<double>(next() >> 11) + 0.5) / 9007199254740992.0;
        const double u2 = (static_cast<double>(next() >> 11) + 0.5) / 9007199254740992.0;
        return kNoise * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::uint64_t next() { return state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL; }
    std::uint64_t state_ = 1;
};

const Profile& gradient() {
    static const Profile profile = [] {
        const SimProfile sim;
        Noise noise;
        Profile p;
        p.xUnit = "mm";
        p.x.resize(kPoints);
        p.y.resize(kPoints);
        for (std::size_t i = 0; i < kPoints; ++i) {
            const double depth = kDepthMm * static_cast<double>(i) / static_cast<double>(kPoints - 1);
            p.x[i] = depth;
            p.y[i] = sim.absorbance(SimChannel::A, depth) + noise();
        }
        return p;
    }();
    return profile;
}

void BM_AutomaticAnalysisOfAMillionPoints(benchmark::State& state) {
    const Profile& p = gradient();
    const AnalysisSettings settings;
    std::size_t landmarks = 0;
    for (auto _ : state) {
        const auto a = analyseProfile(p, settings);
        landmarks = a.landmarks.found.size();
        benchmark::DoNotOptimize(a.ratios.pm.value);
    }
    state.counters["landmarks"] = static_cast<double>(landmarks);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kPoints));
}
BENCHMARK(BM_AutomaticAnalysisOfAMillionPoints)->Unit(benchmark::kMillisecond);

void BM_SmoothingAMillionPoints(benchmark::State& state) {
    const Profile& p = gradient();
    const Smoothing s = resolvedSmoothing(Smoothing{}, p.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(smoothed(p.y, s).data());
    }
}
BENCHMARK(BM_SmoothingAMillionPoints)->Unit(benchmark::kMillisecond);

void BM_PeaksOfAMillionPoints(benchmark::State& state) {
    const Profile& p = gradient();
    const auto s = smoothed(p.y, resolvedSmoothing(Smoothing{}, p.size()));
    const double prominence = 8.0 * noiseLevel(p.y);
    for (auto _ : state) {
        benchmark::DoNotOptimize(findPeaks(s, prominence).size());
    }
}
BENCHMARK(BM_PeaksOfAMillionPoints)->Unit(benchmark::kMillisecond);

// Deconvolution apart: 40S, 60S and 80S over a 3,000-point stretch.
void BM_DeconvolutionOfThreePeaks(benchmark::State& state) {
    const SimProfile sim;
    Noise noise;
    Profile p;
    for (std::size_t i = 0; i < 3000; ++i) {
        const double depth = 15.0 + 20.0 * static_cast<double>(i) / 2999.0;
        p.x.push_back(depth);
        p.y.push_back(sim.absorbance(SimChannel::A, depth) + noise());
    }
    AnalysisSettings settings;
    settings.baseline.kind = BaselineKind::Constant;
    settings.baseline.level = sim.absorbance(SimChannel::A, 12.0);
    settings.regions = {{"all", 15.0, 35.0}};
    settings.deconvolution = AnalysisSettings::Deconvolve{17.0, 34.0, PeakShape::Gaussian, 3, PeakWidths::Auto};
    for (auto _ : state) {
        const auto a = analyseProfile(p, settings);
        benchmark::DoNotOptimize(a.deconvolution->residual);
    }
}
BENCHMARK(BM_DeconvolutionOfThreePeaks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvane
