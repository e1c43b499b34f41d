#pragma once

// What a profile's areas and heights are measured from. The level a profile
// sits at before and after the gradient differ (the gradient itself absorbs,
// the chase behind it may too), and a P/M ratio moves a good deal with that
// choice alone, so the choice is the user's and is always reported. A fitted
// baseline is a value the window can show and let the user drag: a level, or
// a line through two points.

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runs/Profile.h"

namespace corvane {

enum class BaselineKind {
    Constant,  // a level the user gives
    Start,     // the median of the profile's first samples: the level before the gradient
    End,       // the median of its last samples: the level after it
    Line,      // the line through the medians of two windows
    Blank,     // a blank gradient's profile, lined up with this one and read at its x
};

// "constant", "start", "end", "line", "blank".
[[nodiscard]] const char* baselineKindName(BaselineKind kind);

struct BaselineChoice {
    // The share of the profile's samples a start or end window takes, and
    // the fewest samples it takes.
    static constexpr double kEdgeShare = 0.02;
    static constexpr std::size_t kEdgeMinSamples = 5;

    BaselineKind kind = BaselineKind::Start;
    double level = 0.0;               // Constant
    std::array<double, 4> windows{};  // Line: x from..to of the first window, then of the second
    // Line: the two points (x, level, x, level) it runs through when given
    // (a line dragged on the graph), instead of the windows' medians.
    std::optional<std::array<double, 4>> points;
    std::shared_ptr<const Profile> blank;  // Blank
};

struct Baseline {
    BaselineKind kind = BaselineKind::Constant;
    // Constant, Start, End: the level everywhere. Line: the level at fromX;
    // the line runs through (fromX, level) and (toX, toLevel), and on beyond.
    double level = 0.0;
    double fromX = 0.0;
    double toX = 0.0;
    double toLevel = 0.0;
    // Blank: the blank's value at each sample of the profile, and the x
    // shift that lined the blank up (added to the blank's x).
    std::vector<double> blankLevels;
    double blankShift = 0.0;

    // The baseline under sample i, at x.
    [[nodiscard]] double at(std::size_t i, double x) const;
    // Under every sample.
    [[nodiscard]] std::vector<double> levels(std::span<const double> x) const;
    // Takes the baseline under each sample away from `values` (one per sample).
    void subtractFrom(std::span<const double> x, std::span<double> values) const;
};

// The baseline of a profile; nothing, with the reason in `problem`, when a
// window holds no sample, the two windows of a line share one x, or a blank
// has no sample.
[[nodiscard]] std::optional<Baseline> fitBaseline(const Profile& profile, const BaselineChoice& choice,
                                                  std::string& problem);

// The x shift that lines a blank gradient's profile up with a profile (to be
// added to the blank's x): where the two slopes agree best, which puts the
// blank's meniscus and ends on the profile's (the profile's peaks have no
// counterpart in the blank and weigh little). Searched within a tenth of the
// profile's span either way.
[[nodiscard]] double blankShift(const Profile& profile, const Profile& blank);

}  // namespace corvane
