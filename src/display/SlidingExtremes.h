#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace corvane {

// The lowest and highest value of a window that takes new entries at one
// end and lets go of old ones at the other, each entry keyed by an
// increasing number (a sample number). A live run's auto-scale needs the
// extremes of the newest 25000 samples after every sample; scanning them all
// each time would cost what the rest of the sample does many times over.
// Each entry is added and removed at most once, so both ends cost constant
// time on average.
class SlidingExtremes {
public:
    // An entry whose own lowest and highest value are lo and hi (a sample
    // with several channels).
    void push(std::int64_t key, double lo, double hi) {
        while (!lows_.empty() && lows_.back().second >= lo) {
            lows_.pop_back();
        }
        lows_.emplace_back(key, lo);
        while (!highs_.empty() && highs_.back().second <= hi) {
            highs_.pop_back();
        }
        highs_.emplace_back(key, hi);
    }
    // Lets go of every entry whose key is below `key`.
    void dropBefore(std::int64_t key) {
        while (!lows_.empty() && lows_.front().first < key) {
            lows_.pop_front();
        }
        while (!highs_.empty() && highs_.front().first < key) {
            highs_.pop_front();
        }
    }
    void clear() {
        lows_.clear();
        highs_.clear();
    }
    [[nodiscard]] bool empty() const { return lows_.empty(); }
    // Nothing while the window is empty.
    [[nodiscard]] std::optional<double> low() const {
        return lows_.empty() ? std::nullopt : std::optional(lows_.front().second);
    }
    [[nodiscard]] std::optional<double> high() const {
        return highs_.empty() ? std::nullopt : std::optional(highs_.front().second);
    }

private:
    // Increasing keys; lows_ with increasing values, highs_ with decreasing.
    std::deque<std::pair<std::int64_t, double>> lows_;
    std::deque<std::pair<std::int64_t, double>> highs_;
};

}  // namespace corvane
