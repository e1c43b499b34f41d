#pragma once

// Profiles with known answers for the analysis tests: sums of Gaussians
// over a baseline, with reproducible noise, and the simulator's gradient.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "base/TextFormat.h"
#include "runs/Profile.h"
#include "sim/SimProfile.h"

namespace corvane::test {

struct Bump {
    double centre;
    double width;  // standard deviation
    double height;

    [[nodiscard]] double area() const { return height * width * std::sqrt(2.0 * std::numbers::pi); }
    [[nodiscard]] double at(double x) const {
        const double z = (x - centre) / width;
        return height * std::exp(-0.5 * z * z);
    }
};

// Normal noise that is the same on every platform (the standard library's
// distributions are not).
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}
    double operator()(double sd) {
        const double u1 = (static_cast<double>(next() >> 11) + 0.5) / 9007199254740992.0;
        const double u2 = (static_cast<double>(next() >> 11) + 0.5) / 9007199254740992.0;
        return sd * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::uint64_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return state_;
    }
    std::uint64_t state_;
};

// The bumps over a flat baseline at the given x, with noise of sd `noise`.
inline Profile bumps(const std::vector<double>& x, const std::vector<Bump>& peaks, double baseline = 0.0,
                     double noise = 0.0, std::uint64_t seed = 1) {
    Profile p;
    p.xUnit = "mm";
    p.yUnit = "AU";
    p.x = x;
    Noise random(seed);
    for (const double at : x) {
        double v = baseline;
        for (const auto& b : peaks) {
            v += b.at(at);
        }
        p.y.push_back(v + (noise > 0.0 ? random(noise) : 0.0));
    }
    return p;
}

inline std::vector<double> evenX(double from, double to, double step) {
    std::vector<double> x;
    for (double v = from; v <= to + 1e-9; v += step) {
        x.push_back(v);
    }
    return x;
}

// The simulator's polysome gradient (channel A) from depth 0 to `depth` mm
// in steps of `step` mm, with noise.
inline Profile simulatedGradient(double step, double depth, double noise, std::uint64_t seed = 7) {
    const SimProfile sim;
    Profile p;
    p.xUnit = "mm";
    p.yUnit = "AU";
    Noise random(seed);
    for (double d = 0.0; d <= depth + 1e-9; d += step) {
        p.x.push_back(d);
        p.y.push_back(sim.absorbance(SimChannel::A, d) + random(noise));
    }
    return p;
}

// A polysome-like profile over a flat floor, 0.05 mm apart from 0 to 55 mm:
// the free material, 40S, 60S, 80S and three polysomes.
inline const std::vector<Bump>& polysomeBumps() {
    static const std::vector<Bump> b{{8.0, 1.2, 1.5},  {18.0, 0.9, 0.25}, {22.0, 0.9, 0.4}, {27.0, 1.0, 1.0},
                                     {33.0, 1.0, 0.5}, {38.0, 1.0, 0.4},  {43.0, 1.0, 0.3}};
    return b;
}
inline Profile polysomeProfile(double floor = 0.05) {
    Profile p = bumps(evenX(0.0, 55.0, 0.05), polysomeBumps(), floor);
    p.name = "synthetic";
    p.channel = "absA";
    return p;
}

// The profile as a two-channel run file of ours: Abs A the profile against
// its x in mm, Abs B half of it.
inline std::string runFileText(const Profile& p) {
    std::string text = "Corvane Text Data File: x.csv\nVersion: 1\n\nData Columns:\n"
                       "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (std::size_t i = 0; i < p.size(); ++i) {
        text += formatText("1000, 2000, 1000, 2000, %.3f, %.6f, %.3f, %.6f, %.3f, 2.000000\n", p.x[i], p.y[i],
                           p.x[i], p.y[i] / 2, p.x[i]);
    }
    return text;
}

}  // namespace corvane::test
