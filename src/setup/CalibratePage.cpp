#include "setup/CalibratePage.h"

#include <array>
#include <cmath>
#include <limits>

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

// The line of one channel.
std::array<double, 2> line(double water, double reference, double referenceT) {
    const double slope = (CalibratePage::kWaterT / water - referenceT / reference) / (water - reference);
    return {slope, CalibratePage::kWaterT / water - slope * water};
}

}  // namespace

ChannelFault channelFault(double water, double reference) {
    if (!std::isfinite(water) || !std::isfinite(reference) || !(water > 0.0) || !(reference > 0.0)) {
        return ChannelFault::NoLight;
    }
    // Noise keeps two readings of one liquid from ever being equal: a
    // reference that is not clearly darker than water was not the reference,
    // and one clearly lighter was the water.
    if (reference * kDarkerThanWater > water) {
        return ChannelFault::Lighter;
    }
    return reference < water * kDarkerThanWater ? ChannelFault::None : ChannelFault::Same;
}

std::optional<CalibrationCurve> calibrationFrom(const ChannelRatios& water, const ChannelRatios& reference,
                                                CalibrationChannels channels, const CalibrationCurve& kept) {
    if ((channels.a && channelFault(water.a, reference.a) != ChannelFault::None) ||
        (channels.b && channelFault(water.b, reference.b) != ChannelFault::None)) {
        return std::nullopt;
    }
    CalibrationCurve curve = kept;
    if (channels.a) {
        const auto a = line(water.a, reference.a, CalibratePage::kReferenceTA);
        curve.c0 = a[0];
        curve.c1 = a[1];
    }
    if (channels.b) {
        const auto b = line(water.b, reference.b, CalibratePage::kReferenceTB);
        curve.c2 = b[0];
        curve.c3 = b[1];
    }
    return curve;
}

std::string calibrationSummary(const ChannelRatios& water, const ChannelRatios& reference,
                               CalibrationChannels channels, const CalibrationCurve& curve) {
    std::string text = "Calibration completed.\n";
    const auto channel = [&](char name, bool measured, double w, double r, const char* od, double slope,
                             double intercept) {
        text += measured ? formatText("\nChannel %c: water %.4f, %s OD reference %.4f (sample / source);\n"
                                      "slope %.6f, intercept %.6f",
                                      name, w, od, r, slope, intercept)
                         : formatText("\nChannel %c: not measured (no wavelength chosen for it); it keeps "
                                      "slope %.6f, intercept %.6f",
                                      name, slope, intercept);
    };
    channel('A', channels.a, water.a, reference.a, "1.00", curve.c0, curve.c1);
    channel('B', channels.b, water.b, reference.b, "0.23", curve.c2, curve.c3);
    return text;
}

std::string CalibratePage::faultText(ChannelFault fault, char channel) {
    switch (fault) {
        case ChannelFault::None: return {};
        case ChannelFault::NoLight:
            return formatText("Error, channel %c read no light during the calibration, so it cannot be calibrated. "
                              "Check its LED in LED SETUP. The previous calibration is kept.",
                              channel);
        case ChannelFault::Lighter:
            return formatText("Error, channel %c read the 1.00 (0.23) OD solution lighter than the pure water: the "
                              "two beakers were swapped. Please calibrate again with the needles in pure water "
                              "first. The previous calibration is kept.",
                              channel);
        case ChannelFault::Same: break;
    }
    return "Error, the water and the 1.00 (0.23) OD readings are the same, so no calibration can be made from "
           "them. The previous calibration is kept.";
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
    if (samples == 0) {
        return std::nullopt;
    }
    const auto ratio = [](double sample, double source) {
        return source > 0.0 ? sample / source : std::numeric_limits<double>::quiet_NaN();
    };
    return ChannelRatios{ratio(sa, ra), ratio(sb, rb)};
}

CalibrationCurve CalibratePage::currentCoefficients() const {
    const SampleReader* reader = env_.unit.reader();
    if (reader == nullptr) {
        return {0.0, 1.0, 0.0, 1.0};
    }
    if (const auto curve = reader->calibrationCurve()) {
        return *curve;
    }
    // -log10(r / k) is the line of slope 0 through 1 / k.
    const auto [kA, kB] = reader->sourceFactors();
    return {0.0, kA > 0.0 ? 1.0 / kA : 1.0, 0.0, kB > 0.0 ? 1.0 / kB : 1.0};
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
    const CalibrationChannels& channels = env_.channels;
    for (const char channel : {'A', 'B'}) {
        const bool a = channel == 'A';
        if (!(a ? channels.a : channels.b)) {
            continue;
        }
        if (const auto problem = faultText(channelFault(a ? water->a : water->b, a ? reference->a : reference->b),
                                           channel);
            !problem.empty()) {
            env_.prompter.message(problem);
            return false;
        }
    }
    const auto curve = calibrationFrom(*water, *reference, channels, currentCoefficients());
    if (!curve) {
        return false;  // every fault of a channel measured was told above
    }
    SampleReader* reader = env_.unit.reader();
    if (reader == nullptr || !reader->SetCalibrationCurve(*curve)) {
        env_.prompter.message("Error, the calibration could not be applied while the unit was busy. "
                              "Please try again.");
        return false;
    }
    curve_ = curve;
    // The operator sees what the beakers gave before the page moves on: a
    // reading far from the last one's tells of a wrong liquid or a bubble.
    env_.prompter.message(calibrationSummary(*water, *reference, channels, *curve));
    return true;
}

}  // namespace corvane
