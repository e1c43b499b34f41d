#include "setup/LedSetupPage.h"

#include <cmath>
#include <cstdio>

#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "runs/SampleRecord.h"
#include "setup/SetupHost.h"
#include "setup/SetupUnit.h"

namespace corvane {

namespace {

constexpr int kPotValues = 7;
constexpr int kDutySteps = 9;

}  // namespace

LedSetupPage::LedSetupPage(Env env) : env_(std::move(env)) {}

std::vector<std::string> LedSetupPage::dutyEntries() {
    std::vector<std::string> entries;
    for (int a = 10; a <= 90; a += 10) {
        entries.push_back(formatText("%d:%d", a, 100 - a));
    }
    return entries;
}

std::vector<std::string> LedSetupPage::pcEntries() {
    std::vector<std::string> entries;
    for (int pot = 1; pot <= kPotValues; ++pot) {
        entries.push_back(formatText("%d", 50 * pot));
    }
    return entries;
}

double LedSetupPage::speedFromField(std::int16_t raw) {
    // Older units send the speed in host order, newer ones in wire order;
    // no real speed reaches 1.6 mm/s, so a large value is a swapped one.
    const auto bits = static_cast<std::uint16_t>(raw);
    const auto value = raw < 16 ? raw
                                : static_cast<std::int16_t>(static_cast<std::uint16_t>((bits >> 8) | (bits << 8)));
    return value * 0.1;
}

std::string LedSetupPage::countText(std::uint32_t counts, bool blankPhase) {
    return saturated(counts) && blankPhase ? std::string() : formatText("%u", counts);
}

std::uint16_t LedSetupPage::samplePeriodMs(double samplesPerSec) {
    const auto period = static_cast<int>(1000.0 / samplesPerSec);
    return static_cast<std::uint16_t>(period - period % 10);
}

std::optional<Cmd0> LedSetupPage::configuration() const {
    const std::scoped_lock lock(configMutex_);
    return config_;
}

void LedSetupPage::fillFrom(const Cmd0& config) {
    {
        const std::scoped_lock lock(configMutex_);
        config_ = config;
    }
    wavelengthA = formatText("%d", config.ucWavelenghtA * 10);
    wavelengthB = formatText("%d", config.ucWavelenghtB * 10);
    const double rate = config.uiIntegrationTime > 0 ? 1000.0 / config.uiIntegrationTime : 0.0;
    samplesPerSec = formatText("%.1f", rate);
    const double mmPerS = speedFromField(config.iScanSpeed);
    speed = formatText("%.1f", mmPerS);
    samplesPerMm = mmPerS > 0.0 ? formatText("%.2f", rate / mmPerS) : formatText("%.2f", 0.0);
    pcEntry = config.ucATODGain >= 1 && config.ucATODGain <= kPotValues ? config.ucATODGain - 1 : -1;
    const int duty = config.ucDutyCycleA / 10 - 1;
    dutyEntry = duty >= 0 && duty < kDutySteps ? duty : -1;
}

bool LedSetupPage::open() {
    const SetupUnit::Exclusive alone(env_.unit);
    if (!env_.unit.enterSetupMode()) {
        env_.prompter.message("Unable to enter setup mode.");
        return false;
    }
    const auto config = env_.unit.nextCmd0(SetupUnit::kConfigurationMs);
    if (!config) {
        env_.prompter.message("Unable to get configuration from UV unit.");
        return false;
    }
    fillFrom(*config);
    return true;
}

bool LedSetupPage::promptOnce(const char* text) {
    const std::unique_lock lock(promptLock_, std::try_to_lock);
    if (!lock.owns_lock()) {
        return false;
    }
    env_.prompter.message(text);
    return true;
}

bool LedSetupPage::confirmWavelengths() {
    const bool haveA = !wavelengthA.empty();
    const bool haveB = !wavelengthB.empty();
    const auto nmA = scanDouble(wavelengthA);
    const auto nmB = scanDouble(wavelengthB);
    if (haveA && !nmA) {
        env_.prompter.message("Invalid channel A wavelength.");
        return false;
    }
    if (haveB && !nmB) {
        env_.prompter.message("Invalid channel B wavelength.");
        return false;
    }
    if (!haveA && !haveB) {
        env_.prompter.message("Need to specify at least one wavelength.");
        return false;
    }
    singleChannel_ = haveA != haveB;
    env_.host.setChannelsInUse(haveA, haveB);

    const SetupUnit::Exclusive alone(env_.unit);
    auto config = configuration();
    if (!config) {
        if (!env_.unit.enterSetupMode()) {
            env_.prompter.message("Unable to enter setup mode.");
            return false;
        }
        config = env_.unit.nextCmd0(SetupUnit::kConfigurationMs);
        if (!config) {
            env_.prompter.message("Unable to get configuration from UV unit.");
            return false;
        }
    }
    auto settings = SettingsOf(*config);
    bool changed = false;
    const auto take = [&](const std::optional<double>& nm, std::uint8_t& code) {
        if (nm && *nm != code * 10.0) {
            code = static_cast<std::uint8_t>(std::trunc(*nm / 10.0));
            changed = true;
        }
    };
    take(nmA, settings.ucWavelenghtA);
    take(nmB, settings.ucWavelenghtB);
    if (changed) {
        if (!env_.unit.sendConfiguration(settings)) {
            env_.prompter.message("Error, setting wavelengths on Kelvo.");
            return false;
        }
        ApplySettings(*config, settings);
        const std::scoped_lock lock(configMutex_);
        config_ = config;
    }
    {
        Preferences prefs(env_.startupFolder);
        prefs.setWavelengthCodes(settings.ucWavelenghtA, settings.ucWavelenghtB);
        (void)prefs.save();  // the unit has them; the file only remembers them
    }
    if (!env_.unit.enterSetupMode()) {
        env_.prompter.message("Error, unable to enter setup mode.");
        return false;
    }
    promptOnce(kImmerseTips);
    instruction = kAdjustText;
    step2Unlocked_ = true;
    return true;
}

std::optional<Cmd0Settings> LedSetupPage::recomputeRate() {
    const double mmPerS = scanDouble(speed).value_or(0.0);
    const double perMm = scanDouble(samplesPerMm).value_or(0.0);
    const double rate = mmPerS * perMm;
    samplesPerSec = formatText("%.2f", rate);
    const auto config = configuration();
    if (!config || rate < kMinRate || rate > kMaxRate || mmPerS < 0.0 || mmPerS > kMaxSpeed) {
        return std::nullopt;
    }
    auto settings = SettingsOf(*config);
    settings.uiIntegrationTime = samplePeriodMs(rate);
    settings.scanSpeed = static_cast<std::int16_t>(std::trunc(10.0 * mmPerS));
    return settings;
}

void LedSetupPage::spinSpeed(bool up) {
    const double now = scanDouble(speed).value_or(0.0);
    speed = formatText("%.2f", std::max(0.0, now + (up ? kSpinStep : -kSpinStep)));
}

std::optional<Cmd0Settings> LedSetupPage::withPc(int entry) {
    const auto config = configuration();
    if (!config || entry < 0 || entry >= kPotValues) {
        return std::nullopt;
    }
    pcEntry = entry;
    auto settings = SettingsOf(*config);
    settings.ucATODGain = static_cast<std::uint8_t>(entry + 1);
    return settings;
}

std::optional<Cmd0Settings> LedSetupPage::withDuty(int entry) {
    const auto config = configuration();
    if (!config || entry < 0 || entry >= kDutySteps) {
        return std::nullopt;
    }
    dutyEntry = entry;
    auto settings = SettingsOf(*config);
    settings.ucDutyCycleA = static_cast<std::uint8_t>((entry + 1) * 10);
    return settings;
}

bool LedSetupPage::sendLive(const Cmd0Settings& settings) {
    const SetupUnit::Exclusive alone(env_.unit);
    if (!env_.unit.sendConfiguration(settings)) {
        return false;
    }
    const std::scoped_lock lock(configMutex_);
    if (config_) {
        ApplySettings(*config_, settings);
    }
    return true;
}

bool LedSetupPage::applyScanSettings() {
    const double mmPerS = scanDouble(speed).value_or(kDefaultSpeed);
    const auto rate = scanDouble(samplesPerSec);
    if (!rate) {
        env_.prompter.message("Error, invalid Samples/sec.");
        return false;
    }
    if (*rate < kMinRate) {
        env_.prompter.message(formatText("Samples/sec must be at least %.1f.", kMinRate));
        return false;
    }
    if (*rate > kMaxRate) {
        env_.prompter.message(formatText("Samples/sec must be less than %.1f Hz.", kMaxRate));
        return false;
    }
    const auto duties = dutyEntries();
    double dutyA = 50.0;
    double dutyB = 50.0;
    if (dutyEntry >= 0 && dutyEntry < static_cast<int>(duties.size())) {
        (void)std::sscanf(duties[dutyEntry].c_str(), "%lf:%lf", &dutyA, &dutyB);
    }
    const int pot = pcEntry >= 0 ? pcEntry + 1 : 4;
    {
        Preferences prefs(env_.startupFolder);
        prefs.setScanSpeed(mmPerS);
        if (!prefs.setScanKeys({*rate, kPotValues - pot, dutyA, dutyB})) {
            env_.prompter.message("Error, the scan settings could not be stored in the user's settings.");
        }
        (void)prefs.save();  // the unit gets them below either way
    }
    const SetupUnit::Exclusive alone(env_.unit);
    auto config = configuration();
    if (!config) {
        config = env_.unit.readConfiguration();
    }
    if (!config) {
        env_.prompter.message("Unable to get configuration from UV unit.");
        return false;
    }
    auto settings = SettingsOf(*config);
    settings.uiIntegrationTime = samplePeriodMs(*rate);
    settings.scanSpeed = static_cast<std::int16_t>(std::trunc(10.0 * mmPerS));
    settings.ucATODGain = static_cast<std::uint8_t>(pot);
    settings.ucDutyCycleA = static_cast<std::uint8_t>(std::trunc(dutyA));
    if (!env_.unit.sendConfiguration(settings)) {
        env_.prompter.message(
            "Error, sending updated info to Kelvo. It may be necessary to reset power to the Kelvo.");
        return false;
    }
    ApplySettings(*config, settings);
    const std::scoped_lock lock(configMutex_);
    config_ = config;
    return true;
}

void LedSetupPage::zeroOd() {
    if (!promptOnce(kImmersePure) || !env_.quickZero) {
        return;
    }
    std::optional<SampleRecord> counts;
    {
        const SetupUnit::Exclusive alone(env_.unit);
        counts = env_.unit.freshCounts(1);
    }
    // Without a reading the quick zero finds no source counts and does nothing.
    env_.quickZero(counts.value_or(SampleRecord{}));
}

}  // namespace corvane
