#pragma once

#include <QObject>
#include <functional>

#include "app/WindowPoster.h"

namespace corvane {

// Posting to a window: the message, its two numbers and its payload (by
// value) are queued onto the window's thread and handed to the window's
// handler there. Posts to a window that is gone are dropped.
class QtWindowPoster : public WindowPoster {
public:
    using Handler = std::function<void(UserMsg msg, std::int64_t a, std::int64_t b, const std::any& payload)>;

    // The handler runs on target's thread while target lives.
    QtWindowPoster(QObject& target, Handler handler);

    void post(UserMsg msg, std::int64_t a = 0, std::int64_t b = 0, std::any payload = {}) override;

private:
    QObject& target_;
    Handler handler_;
};

}  // namespace corvane
