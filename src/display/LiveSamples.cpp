#include "display/LiveSamples.h"

namespace corvane {

LiveSamples::LiveSamples() : points_(static_cast<std::size_t>(kSize)) {}

void LiveSamples::add(const SampleRecord& record, double event) {
    Point& point = points_[static_cast<std::size_t>(write_)];
    point.record = record;
    point.number = total_;
    point.event = event;
    ++total_;
    if (++write_ == kSize) {
        write_ = 0;
    }
}

void LiveSamples::clear() {
    write_ = 0;
    total_ = 0;
}

int LiveSamples::stored() const { return total_ < kSize ? static_cast<int>(total_) : kSize; }

const LiveSamples::Point& LiveSamples::at(int i) const {
    // Before the first wrap the oldest sample sits at 0; after it, at the
    // write index.
    const int first = total_ < kSize ? 0 : write_;
    return points_[static_cast<std::size_t>((first + i) % kSize)];
}

}  // namespace corvane
