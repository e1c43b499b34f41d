#include "setup/CalibratePage.h"

#include <cmath>

#include "app/Clock.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "link/UvLink.h"
#include "recording/SampleReader.h"
#include "setup/SetupUnit.h"

namespace corvane {

namespace {

// The reference must read at least this much below water (about 0.004 OD).
constexpr double kDarkerThanWater = 0.99;

// The line of one channel; nothing when it is undefined.
std::optional<std::array<double, 2>> line(double water, double reference, double referenceT) {
    // Noise keeps two readings of one liquid from ever being equal: a
    // reference that is not clearly darker than water was not the reference.
    const bool usable = std::isfinite(water) && std::isfinite(reference) && water > 0.0 &&
                        reference > 0.0 && reference < water * kDarkerThanWater;
    if (!usable) {
        return std::nullopt;
    }
    const double slope = (CalibratePage::kWaterT / water - referenceT / reference) / (water - reference);
    return std::array<double, 2>{slope, CalibratePage::kWaterT / water - slope * water};
}

}  // namespace

std::optional<CalibrationCurve> calibrationFrom(const ChannelRatios& water, const ChannelRatios& reference) {
    const auto a = line(water.a, reference.a, CalibratePage::kReferenceTA);
    const auto b = line(water.b, reference.b, CalibratePage::kReferenceTB);
    if (!a || !b) {
        return std::nullopt;
    }
    return CalibrationCurve{(*a)[0], (*a)[1], (*b)[0], (*b)[1]};
}

CalibratePage::CalibratePage(Env env) : env_(std::move(env)) {}

void CalibratePage::show(const std::string& text) {
    if (env_.status) {
        env_.status(text);
    }
}

std::optional<ChannelRatios> CalibratePage::measure(const char* what) {
    show(formatText("Doing %s calibration...", what));
    if (UvLink* l = env_.unit.link()) {
        l->FlushReceive();  // a fresh sample: nothing read before the prompt counts
    }
    UvLink* link = env_.unit.link();
    Clock& clock = env_.unit.clock();
    double sa = 0.0;
    double ra = 0.0;
    double sb = 0.0;
    double rb = 0.0;
    int samples = 0;
    const std::int64_t end = clock.nowMs() + kStepMs;
    std::int64_t shown = -1;
    for (;;) {
        const std::int64_t remaining = (end - clock.nowMs() + 900) / 1000;
        if (remaining <= 0) {
            break;
        }
        if (remaining != shown) {
            shown = remaining;
            show(formatText("Doing %s calibration, %u seconds remaining..", what,
                            static_cast<unsigned>(remaining)));
        }
        Cmd0 packet;
        if (link != nullptr && link->ReadCmd0(packet)) {
            sa += packet.ulATODADataA0;
            ra += packet.ulATODADataA1;
            sb += packet.ulATODADataB0;
            rb += packet.ulATODADataB1;
            ++samples;
        } else if (link != nullptr) {
            link->ParseHeartbeat();
        }
        if (!clock.sleepMs(PageReader::kTurnPauseMs)) {
            break;
        }
    }
    if (samples == 0 || ra == 0.0 || rb == 0.0) {
        return std::nullopt;
    }
    return ChannelRatios{sa / ra, sb / rb};
}

bool CalibratePage::calibrate() {
    const SetupUnit::Exclusive alone(env_.unit);
    if (!env_.unit.enterSetupMode()) {
        env_.prompter.message("Error, unable to turn on LEDs.");
        return false;
    }
    env_.prompter.message("Insert needles into pure water.");
    const auto water = measure("ZERO");
    if (!water) {
        show("");
        env_.prompter.message(
            "Error, no data arrived during the ZERO calibration. The previous calibration is kept.");
        return false;
    }
    env_.prompter.message("Insert needles into 1.00 (0.23) OD solution.");
    const auto reference = measure("1.00 (0.23) OD");
    show("");
    if (!reference) {
        env_.prompter.message(
            "Error, no data arrived during the 1.00 (0.23) OD calibration. The previous calibration is kept.");
        return false;
    }
    const auto curve = calibrationFrom(*water, *reference);
    if (!curve) {
        env_.prompter.message(
            "Error, the water and the 1.00 (0.23) OD readings are the same, so no calibration can be made "
            "from them. The previous calibration is kept.");
        return false;
    }
    SampleReader* reader = env_.unit.reader();
    if (reader == nullptr || !reader->SetCalibrationCurve(*curve)) {
        env_.prompter.message("Error, the calibration could not be applied while the unit was busy. "
                              "Please try again.");
        return false;
    }
    curve_ = curve;
    return true;
}

}  // namespace corvane
