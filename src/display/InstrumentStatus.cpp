#include "display/InstrumentStatus.h"

#include "app/Version.h"
#include "base/TextFormat.h"
#include "recording/ScanEnd.h"

namespace corvane {

void InstrumentStatus::setCaptionSuffix(std::string suffix) {
    const std::scoped_lock lock(mutex_);
    captionSuffix_ = std::move(suffix);
}

void InstrumentStatus::setDebugDisplayOn(bool on) {
    const std::scoped_lock lock(mutex_);
    debugDisplayOn_ = on;
}

std::string InstrumentStatus::caption(bool fileShown) const {
    const std::scoped_lock lock(mutex_);
    if (debugDisplayOn_ && !fileShown) {
        return formatText("Tellmar - # heart beats received: %d, # heart beats transmitted: %d",
                          heartbeatsReceived_, heartbeatsTransmitted_);
    }
    return formatText("Corvane version %s", kVersionText) + captionSuffix_;
}

void InstrumentStatus::onLinkStats(std::int32_t heartbeatsReceived,
                                   std::int32_t heartbeatsTransmitted, std::uint8_t upperLimitFlag,
                                   const std::optional<Cmd0>& lastCmd0) {
    const std::scoped_lock lock(mutex_);
    heartbeatsReceived_ = heartbeatsReceived;
    heartbeatsTransmitted_ = heartbeatsTransmitted;
    texts_.upperLimit =
        upperLimitFlag == 0 ? "Upper Limit Switch: Contact" : "Upper Limit Switch: No Contact";
    if (lastCmd0) {
        texts_.positionSpeed = formatText("Position %.2f mm  Speed %.2f mm/sec",
                                          lastCmd0->pistonMm(), lastCmd0->iPistonSpeed / 10.0);
        texts_.samplingRate =
            lastCmd0->uiIntegrationTime > 0
                ? formatText("A/D Sampling Rate: %.1f Hz", 1000.0 / lastCmd0->uiIntegrationTime)
                : std::string{};
        texts_.dutyCycle =
            formatText("Duty Cycle: %d:%d", lastCmd0->ucDutyCycleA, 100 - lastCmd0->ucDutyCycleA);
        texts_.potValue = formatText("pot pC Value: %d", lastCmd0->ucATODGain);
    }
}

void InstrumentStatus::showPositionAndSpeed(double positionMm, double speedMmPerS) {
    const std::scoped_lock lock(mutex_);
    texts_.positionSpeed = formatText("Position %.2f mm  Speed %.2f mm/sec", positionMm, speedMmPerS);
    texts_.pistonReturn = pistonReturnText(positionMm, speedMmPerS);
    if (speedMmPerS > 0.0) {
        texts_.scanEnd.clear();
    }
}

void InstrumentStatus::showScanEnd(double travelledMm) {
    const std::scoped_lock lock(mutex_);
    texts_.scanEnd = scanEndText(travelledMm);
}

void InstrumentStatus::setDe1Summary(std::string text) {
    const std::scoped_lock lock(mutex_);
    texts_.de1Summary = std::move(text);
}

void InstrumentStatus::clear() {
    const std::scoped_lock lock(mutex_);
    StatusTexts cleared;
    cleared.de1Summary = std::move(texts_.de1Summary);
    texts_ = std::move(cleared);
}

StatusTexts InstrumentStatus::texts() const {
    const std::scoped_lock lock(mutex_);
    return texts_;
}

}  // namespace corvane
