#pragma once

#include <cstdint>
#include <vector>

#include "runs/SampleRecord.h"

namespace corvane {

// The live ring buffers of the main window: the newest samples of the run
// on show, each with its sample number. Not thread-safe; the window's logic
// guards it.
class LiveSamples {
public:
    // "bufsize": when the write index reaches it, it wraps to 0 and the
    // oldest samples are overwritten.
    static constexpr int kSize = 25000;

    struct Point {
        SampleRecord record;
        std::int64_t number = 0;  // 0 for the first sample since the last clear
        double event = 0.0;       // DE-1: 1.0 for a marked sample
    };

    LiveSamples();

    void add(const SampleRecord& record, double event = 0.0);
    void clear();

    // Samples held: the total, at most kSize.
    [[nodiscard]] int stored() const;
    // Samples added since the last clear.
    [[nodiscard]] std::int64_t total() const { return total_; }
    // Where the next sample goes.
    [[nodiscard]] int writeIndex() const { return write_; }
    // i = 0 is the oldest sample held, stored() - 1 the newest.
    [[nodiscard]] const Point& at(int i) const;
    [[nodiscard]] const Point& newest() const { return at(stored() - 1); }

private:
    std::vector<Point> points_;
    int write_ = 0;
    std::int64_t total_ = 0;
};

}  // namespace corvane
