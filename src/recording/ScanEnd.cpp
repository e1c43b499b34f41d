#include "recording/ScanEnd.h"

#include <cmath>

#include "base/TextFormat.h"

namespace corvane {

void ScanEndWatch::start(std::optional<double> scanDistanceMm, std::optional<double> startMm) {
    armed_ = scanDistanceMm.has_value() && *scanDistanceMm > 0.0;
    distance_ = scanDistanceMm.value_or(0.0);
    start_ = startMm;
    stillSince_.reset();
    moved_ = false;
    travelled_ = 0.0;
}

bool ScanEndWatch::note(double pistonMm, double speedMmPerS, std::int64_t nowMs) {
    if (!armed_ || !std::isfinite(pistonMm)) {
        return false;
    }
    if (!start_) {
        start_ = pistonMm;
    }
    travelled_ = pistonMm - *start_;
    const bool still = speedMmPerS == 0.0;
    moved_ = moved_ || speedMmPerS > 0.0;
    if (!still || !moved_ || travelled_ < distance_ - kSlackMm) {
        stillSince_.reset();
        return false;
    }
    if (!stillSince_) {
        stillSince_ = nowMs;
    }
    if (nowMs - *stillSince_ < kStillMs) {
        return false;
    }
    armed_ = false;
    return true;
}

std::string scanEndText(double travelledMm) {
    return formatText("End of the scan: the piston stopped after %.2f mm.", travelledMm);
}

std::string pistonReturnText(double pistonMm, double speedMmPerS) {
    if (!(speedMmPerS < 0.0) || !(pistonMm > 0.0)) {
        return {};
    }
    const double seconds = pistonMm / -speedMmPerS;
    return formatText("Piston returning to the upper limit: %.1f mm, about %.0f s left", pistonMm, std::ceil(seconds));
}

}  // namespace corvane
