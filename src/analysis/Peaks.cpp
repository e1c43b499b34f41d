#include "analysis/Peaks.h"

#include <algorithm>
#include <cstdint>

namespace corvane {

namespace {

// Where the signal turns: a top or a bottom (the middle sample of a flat
// one), or one of its two ends. Between a peak and
// anything taller the lowest point is a bottom or an end, and between a
// valley and anything deeper the highest point is a top or an end, so every
// prominence comes from the turns alone: far fewer than the samples of a
// smoothed signal, and one list serves both peaks and valleys.
struct Turn {
    double value;
    std::uint32_t index;
    bool top;
    bool bottom;
};

// The turns among samples from..to (both included), told by their real
// neighbours; the signal's first and last samples are ends.
void addTurns(std::span<const double> y, std::size_t from, std::size_t to, std::vector<Turn>& turns) {
    const std::size_t n = y.size();
    const auto end = [&](std::size_t i) { turns.push_back({y[i], static_cast<std::uint32_t>(i), false, false}); };
    for (std::size_t start = from; start <= to;) {
        const double here = y[start];
        std::size_t last = start;  // the flat stretch start..last
        while (last + 1 < n && y[last + 1] == here) {
            ++last;
        }
        if (start == 0) {
            end(0);
        } else if (last == n - 1) {
            end(n - 1);
            return;
        } else if (y[start - 1] != here) {
            const double before = y[start - 1];
            const double after = y[last + 1];
            const auto middle = static_cast<std::uint32_t>(start + (last - start) / 2);
            if (before < here && after < here) {
                turns.push_back({here, middle, true, false});
            } else if (before > here && after > here) {
                turns.push_back({here, middle, false, true});
            }
        }
        start = last + 1;
    }
    if (to == n - 1 && turns.back().index != n - 1) {
        end(n - 1);  // the whole signal was one flat stretch
    }
}

std::vector<Turn> turnsOf(std::span<const double> y) {
    std::vector<Turn> turns;
    turns.reserve(y.size() / 2 + 2);  // at most every other sample turns
    addTurns(y, 0, y.size() - 1, turns);
    return turns;
}

// The turns that can matter for prominences of at least `threshold` (above
// 0): only where the signal swings by that much does a peak or valley stand
// out by that much, so between the first and the last swing it is enough to
// keep, in each stretch between two swings of the other kind, its highest
// (lowest) samples; the lesser turns there can neither reach the threshold
// nor change what the others reach. Before the first swing every turn is
// kept. On a smoothed noisy signal this leaves a handful of turns out of
// hundreds of thousands.
std::vector<Turn> swingTurnsOf(std::span<const double> y, double threshold) {
    const std::size_t n = y.size();
    struct Swing {
        bool top;
        std::size_t from;  // its samples' indices in `ties`
        std::size_t to;
    };
    std::vector<Swing> swings;
    std::vector<std::uint32_t> ties;  // every sample equal to a swing's extreme, in order
    std::vector<std::uint32_t> highs{0};
    std::vector<std::uint32_t> lows{0};
    double high = y[0];
    double low = y[0];
    enum class Looking { Either, Top, Bottom } looking = Looking::Either;
    const auto close = [&](bool top, std::vector<std::uint32_t>& at) {
        swings.push_back({top, ties.size(), ties.size() + at.size()});
        ties.insert(ties.end(), at.begin(), at.end());
    };
    for (std::size_t i = 1; i < n; ++i) {
        const double v = y[i];
        const auto index = static_cast<std::uint32_t>(i);
        if (v > high) {
            high = v;
            highs.assign(1, index);
        } else if (v == high) {
            highs.push_back(index);
        }
        if (v < low) {
            low = v;
            lows.assign(1, index);
        } else if (v == low) {
            lows.push_back(index);
        }
        // Differences as the prominences take them, so that a swing of
        // exactly the threshold is one.
        if (looking != Looking::Bottom && high - v >= threshold &&
            (looking == Looking::Top || highs.front() > lows.front())) {
            close(true, highs);
            looking = Looking::Bottom;
            low = v;
            lows.assign(1, index);
        } else if (looking != Looking::Top && v - low >= threshold &&
                   (looking == Looking::Bottom || lows.front() > highs.front())) {
            close(false, lows);
            looking = Looking::Top;
            high = v;
            highs.assign(1, index);
        }
    }
    std::vector<Turn> turns;
    if (swings.empty()) {
        return turnsOf(y);
    }
    addTurns(y, 0, ties[swings.front().from] - 1, turns);
    for (const Swing& swing : swings) {
        // Equal extremes side by side are one flat turn, at its middle.
        for (std::size_t k = swing.from; k < swing.to;) {
            std::size_t last = k;
            while (last + 1 < swing.to && ties[last + 1] == ties[last] + 1) {
                ++last;
            }
            const auto middle = static_cast<std::uint32_t>(ties[k] + (ties[last] - ties[k]) / 2);
            turns.push_back({y[ties[k]], middle, swing.top, !swing.top});
            k = last + 1;
        }
    }
    // After the last swing the signal never turns by the threshold again:
    // nothing there stands out, and for what came before only its lowest
    // point counts (after a top; its highest after a bottom), then its end.
    const std::size_t tail = ties[swings.back().to - 1] + 1;
    const bool afterTop = swings.back().top;
    std::size_t extreme = tail;
    for (std::size_t i = tail + 1; i < n; ++i) {
        if (afterTop ? y[i] < y[extreme] : y[i] > y[extreme]) {
            extreme = i;
        }
    }
    if (extreme < n - 1) {
        turns.push_back({y[extreme], static_cast<std::uint32_t>(extreme), false, false});
    }
    turns.push_back({y[n - 1], static_cast<std::uint32_t>(n - 1), false, false});
    return turns;
}

// The prominent tops (sign +1) or bottoms (sign -1, the signal upside down).
// For each, the lowest turn between it and the nearest strictly higher turn
// on either side (or that side's end): a pass each way with a stack of turns
// not yet overtaken, each carrying the lowest of the stretch it stands for,
// so that every turn is pushed and popped once a pass.
struct Lowest {
    double value;
    std::size_t index;
};

std::vector<Extremum> prominent(const std::vector<Turn>& turns, double sign, double minProminence) {
    struct Entry {
        double value;
        Lowest lowest;
    };
    const std::size_t n = turns.size();
    const bool wantTops = sign > 0.0;
    std::vector<Lowest> left(n);
    std::vector<Entry> stack;
    const auto pass = [&](std::size_t k) {
        const double here = sign * turns[k].value;
        Lowest lowest{here, turns[k].index};
        while (!stack.empty() && stack.back().value <= here) {
            if (stack.back().lowest.value < lowest.value) {
                lowest = stack.back().lowest;
            }
            stack.pop_back();
        }
        stack.push_back({here, lowest});
        return lowest;
    };
    for (std::size_t k = 0; k < n; ++k) {
        left[k] = pass(k);
    }
    stack.clear();
    std::vector<Extremum> found;
    for (std::size_t k = n; k-- > 0;) {
        const Lowest right = pass(k);
        if (wantTops ? !turns[k].top : !turns[k].bottom) {
            continue;
        }
        const double prominence = sign * turns[k].value - std::max(left[k].value, right.value);
        if (prominence >= minProminence) {
            found.push_back({turns[k].index, prominence, left[k].index, right.index});
        }
    }
    std::reverse(found.begin(), found.end());
    return found;
}

}  // namespace

PeaksAndValleys findPeaksAndValleys(std::span<const double> y, double minProminence) {
    PeaksAndValleys found;
    if (y.size() < 3) {
        return found;
    }
    const auto turns = minProminence > 0.0 ? swingTurnsOf(y, minProminence) : turnsOf(y);
    found.peaks = prominent(turns, 1.0, minProminence);
    found.valleys = prominent(turns, -1.0, minProminence);
    return found;
}

std::vector<Extremum> findPeaks(std::span<const double> y, double minProminence) {
    return findPeaksAndValleys(y, minProminence).peaks;
}

std::vector<Extremum> findValleys(std::span<const double> y, double minProminence) {
    return findPeaksAndValleys(y, minProminence).valleys;
}

std::optional<ExtremaTracker::Turn> ExtremaTracker::push(std::size_t index, double value) {
    if (!started_) {
        started_ = true;
        high_ = {index, value, true};
        low_ = {index, value, false};
        return std::nullopt;
    }
    if (value > high_.value) {
        high_ = {index, value, true};
    }
    if (value < low_.value) {
        low_ = {index, value, false};
    }
    // The same differences as a prominence's, as findPeaksAndValleys takes its swings.
    if (looking_ != Looking::Valley && high_.value - value >= prominence_ &&
        (looking_ == Looking::Peak || high_.index > low_.index)) {
        const Turn peak = high_;
        looking_ = Looking::Valley;
        low_ = {index, value, false};
        return peak;
    }
    if (looking_ != Looking::Peak && value - low_.value >= prominence_ &&
        (looking_ == Looking::Valley || low_.index > high_.index)) {
        const Turn valley = low_;
        looking_ = Looking::Peak;
        high_ = {index, value, true};
        return valley;
    }
    return std::nullopt;
}

}  // namespace corvane
