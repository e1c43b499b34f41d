#pragma once

#include <QGuiApplication>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "graph/FractionPlanHook.h"

namespace corvane::bench {

// A gradient profile as the instrument records it: a meniscus spike, a
// rising sucrose baseline and a few bands, channel B weaker than A.
struct SyntheticRun {
    std::vector<double> x;
    std::vector<double> absA;
    std::vector<double> absB;
    std::vector<double> ratio;
    std::vector<double> mark;

    // noiseSd > 0: the detector's noise, about that standard deviation (AU)
    // on every value, independent from sample to sample; else a gentle
    // ripple of 0.004.
    SyntheticRun(int samples, double lengthMm, double markEveryMm, double noiseSd = 0.0) {
        std::uint32_t seed = 12345;
        const auto uniform = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
        };
        for (int i = 0; i < samples; ++i) {
            const double mm = lengthMm * i / samples;
            // The sum of four uniforms is near enough to Gaussian (SD of one: 1/sqrt(12)).
            const double noise = noiseSd > 0.0
                                     ? noiseSd * std::sqrt(3.0) * (uniform() + uniform() + uniform() + uniform())
                                     : 0.004 * std::sin(i * 12.9898) * std::sin(i * 0.731);
            auto band = [&](double at, double width, double height) {
                const double d = (mm - at) / width;
                return height * std::exp(-d * d);
            };
            const double a = 0.08 + 0.004 * mm + band(1.5, 0.6, 1.9) + band(22, 3.0, 0.9) +
                             band(38, 2.2, 1.45) + band(47, 1.6, 0.7) + band(61, 4.0, 1.1) + noise;
            const double b = 0.05 + 0.003 * mm + band(1.5, 0.6, 1.2) + band(22, 3.0, 0.35) +
                             band(38, 2.2, 0.95) + band(61, 4.0, 0.5) + noise * 0.7;
            x.push_back(mm);
            absA.push_back(a);
            absB.push_back(b);
            ratio.push_back(a / b);
            // The collector's event line: high for about half a millimetre
            // at every fraction.
            const double phase = std::fmod(mm, markEveryMm);
            mark.push_back(mm > markEveryMm / 2 && phase < 0.5 ? 1.0 : 0.0);
        }
    }
};

// Fractions of equal length, numbered from 1.
class EvenFractions : public FractionPlanHook {
public:
    EvenFractions(double everyMm, int count) : every_(everyMm), count_(count) {}

    void boundaryPositions(std::vector<double>& out) const override {
        for (int i = 1; i <= count_; ++i) {
            out.push_back(every_ * i);
        }
    }
    FractionLabel fractionAt(double x) const override {
        return {FractionLabel::Kind::Number, static_cast<int>(x / every_)};
    }
    int fractionCount() const override { return count_; }

private:
    double every_;
    int count_;
};

// Fonts need a QGuiApplication; offscreen unless a platform was chosen.
inline void ensureGuiApp() {
    if (QGuiApplication::instance() == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_graph";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
}

}  // namespace corvane::bench
