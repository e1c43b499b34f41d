#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace corvane {

// Tells the views that listen that what they show has changed; each reads
// what it needs afterwards (a notice carries nothing). A view keeps the
// token listen() gives it: dropping the token ends the listening, and the
// token may outlive the notice (a window's panels go after its logic).
//
// Threads: the thread that owns the logic object, listeners included.
class ChangeNotice {
public:
    using Token = std::shared_ptr<const std::function<void()>>;

    [[nodiscard]] Token listen(std::function<void()> listener) {
        auto token = std::make_shared<const std::function<void()>>(std::move(listener));
        listeners_.push_back(token);
        return token;
    }

    void notify() {
        // A listener may start or end listening meanwhile: the calls go to
        // those listening when the notice began.
        std::erase_if(listeners_, [](const auto& weak) { return weak.expired(); });
        const auto listeners = listeners_;
        for (const auto& weak : listeners) {
            if (const auto listener = weak.lock()) {
                (*listener)();
            }
        }
    }

private:
    std::vector<std::weak_ptr<const std::function<void()>>> listeners_;
};

}  // namespace corvane
