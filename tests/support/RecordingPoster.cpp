#include "RecordingPoster.h"

#include <algorithm>

namespace corvane::test {

void RecordingPoster::post(UserMsg msg, std::int64_t a, std::int64_t b, std::any payload) {
    {
        std::scoped_lock lock(mutex_);
        messages_.push_back({msg, a, b, std::move(payload)});
    }
    posted_.notify_all();
}

std::vector<PostedMessage> RecordingPoster::messages() const {
    std::scoped_lock lock(mutex_);
    return messages_;
}

int RecordingPoster::count(UserMsg msg) const {
    std::scoped_lock lock(mutex_);
    return static_cast<int>(std::count_if(messages_.begin(), messages_.end(),
                                          [msg](const auto& m) { return m.msg == msg; }));
}

bool RecordingPoster::waitFor(UserMsg msg, int n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return posted_.wait_for(lock, timeout, [&] {
        return std::count_if(messages_.begin(), messages_.end(),
                             [msg](const auto& m) { return m.msg == msg; }) >= n;
    });
}

void RecordingPoster::clear() {
    std::scoped_lock lock(mutex_);
    messages_.clear();
}

}  // namespace corvane::test
