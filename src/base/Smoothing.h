#pragma once

// Smoothing is for finding a profile's features (peaks, valleys, where it
// returns to its baseline), never for measuring it: areas and heights are
// taken on the recorded values. Every filter here is a least-squares
// polynomial over a centred window of samples (Savitzky-Golay; a moving
// average is the degree-0 case), so it gives a slope as readily as a value,
// and it has a streaming form with the same numbers for a profile that is
// still being recorded. Windows count samples: on an uneven x the filter
// works by sample order, which is what finding features needs.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

enum class SmoothingKind { None, MovingAverage, SavitzkyGolay };

struct Smoothing {
    static constexpr int kMaxWindow = 2001;
    static constexpr int kMaxOrder = 6;

    SmoothingKind kind = SmoothingKind::SavitzkyGolay;
    int window = 0;  // odd, in samples; 0 asks for the automatic width
    int order = 3;   // the polynomial's degree (Savitzky-Golay only)

    bool operator==(const Smoothing&) const = default;
};

// The smoothing as it applies to a profile of `samples` samples: the
// automatic window (about a hundredth of the profile, odd, 5 to 51 samples:
// wide enough to quiet the noise, narrow beside any peak a profile of that
// length resolves), a window no longer than the profile, an order below the
// window. Fewer than 3 samples are not smoothed.
[[nodiscard]] Smoothing resolvedSmoothing(Smoothing smoothing, std::size_t samples);

// "none", "ma:N", "sg:N:ORDER" ("sg:auto" and "auto" for the automatic
// window of order 3); nothing for anything else or a window that is even,
// below 3 or above kMaxWindow, or an order at or above the window or above
// kMaxOrder.
[[nodiscard]] std::optional<Smoothing> parseSmoothing(std::string_view text);
// The same form back; an automatic window as "auto".
[[nodiscard]] std::string smoothingText(const Smoothing& smoothing);

// The weights that give, from the window's samples in order, the fitted
// polynomial's value (derivative 0) or slope per sample (derivative 1) at
// `offset` samples from the window's centre (-half to +half).
[[nodiscard]] std::vector<double> savitzkyGolayWeights(int window, int order, int derivative, int offset);

// The smoothed values (or slopes, per sample) of a whole profile. The first
// and last half-windows take the polynomial fitted to the first and last
// whole windows. `smoothing` must be resolved.
[[nodiscard]] std::vector<double> smoothed(std::span<const double> y, const Smoothing& smoothing);
[[nodiscard]] std::vector<double> smoothedSlope(std::span<const double> y, const Smoothing& smoothing);

// The same filter one sample at a time, for a signal still arriving: a push
// completes the sample half a window back (the filter looks as far ahead as
// behind), and finish() completes the rest. The points equal those of
// smoothed() and smoothedSlope() over the samples pushed. The window must be
// given (no automatic one: the length is not known yet).
class StreamingSmoother {
public:
    struct Point {
        std::size_t index = 0;
        double value = 0.0;
        double slope = 0.0;  // per sample
    };

    explicit StreamingSmoother(const Smoothing& smoothing);

    // Adds the next sample; appends the points it completes to `out`.
    void push(double y, std::vector<Point>& out);
    // Completes every sample not yet given back. The smoother then starts over.
    void finish(std::vector<Point>& out);
    // How many samples a point waits for after its own.
    [[nodiscard]] std::size_t delay() const { return half_; }

private:
    [[nodiscard]] Point pointFrom(std::size_t first, std::size_t index, int offset) const;

    Smoothing smoothing_;
    std::size_t half_ = 0;
    std::vector<double> value_;  // centre weights
    std::vector<double> slope_;
    std::vector<double> recent_;  // the last window of samples, oldest first once full
    std::size_t start_ = 0;       // where the oldest sits in recent_
    std::size_t pushed_ = 0;
    std::size_t given_ = 0;       // points given back so far
};

}  // namespace corvane
