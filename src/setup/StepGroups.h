#pragma once

#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

namespace corvane {

class Clock;

// The numbered steps of a step page (CUIDlg: LED SETUP, SCANNING SETUP):
// up to five groups of up to 40 controls, each with an optional numbered
// button ("%d", from 1) beside its top control. One step is enabled at a
// time: enabling step n enables its controls and button and disables every
// other group's. A step marked done can no longer be enabled, nor one locked
// until it is unlocked. A click on the page enables the step it falls in.
//
// Controls are the view's ids; this class only decides which are enabled.
class StepGroups {
public:
    static constexpr int kMaxGroups = 5;
    static constexpr int kMaxControls = 40;

    // A group whose controls begin at height top (page coordinates, growing
    // downwards). Its step number, or 0 when five groups exist already or
    // it has more than 40 controls.
    int addGroup(std::vector<int> controls, int top, bool numbered);
    [[nodiscard]] int count() const { return static_cast<int>(groups_.size()); }
    [[nodiscard]] bool numbered(int step) const;
    [[nodiscard]] int top(int step) const;
    // The group's controls moved (a window laid out again).
    void setTop(int step, int top);
    [[nodiscard]] const std::vector<int>& controls(int step) const;

    // False, changing nothing, for a step that is done or does not exist.
    bool enable(int step);
    // The enabled step, 0 for none.
    [[nodiscard]] int enabled() const { return enabled_; }
    [[nodiscard]] bool controlEnabled(int control) const;
    // A done step is disabled at once and stays so.
    void markDone(int step);
    [[nodiscard]] bool done(int step) const;
    // A locked step cannot be enabled, by its button or a click, until it is
    // unlocked (the step before it has been done right: LED SETUP's first
    // OK, SCANNING SETUP's ROTOR OK).
    void lock(int step);
    void unlock(int step);
    [[nodiscard]] bool locked(int step) const;
    // A click at height y enables the step whose controls begin nearest
    // above it (the group the click falls in) unless it is locked; the step
    // enabled, or 0. Where the click and the lock meet, the lock wins.
    int clickAt(int y);

private:
    struct Group {
        std::vector<int> controls;
        int top = 0;
        bool numbered = false;
        bool done = false;
        bool locked = false;
    };
    [[nodiscard]] bool valid(int step) const { return step >= 1 && step <= count(); }
    // Sets a done or locked flag; the step goes off if it is the one enabled.
    void switchOff(int step, bool Group::*flag);

    std::vector<Group> groups_;
    int enabled_ = 0;
};

// The step pages' periodic refresh: a thread that calls tick every 1000 ms
// of clock time until stopped. A stop wakes it at once; the destructor
// stops it and waits for it, so tick never runs after the page has gone.
class PageTicker {
public:
    static constexpr std::int64_t kPeriodMs = 1000;

    PageTicker(Clock& clock, std::function<void()> tick);
    ~PageTicker();
    PageTicker(const PageTicker&) = delete;
    PageTicker& operator=(const PageTicker&) = delete;

    void stop();

private:
    std::jthread thread_;
};

}  // namespace corvane
