#include "analysis/LandmarkRegions.h"

#include <algorithm>


namespace corvane {

namespace {

// Walks sample numbers down the gradient: forwards, or backwards for a
// profile recorded from the bottom up.
struct Walk {
    std::size_t size;
    bool reversed;

    [[nodiscard]] std::size_t start() const { return reversed ? size - 1 : 0; }
    [[nodiscard]] std::size_t end() const { return reversed ? 0 : size - 1; }
    [[nodiscard]] bool atEnd(std::size_t i) const { return i == end(); }
    [[nodiscard]] std::size_t next(std::size_t i) const { return reversed ? i - 1 : i + 1; }
};

std::size_t lowestBetween(std::span<const double> level, std::size_t a, std::size_t b) {
    const auto [from, to] = std::minmax(a, b);
    const auto first = level.begin() + static_cast<std::ptrdiff_t>(from);
    return static_cast<std::size_t>(std::min_element(first, level.begin() + static_cast<std::ptrdiff_t>(to) + 1) -
                                    level.begin());
}

// The first valley after the peak at i that the signal rises from by
// `prominence`; else the lowest point from i to the end.
std::size_t valleyAfter(std::span<const double> level, const Walk& walk, std::size_t i, double prominence) {
    std::size_t lowest = i;
    for (std::size_t k = i; !walk.atEnd(k);) {
        k = walk.next(k);
        if (level[k] < level[lowest]) {
            lowest = k;
        } else if (level[k] >= level[lowest] + prominence) {
            return lowest;
        }
    }
    return lowest;
}

Region between(std::string name, std::size_t a, std::size_t b) {
    const auto [from, to] = std::minmax(a, b);
    return {std::move(name), static_cast<double>(from), static_cast<double>(to)};
}

}  // namespace

std::vector<Region> landmarkRegions(const Landmarks& landmarks, std::span<const double> level, double returnLevel,
                                    double prominence, std::vector<std::string>& warnings) {
    std::vector<Region> regions;
    if (level.empty()) {
        return regions;
    }
    const Walk walk{level.size(), landmarks.reversed};
    const Landmark* monosome = landmarks.find("80S");
    if (monosome == nullptr) {
        regions.push_back(between("total", 0, level.size() - 1));
        return regions;
    }
    const auto& found = landmarks.found;
    // found holds top, (40S), (60S), 80S, 2, 3, ... in order down the gradient.
    std::size_t m = 0;
    while (found[m].name != "80S") {
        ++m;
    }
    std::vector<std::size_t> valleys;  // valleys[k]: after found[k]
    for (std::size_t k = 0; k + 1 < found.size(); ++k) {
        valleys.push_back(lowestBetween(level, found[k].index, found[k + 1].index));
    }
    const bool series = m + 1 < found.size();
    const std::size_t afterMonosome =
        series ? valleys[m] : valleyAfter(level, walk, monosome->index, prominence);

    regions.push_back(between("top", walk.start(), valleys[0]));
    for (std::size_t k = 1; k < m; ++k) {
        regions.push_back(between(found[k].name, valleys[k - 1], valleys[k]));
    }
    regions.push_back(between("80S", valleys[m - 1], afterMonosome));

    // The polysomes end where the profile comes back down to its baseline
    // after the last of them.
    std::size_t last = series ? found.back().index : afterMonosome;
    std::size_t end = last;
    while (!walk.atEnd(end) && level[end] > returnLevel) {
        end = walk.next(end);
    }
    if (level[end] > returnLevel) {
        warnings.push_back("the profile does not come back to its baseline after the polysomes: "
                           "they are taken to its end");
    } else {
        // Down to the foot of the last slope, where it meets the baseline.
        while (!walk.atEnd(end) && level[walk.next(end)] < level[end]) {
            end = walk.next(end);
        }
    }
    regions.push_back(between("polysomes", afterMonosome, end));
    regions.push_back(between("total", valleys[0], end));
    return regions;
}

}  // namespace corvane
