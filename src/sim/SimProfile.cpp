#include "sim/SimProfile.h"

#include <cmath>
#include <utility>

namespace corvane {

SimProfile::SimProfile() : SimProfile(polysomePeaks(), 0.05, 0.04, 0.0012, 0.0010) {}

SimProfile::SimProfile(std::vector<SimPeak> peaks, double baselineA, double baselineB,
                       double slopeAPerMm, double slopeBPerMm)
    : peaks_(std::move(peaks)),
      baselineA_(baselineA),
      baselineB_(baselineB),
      slopeA_(slopeAPerMm),
      slopeB_(slopeBPerMm) {}

double SimProfile::absorbance(SimChannel channel, double depthMm) const {
    const double depth = depthMm > 0.0 ? depthMm : 0.0;
    const bool a = channel == SimChannel::A;
    double value = a ? baselineA_ + slopeA_ * depth : baselineB_ + slopeB_ * depth;
    for (const auto& peak : peaks_) {
        if (peak.widthMm <= 0.0) {
            continue;
        }
        const double z = (depth - peak.depthMm) / peak.widthMm;
        if (z * z > 64.0) {
            continue;  // further than 8 widths: nothing left to add
        }
        value += (a ? peak.heightA : peak.heightB) * std::exp(-0.5 * z * z);
    }
    return value;
}

std::vector<SimPeak> SimProfile::polysomePeaks() {
    // Heights at 280 nm are about half those at 260 nm for the ribosomal
    // peaks (nucleic acid), nearer to them for the protein-rich top peak.
    return {
        {"top", 4.0, 2.2, 1.40, 1.10},
        {"40S", 20.0, 1.1, 0.22, 0.12},
        {"60S", 25.0, 1.2, 0.35, 0.18},
        {"80S", 31.0, 1.4, 0.95, 0.50},
        {"polysome 2", 38.0, 1.3, 0.55, 0.29},
        {"polysome 3", 43.5, 1.3, 0.44, 0.23},
        {"polysome 4", 48.5, 1.35, 0.35, 0.18},
        {"polysome 5", 53.0, 1.35, 0.27, 0.14},
        {"polysome 6", 57.2, 1.4, 0.21, 0.11},
        {"polysome 7", 61.2, 1.4, 0.16, 0.085},
        {"polysome 8", 65.0, 1.45, 0.12, 0.065},
    };
}

}  // namespace corvane
