#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class Clock;

// What one click of a number field's spin arrows does (CMySpinButtonCtrl):
// the field is read as "%lf" (text that does not scan is left alone), moved
// by the step and written back with the configured decimals. With
// acceleration, a click that follows the previous one within 200 ms steps by
// a fifth of the value instead, when that is not less than the base step, so
// a held arrow covers large values quickly. The limits hold the value.
class SpinStepper {
public:
    static constexpr std::int64_t kRapidClickMs = 200;
    static constexpr double kRapidShare = 0.2;

    struct Config {
        double step = 1.0;
        int decimals = 2;
        bool accelerate = false;
        std::optional<double> lower;
        std::optional<double> upper;
    };

    SpinStepper(Clock& clock, Config config);

    // The field's new text, or nothing when it does not hold a number.
    [[nodiscard]] std::optional<std::string> click(std::string_view text, bool up);
    [[nodiscard]] const Config& config() const { return config_; }

private:
    Clock& clock_;
    Config config_;
    std::optional<std::int64_t> lastClickMs_;
};

}  // namespace corvane
