#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <thread>

namespace corvane::test {

// Runs the event loop until done() holds or the deadline has passed; the
// deadline is generous, for a loaded machine. False when it passed.
inline bool pumpUntil(const std::function<bool()>& done, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace corvane::test
