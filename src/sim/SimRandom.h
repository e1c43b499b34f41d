#pragma once

#include <cmath>
#include <cstdint>

namespace corvane {

// A small seeded generator (splitmix64) whose sequence is the same on every
// platform and standard library, so simulated runs repeat exactly.
class SimRandom {
public:
    explicit SimRandom(std::uint64_t seed = 1) : state_(seed) {}

    [[nodiscard]] std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    [[nodiscard]] double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    // Standard normal (Box-Muller).
    [[nodiscard]] double gaussian() {
        const double u1 = 1.0 - uniform();  // (0, 1]
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

private:
    std::uint64_t state_;
};

}  // namespace corvane
