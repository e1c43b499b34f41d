#pragma once

#include <cstdint>

namespace corvane {

class Clock;

// The "-" and "+" buttons of the gain and offset panels: one press steps
// once; a step that comes within 150 ms of the previous one (the button held
// down) grows by one more unit each time, so the change accelerates; a pause
// of more than 150 ms starts again at one unit.
class RepeatStepper {
public:
    static constexpr std::int64_t kRepeatMs = 150;

    explicit RepeatStepper(const Clock& clock) : clock_(clock) {}

    // How many units this step moves (1, 2, 3, ... while held).
    [[nodiscard]] int nextUnits();

private:
    const Clock& clock_;
    bool any_ = false;
    std::int64_t lastMs_ = 0;
    int units_ = 0;
};

// A y offset step: a quarter of the offset, never less than one pixel's
// worth of the y range (range / plot height), times the stepper's units.
[[nodiscard]] double offsetStep(double offset, double yRange, int plotHeight, int units);

}  // namespace corvane
