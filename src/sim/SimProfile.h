#pragma once

// The absorbance of a centrifuged gradient against depth below its surface,
// as the simulated instruments see it: a sucrose baseline rising slowly with
// depth, a large peak at the top (the load zone), then the 40S and 60S
// subunits, the 80S monosome and a decaying series of polysome peaks. Each
// peak is a Gaussian; channel A reads at 260 nm and channel B at 280 nm, so
// their heights differ (nucleic acid peaks about twice as tall at 260 nm).

#include <string>
#include <vector>

namespace corvane {

enum class SimChannel { A, B };

struct SimPeak {
    std::string name;
    double depthMm = 0.0;   // centre, mm below the surface of the gradient
    double widthMm = 1.0;   // standard deviation of the Gaussian, mm
    double heightA = 0.0;   // absorbance added at the centre, channel A
    double heightB = 0.0;   // channel B
};

class SimProfile {
public:
    // The polysome-like profile described above (see polysomePeaks()).
    SimProfile();
    // A profile of one's own: baseline + slope x depth + the peaks, per channel.
    SimProfile(std::vector<SimPeak> peaks, double baselineA, double baselineB, double slopeAPerMm,
               double slopeBPerMm);

    // Absorbance of the gradient at depthMm (mm below its surface) on that
    // channel. Depths above the surface (negative) read as the surface itself;
    // callers that model air above the meniscus handle that themselves.
    [[nodiscard]] double absorbance(SimChannel channel, double depthMm) const;

    [[nodiscard]] const std::vector<SimPeak>& peaks() const { return peaks_; }

    // The default peaks, top to bottom: "top" (4 mm), "40S" (20 mm), "60S"
    // (25 mm), "80S" (31 mm), then "polysome 2" to "polysome 8" (38 to 65 mm),
    // each smaller than the one before.
    [[nodiscard]] static std::vector<SimPeak> polysomePeaks();

private:
    std::vector<SimPeak> peaks_;
    double baselineA_;
    double baselineB_;
    double slopeA_;
    double slopeB_;
};

}  // namespace corvane
