#pragma once

// What the main window's benchmarks feed a live run with: samples of a
// gradient profile with a little noise, and a window that takes no posts.

#include <cmath>
#include <cstdint>

#include "app/WindowPoster.h"
#include "runs/SampleRecord.h"

namespace corvane::bench {

class NoPoster : public WindowPoster {
public:
    void post(UserMsg, std::int64_t, std::int64_t, std::any) override {}
};

// Sample i of a run moving 0.004 mm a sample.
[[nodiscard]] inline SampleRecord liveSample(int i) {
    SampleRecord r;
    r.sampleA = 900000 + static_cast<std::uint32_t>(i % 1000);
    r.sourceA = 1000000;
    r.sampleB = 800000;
    r.sourceB = 1000000;
    r.absorbanceA = 0.1 + 0.05 * std::sin(i * 0.01) + 0.002 * std::sin(i * 1.7);
    r.absorbanceB = 0.08 + 0.01 * std::cos(i * 0.013);
    r.positionA = i * 0.004;
    r.positionB = r.positionA + 0.002;
    return r;
}

}  // namespace corvane::bench
