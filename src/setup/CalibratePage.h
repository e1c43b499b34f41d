#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "recording/SampleArithmetic.h"

namespace corvane {

class Prompter;
class SetupUnit;

// The water and reference readings of one calibration step: sample over
// source of each channel, from the sums of the step's counts.
struct ChannelRatios {
    double a = 0.0;
    double b = 0.0;
};

// The channels a calibration measures: both, or the one LED SETUP was given
// a wavelength for (the other may see no light at all).
struct CalibrationChannels {
    bool a = true;
    bool b = true;
};

// Why one channel's readings make no line.
enum class ChannelFault {
    None,
    NoLight,  // a ratio that is not a positive number: no light reached it
    Lighter,  // the reference read lighter than water: the beakers swapped
    Same,     // the reference not clearly darker than water
};
[[nodiscard]] ChannelFault channelFault(double water, double reference);

// The two-point calibration: per channel the line through (water ratio,
// transmittance 1) and (reference ratio, its transmittance) of the corrected
// transmittance r x (slope r + intercept). Nothing when a channel measured
// has a fault (equal ratios leave the slope undefined; nearly equal ones
// make it noise). A channel not measured keeps its coefficients in kept.
[[nodiscard]] std::optional<CalibrationCurve> calibrationFrom(const ChannelRatios& water,
                                                              const ChannelRatios& reference,
                                                              CalibrationChannels channels = {},
                                                              const CalibrationCurve& kept = {});

// What a calibration found, told before the page moves on: each channel's
// water and reference ratios (sample / source) and its slope and intercept;
// a channel not measured is said to keep its line.
[[nodiscard]] std::string calibrationSummary(const ChannelRatios& water, const ChannelRatios& reference,
                                             CalibrationChannels channels, const CalibrationCurve& curve);

// The CALIBRATE page (CCalibrate2Dlg): pure water, then the 1.00/0.23 OD
// reference liquid, five seconds of counts each, and the coefficients the
// current data set uses from then on.
//
// Threads: calibrate() runs on the page's device worker with the link to
// itself; status is called there.
class CalibratePage {
public:
    static constexpr std::int64_t kStepMs = 5000;
    // Transmittance of water and of the reference liquid in each channel.
    static constexpr double kWaterT = 1.0;
    static constexpr double kReferenceTA = 0.1;
    static constexpr double kReferenceTB = 0.588843655;
    static constexpr const char* kInstructions =
        "Prepare two small beakers, one with pure water, and the other with 1.00/0.23 OD 260/280 liquid "
        "in it. The solution will have an OD of 1.00 at 260 nm and 0.23 at 280 nm, so both channels can "
        "be calibrated at the same time.";

    struct Env {
        Prompter& prompter;
        SetupUnit& unit;
        // The status line.
        std::function<void(const std::string&)> status;
        // With one wavelength only its channel is calibrated; the other
        // keeps what it reads with now.
        CalibrationChannels channels{};
    };

    explicit CalibratePage(Env env);

    // "OK": both steps, the coefficients handed to the data set and their
    // summary told. False after a message, the previous coefficients kept.
    bool calibrate();
    // What a channel's fault tells the operator ("" for none).
    [[nodiscard]] static std::string faultText(ChannelFault fault, char channel);
    // What the last successful calibration gave.
    [[nodiscard]] const std::optional<CalibrationCurve>& coefficients() const { return curve_; }

private:
    // One step's sums of sample and source counts per channel (not a
    // number for a channel without source light); nothing when no sample
    // came.
    [[nodiscard]] std::optional<ChannelRatios> measure(const char* what);
    // The coefficients the channels not calibrated keep: the curve in use,
    // else the line the zero factors draw.
    [[nodiscard]] CalibrationCurve currentCoefficients() const;
    void show(const std::string& text);

    Env env_;
    std::optional<CalibrationCurve> curve_;
};

}  // namespace corvane
