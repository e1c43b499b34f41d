#include "setup/StepGroups.h"

#include <algorithm>

#include "app/Clock.h"

namespace corvane {

int StepGroups::addGroup(std::vector<int> controls, int top, bool numbered) {
    if (count() >= kMaxGroups || static_cast<int>(controls.size()) > kMaxControls) {
        return 0;
    }
    groups_.push_back({std::move(controls), top, numbered, false});
    return count();
}

bool StepGroups::numbered(int step) const { return valid(step) && groups_[static_cast<std::size_t>(step - 1)].numbered; }

int StepGroups::top(int step) const { return valid(step) ? groups_[static_cast<std::size_t>(step - 1)].top : 0; }

void StepGroups::setTop(int step, int top) {
    if (valid(step)) {
        groups_[static_cast<std::size_t>(step - 1)].top = top;
    }
}

const std::vector<int>& StepGroups::controls(int step) const {
    static const std::vector<int> none;
    return valid(step) ? groups_[static_cast<std::size_t>(step - 1)].controls : none;
}

bool StepGroups::enable(int step) {
    if (!valid(step) || done(step) || locked(step)) {
        return false;
    }
    enabled_ = step;
    return true;
}

bool StepGroups::controlEnabled(int control) const {
    const auto& mine = controls(enabled_);
    return std::find(mine.begin(), mine.end(), control) != mine.end();
}

void StepGroups::markDone(int step) { switchOff(step, &Group::done); }

bool StepGroups::done(int step) const { return valid(step) && groups_[static_cast<std::size_t>(step - 1)].done; }

void StepGroups::lock(int step) { switchOff(step, &Group::locked); }

void StepGroups::switchOff(int step, bool Group::*flag) {
    if (!valid(step)) {
        return;
    }
    groups_[static_cast<std::size_t>(step - 1)].*flag = true;
    if (enabled_ == step) {
        enabled_ = 0;
    }
}

void StepGroups::unlock(int step) {
    if (valid(step)) {
        groups_[static_cast<std::size_t>(step - 1)].locked = false;
    }
}

bool StepGroups::locked(int step) const {
    return valid(step) && groups_[static_cast<std::size_t>(step - 1)].locked;
}

int StepGroups::clickAt(int y) {
    int best = 0;
    for (int step = 1; step <= count(); ++step) {
        if (top(step) <= y && (best == 0 || top(step) > top(best))) {
            best = step;
        }
    }
    return best != 0 && enable(best) ? best : 0;
}

PageTicker::PageTicker(Clock& clock, std::function<void()> tick)
    : thread_([&clock, tick = std::move(tick)](std::stop_token stop) {
          while (clock.sleepMs(kPeriodMs, stop) && !stop.stop_requested()) {
              tick();
          }
      }) {}

PageTicker::~PageTicker() { stop(); }

void PageTicker::stop() {
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace corvane
