#pragma once

#include <compare>
#include <functional>

namespace corvane {

// A local date and time as the run files write it: calendar year, month 1-12,
// day 1-31, hour, minute, second. Ordered oldest first.
struct CalendarTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    auto operator<=>(const CalendarTime&) const = default;
};

// The local calendar time now.
[[nodiscard]] CalendarTime localCalendarTime();

// Where a writer takes "now" from; tests hand in a fixed time.
using CalendarSource = std::function<CalendarTime()>;

}  // namespace corvane
