#pragma once

#include <any>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/WindowPoster.h"

namespace corvane::test {

struct PostedMessage {
    UserMsg msg;
    std::int64_t a;
    std::int64_t b;
    std::any payload;
};

// A WindowPoster that keeps what was posted, for tests to read and wait on.
class RecordingPoster : public WindowPoster {
public:
    void post(UserMsg msg, std::int64_t a = 0, std::int64_t b = 0, std::any payload = {}) override;

    [[nodiscard]] std::vector<PostedMessage> messages() const;
    [[nodiscard]] int count(UserMsg msg) const;
    // Waits (real time) until at least n messages of this kind arrived.
    bool waitFor(UserMsg msg, int n = 1,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    void clear();

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable posted_;
    std::vector<PostedMessage> messages_;
};

}  // namespace corvane::test
