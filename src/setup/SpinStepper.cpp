#include "setup/SpinStepper.h"

#include <algorithm>

#include "app/Clock.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"

namespace corvane {

SpinStepper::SpinStepper(Clock& clock, Config config) : clock_(clock), config_(std::move(config)) {}

std::optional<std::string> SpinStepper::click(std::string_view text, bool up) {
    const std::int64_t now = clock_.nowMs();
    const bool rapid = lastClickMs_ && now - *lastClickMs_ < kRapidClickMs;
    lastClickMs_ = now;
    const auto value = scanDouble(text);
    if (!value) {
        return std::nullopt;
    }
    double step = config_.step;
    if (config_.accelerate && rapid && kRapidShare * *value >= config_.step) {
        step = kRapidShare * *value;
    }
    double next = up ? *value + step : *value - step;
    if (config_.lower) {
        next = std::max(next, *config_.lower);
    }
    if (config_.upper) {
        next = std::min(next, *config_.upper);
    }
    return formatText("%.*f", config_.decimals, next);
}

}  // namespace corvane
