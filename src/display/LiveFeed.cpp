#include "display/LiveFeed.h"

#include "app/Clock.h"
#include "app/WindowPoster.h"

namespace corvane {

LiveFeed::LiveFeed(Clock& clock, WindowPoster& window) : clock_(clock), window_(window) {}

void LiveFeed::add(const SampleRecord& record) {
    bool postReadouts = false;
    {
        const std::scoped_lock lock(mutex_);
        if (paused_) {
            return;
        }
        latest_ = record;
        ring_.add(record);
        const auto now = clock_.nowMs();
        if (!readoutPosted_ || now - lastReadoutPostMs_ >= kReadoutIntervalMs) {
            readoutPosted_ = true;
            lastReadoutPostMs_ = now;
            postReadouts = true;
        }
    }
    postLiveData();
    if (postReadouts) {
        window_.post(UserMsg::Readouts);
    }
}

void LiveFeed::clear() {
    {
        const std::scoped_lock lock(mutex_);
        ring_.clear();
        ++generation_;
    }
    postLiveData();
}

void LiveFeed::postLiveData() {
    if (!liveDataPosted_.exchange(true)) {
        window_.post(UserMsg::LiveData);
    }
}

void LiveFeed::setPaused(bool paused) {
    const std::scoped_lock lock(mutex_);
    paused_ = paused;
}

std::optional<SampleRecord> LiveFeed::latest() const {
    const std::scoped_lock lock(mutex_);
    return latest_;
}

int LiveFeed::stored() const {
    const std::scoped_lock lock(mutex_);
    return ring_.stored();
}

std::int64_t LiveFeed::total() const {
    const std::scoped_lock lock(mutex_);
    return ring_.total();
}

std::uint64_t LiveFeed::generation() const {
    const std::scoped_lock lock(mutex_);
    return generation_;
}

std::vector<std::int64_t> LiveFeed::storedNumbers() const {
    const std::scoped_lock lock(mutex_);
    std::vector<std::int64_t> numbers;
    numbers.reserve(static_cast<std::size_t>(ring_.stored()));
    for (int i = 0; i < ring_.stored(); ++i) {
        numbers.push_back(ring_.at(i).number);
    }
    return numbers;
}

}  // namespace corvane
