#include "setup/ScanSettingsForm.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "link/UvLink.h"

namespace corvane {

namespace {

constexpr const char* kRotors = "[rotors]";

// A key holds no blank; some model names do.
std::string rotorKeyOf(const std::string& model) {
    std::string key = model.empty() ? std::string(ScanSettingsForm::kGeneric) : model;
    std::replace(key.begin(), key.end(), ' ', '_');
    return key;
}

template <class T>
T rounded(double value) {
    return static_cast<T>(std::lround(value));
}

// "%lf:%lf".
std::optional<std::array<double, 2>> scanDuty(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const auto a = scanDouble(std::string_view(text).substr(0, colon));
    const auto b = scanDouble(std::string_view(text).substr(colon + 1));
    if (!a || !b) {
        return std::nullopt;
    }
    return std::array<double, 2>{*a, *b};
}

// The sample period a rate gives, rounded down to the unit's 10 ms steps.
int periodMsOf(int rate) { return (1000 / rate) / 10 * 10; }

}  // namespace

ScanSettingsForm::ScanSettingsForm(Env env) : env_(std::move(env)) {}

std::vector<std::string> ScanSettingsForm::pcEntries() { return {"50", "100", "150", "200", "250", "300", "350"}; }

std::string ScanSettingsForm::topLabel() const {
    return formatText("Distance From Upper Limit to Top of Tube (%s):", rotorKey_.c_str());
}

std::string ScanSettingsForm::bottomLabel() const {
    return formatText("Distance From Top to Bottom of Tube (%s):", rotorKey_.c_str());
}

void ScanSettingsForm::open(const std::string& rotorModel, const std::optional<Cmd0>& unit) {
    rotorKey_ = rotorKeyOf(rotorModel);
    const Preferences prefs(env_.startupFolder);
    const auto keys = prefs.scanKeys();
    // A key never stored (a new folder) shows what the unit runs with, not 0.
    const auto stored = [&](const char* key) {
        return !unit || prefs.store().getString("[scan]", key).has_value();
    };
    distance = formatText("%.2f", stored("distance") ? prefs.scanDistance() : unit->uiScanDist / 100.0);
    if (stored("a_dutycycle") || stored("b_dutycycle")) {
        dutyCycle = formatText("%.0f:%.0f", keys.dutyA, keys.dutyB);
    } else {
        dutyCycle = formatText("%d:%d", unit->ucDutyCycleA, 100 - unit->ucDutyCycleA);
    }
    speed = formatText("%.2f", stored("speed") ? prefs.scanSpeed() : unit->scanSpeed() / 10.0);
    if (stored("samplerate") || unit->uiIntegrationTime == 0) {
        sampleRate = formatText("%.0f", keys.sampleRate);
    } else {
        sampleRate = formatText("%d", 1000 / unit->uiIntegrationTime);
    }
    const int entry = stored("pcpotval") ? 6 - keys.pcPotValue : unit->ucATODGain - 1;
    pcEntry = entry >= 0 && entry < static_cast<int>(pcEntries().size()) ? entry : -1;
    std::array<double, 2> tube{};
    (void)prefs.store().getDoubleArray(kRotors, rotorKey_, tube);  // missing reads as 0
    topDistance = formatText("%.2f", tube[0]);
    bottomDistance = formatText("%.2f", tube[1]);
}

bool ScanSettingsForm::refuse(const std::string& text) {
    env_.prompter.message(text);
    return false;
}

int ScanSettingsForm::maxRateFor(double shareA) {
    const double shorter = std::min(shareA, 1.0 - shareA);
    for (int rate = kMaxRate; rate > kMinRate; --rate) {
        if (periodMsOf(rate) * shorter + 1e-9 >= kMinIntegrationMs) {
            return rate;
        }
    }
    return kMinRate;
}

std::optional<Cmd0Settings> ScanSettingsForm::apply(std::uint8_t rotorCode) {
    const auto scanMm = scanDouble(distance);
    if (!scanMm) {
        refuse("Error, invalid distance.");
        return std::nullopt;
    }
    const auto duty = scanDuty(dutyCycle);
    if (!duty) {
        refuse("Error, invalid duty cycle.");
        return std::nullopt;
    }
    const auto top = scanDouble(topDistance);
    if (!top) {
        refuse("Error, invalid distance to top of tube.");
        return std::nullopt;
    }
    const auto bottom = scanDouble(bottomDistance);
    if (!bottom) {
        refuse("Error, invalid distance from top of tube to bottom of tube.");
        return std::nullopt;
    }
    const double total = (*duty)[0] + (*duty)[1];
    const double shareA = total != 0.0 ? (*duty)[0] / total : -1.0;
    if (shareA < 0.1 || shareA > 0.9) {
        refuse("Error, duty cycle must be between 1:9 and 9:1.");
        return std::nullopt;
    }
    if (pcEntry < 0 || pcEntry >= static_cast<int>(pcEntries().size())) {
        refuse("Error, invalid PC pot value.");
        return std::nullopt;
    }
    const auto rateValue = scanDouble(sampleRate);
    if (!rateValue || *rateValue != std::floor(*rateValue) || *rateValue < kMinRate || *rateValue > kMaxRate) {
        refuse(formatText("Error, invalid sampling rate. Must be between %d and %d", kMinRate, kMaxRate));
        return std::nullopt;
    }
    const int rate = static_cast<int>(*rateValue);
    const auto speedValue = scanDouble(speed);
    if (!speedValue || *speedValue <= 0.0 || *speedValue > kMaxSpeed) {
        refuse(formatText("Error, invalid sampling speed. Must be between %.1f and %.1f", 0.0, kMaxSpeed));
        return std::nullopt;
    }
    if (rate > maxRateFor(shareA)) {
        refuse(formatText("Maximum sampling rate is only %d Hz for the requested duty cycle of %s",
                          maxRateFor(shareA), dutyCycle.c_str()));
        return std::nullopt;
    }

    Preferences prefs(env_.startupFolder);
    const int pot = pcEntry + 1;
    prefs.setScanDistance(*scanMm);
    prefs.setScanSpeed(*speedValue);
    // Only the rotor key can hold what the store refuses; the unit still
    // gets the distances.
    (void)prefs.setScanKeys({static_cast<double>(rate), 7 - pot, (*duty)[0], (*duty)[1]});
    (void)prefs.store().setDoubleArray(kRotors, rotorKey_, std::array<double, 2>{*top, *bottom});
    const auto codes = prefs.wavelengthCodes();
    (void)prefs.save();

    Cmd0Settings settings;
    settings.ucDutyCycleA = rounded<std::uint8_t>(100.0 * shareA);
    settings.ucWavelenghtA = static_cast<std::uint8_t>(codes[0] != 0 ? codes[0] : 26);
    settings.ucWavelenghtB = static_cast<std::uint8_t>(codes[1] != 0 ? codes[1] : 28);
    settings.ucATODGain = static_cast<std::uint8_t>(pot);
    settings.ucRotor = rotorCode;
    settings.uiIntegrationTime = static_cast<std::uint16_t>(periodMsOf(rate));
    settings.scanSpeed = rounded<std::int16_t>(*speedValue * 10.0);
    const auto hundredths = [](double mm) { return rounded<std::uint16_t>(std::clamp(mm * 100.0, 0.0, 65535.0)); };
    settings.uiScanDist = hundredths(*scanMm);
    settings.uiTubeTopPistonPos = hundredths(*top);
    settings.uiTubeEndPistonPos = hundredths(*top + *bottom);
    return settings;
}

ScanSettingsForm::Live ScanSettingsForm::live(const LinkStats& stats, const std::optional<Cmd2>& streamed) {
    double position = 0.0;
    double speedMm = 0.0;
    if (streamed) {
        position = streamed->pistonMm();
        speedMm = streamed->iPistonSpeed * 0.1;
    } else if (stats.lastCmd0) {
        position = stats.lastCmd0->pistonMm();
        speedMm = stats.lastCmd0->iPistonSpeed * 0.1;
    }
    // The unit reports no lower switch of its own; its status bit 2 stands
    // for the far end of the piston's travel.
    return {formatText("Piston Position: %.2f mm", position), formatText("Piston Speed: %.2f mm/sec", speedMm),
            stats.upperLimit == 0 ? "Upper Switch Status: On" : "Upper Switch Status: Off",
            stats.bit2 != 0 ? "Lower Switch Status: On" : "Lower Switch Status: Off"};
}

}  // namespace corvane
