#pragma once

namespace corvane {

struct Cmd0;

// The unit's settings a run file header records, taken from the last settings
// packet the unit sent. All values are plain host-order numbers.
struct DeviceSettings {
    int potValue = 0;          // the "pC" gain 1..7; pC = 50 x pot value
    int dutyCycleA = 0;        // channel A's share of the A:B duty cycle, percent
    int sampleIntervalMs = 0;  // integration time
    int scanSpeed = 0;         // tenths of mm/s
    int scanDistance = 0;      // hundredths of mm

    bool operator==(const DeviceSettings&) const = default;
};

// The settings of the last settings packet received from the unit.
[[nodiscard]] DeviceSettings deviceSettingsFrom(const Cmd0& cmd0);

}  // namespace corvane
