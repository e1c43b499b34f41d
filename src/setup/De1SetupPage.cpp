#include "setup/De1SetupPage.h"

#include <algorithm>
#include <system_error>

#include "app/ConfigFile.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "runs/Em1SettingsStore.h"
#include "runs/OverlayPlanRules.h"
#include "setup/CollectionVolume.h"
#include "setup/PresetRunLists.h"
#include "setup/SetupHost.h"
#include "setup/UserFile.h"

namespace corvane {
namespace {

constexpr double kWavelength254 = 254.0;
constexpr double kWavelength280 = 280.0;

double volumePerMmOf(const SetupHost& host) {
    const auto& info = host.runInfo();
    return volumePerMmForRun(info ? info->volumePerMm : 0.0, host.standardRunVolumePerMm());
}

// The page offers the first two start types; a stored "OD Sensing Start"
// shows as "Event with Delay".
int startTypeOf(int delayType) {
    return delayType == Em1Settings::kEventWithDelay || delayType == Em1Settings::kOdSensingStart ? 1 : 0;
}

}  // namespace

double tubingLengthFor(double deadVolume) {
    return std::max(0.0, (deadVolume - kFixedPathVolume) / kTubingVolumePerMm);
}

std::string tubingText(double lengthMm) {
    // Whole millimetres as they are typed; a length between them keeps its
    // decimals rather than showing as a length it is not.
    std::string text = formatText("%.2f", lengthMm);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

void De1SetupPage::showTubing(double deadVolume) {
    tubing = tubingText(tubingLengthFor(deadVolume));
    // No tubing still has the fixed path; less was never a stored choice.
    tubingShown_ = {tubing, std::max(deadVolume, kFixedPathVolume)};
}

void De1SetupPage::showMaxVolume(double volume) {
    // Two decimals: vessels of a quarter of a millilitre are common.
    maxVolume = formatText("%.2f", volume);
    maxVolumeShown_ = {maxVolume, volume};
}

std::optional<double> De1SetupPage::deadVolume() const {
    if (tubing == tubingShown_.text) {
        return tubingShown_.value;
    }
    const auto length = scanDouble(tubing);
    if (!length || *length < 0.0) {
        return std::nullopt;
    }
    return deadVolumeFor(*length);
}

std::optional<double> De1SetupPage::maxVolumeValue() const {
    return maxVolume == maxVolumeShown_.text ? std::optional(maxVolumeShown_.value) : scanDouble(maxVolume);
}

De1SetupPage::De1SetupPage(Env env)
    : env_(std::move(env)),
      fractions_(volumePerMmOf(env_.host)),
      zones_(volumePerMmOf(env_.host)),
      speedSpin_(env_.clock, {0.01, 2, false, kMinSpeed, kMaxSpeed}),
      volumeSpin_(env_.clock, {0.1, 2, true, 0.0, std::nullopt}),
      totalSpin_(env_.clock, {1.0, 2, true, 0.0, std::nullopt}),
      numberSpin_(env_.clock, {1.0, 0, false, 1.0, static_cast<double>(kMaxNumber)}),
      distanceSpin_(env_.clock, {0.1, 2, true, 0.0, kMaxDistance}),
      fractionVolumeSpin_(env_.clock, {0.01, 2, true, 0.0, std::nullopt}) {}

std::vector<std::string> De1SetupPage::wavelengths() {
    return {formatText("%d nm", 254), formatText("%d nm", 280)};
}

std::vector<std::string> De1SetupPage::sampleRates() {
    std::vector<std::string> rates;
    for (int rate = 1; rate <= 30; ++rate) {
        rates.push_back(std::to_string(rate));
    }
    return rates;
}

void De1SetupPage::open() {
    const Em1Settings s = storedEm1Settings(env_.startupFolder, env_.host.runInfo());
    const std::string user = Preferences(env_.startupFolder).lastUser();
    aufs = std::clamp(s.aufs, 0, 7);
    wavelengthEntry = s.wavelength == kWavelength280 ? 1 : 0;
    samplesEntry = std::clamp(static_cast<int>(s.samplesPerSec) - 1, 0, 29);
    speed = formatText("%.2f", s.speed);
    showTubing(s.deadVolume);
    startType = startTypeOf(s.delayType);
    autozero = s.autozeroAtStart;
    autosend = s.autosendEventMarks;
    if (s.peaks != PeakCollection{}) {
        peaks.show(s.peaks);  // else the fields keep their suggestions
    }
    showMaxVolume(loadCollectionVolume(env_.startupFolder, user));
    fractions_.set(s.fractionDistance, s.numberOfFractions);
    if (const auto& file = env_.host.currentPreset(); !file.empty()) {
        preset_ = readPresetRun(file);
        if (!preset_) {
            env_.prompter.message(formatText("Error, could not find or open file: %s", file.string().c_str()));
        } else {
            applyPreset(*preset_);
        }
    }
}

void De1SetupPage::applyPreset(const PresetRun& preset) {
    if (const auto& s = preset.em1) {
        aufs = std::clamp(s->aufs, 0, 7);
        wavelengthEntry = s->wavelength == kWavelength280 ? 1 : 0;
        samplesEntry = std::clamp(static_cast<int>(s->samplesPerSec) - 1, 0, 29);
        speed = formatText("%.2f", s->speed);
        // A preset keeps the dead volume; the page shows the tubing it
        // comes from.
        showTubing(s->deadVolume);
        startType = startTypeOf(s->delayType);
        fractions_.set(s->fractionDistance, s->numberOfFractions);
        if (s->peaks.enabled) {
            peaks.show(s->peaks);
        }
    }
    autosend = preset.scan.autosendEventMarks;
    if (preset.plan) {
        zones_.load(*preset.plan);
        autofrac_ = preset.plan->autofrac;
        planFile_ = preset.planFile;
    }
}

void De1SetupPage::reviewPlan(const OverlayPlan& plan, double volumePerMm) {
    zones_.load(plan);
    autofrac_ = plan.autofrac;
    if (volumePerMm > 0.0) {
        zones_.setVolumePerMm(volumePerMm);
    }
}

std::optional<OverlayPlan> De1SetupPage::plan() const {
    if (zones_.empty()) {
        return std::nullopt;
    }
    return zones_.plan(autofrac_);
}

void De1SetupPage::spin(Spin field, bool up) {
    const auto step = [up](SpinStepper& stepper, const std::string& text, auto&& apply) {
        if (auto next = stepper.click(text, up)) {
            apply(*next);
        }
    };
    switch (field) {
        case Spin::Speed: step(speedSpin_, speed, [this](const std::string& t) { speed = t; }); break;
        case Spin::MaxVolume: step(volumeSpin_, maxVolume, [this](const std::string& t) { maxVolume = t; }); break;
        case Spin::Total:
            step(totalSpin_, fractions_.total(), [this](const std::string& t) { fractions_.totalTyped(t); });
            break;
        case Spin::Number:
            step(numberSpin_, fractions_.number(), [this](const std::string& t) { fractions_.numberTyped(t); });
            break;
        case Spin::Distance:
            step(distanceSpin_, fractions_.distance(), [this](const std::string& t) { fractions_.distanceTyped(t); });
            break;
        case Spin::Volume:
            step(fractionVolumeSpin_, fractions_.volume(), [this](const std::string& t) { fractions_.volumeTyped(t); });
            break;
    }
}

bool De1SetupPage::fail(De1Field field, bool messages, const std::string& text) {
    marked_ = field;
    if (messages) {
        env_.prompter.message(text);
    }
    return false;
}

Em1Settings De1SetupPage::settings() const {
    Em1Settings s;
    {
        const Preferences prefs(env_.startupFolder);
        const Em1Settings stored = loadEm1Settings(prefs.store());
        s.graphXAxisType = stored.graphXAxisType;
        s.graphYAxisType = stored.graphYAxisType;
    }
    s.aufs = aufs;
    s.wavelength = wavelengthEntry == 1 ? kWavelength280 : kWavelength254;
    s.samplesPerSec = samplesEntry + 1;
    s.speed = scanDouble(speed).value_or(Em1Settings{}.speed);
    s.fractionDistance = scanDouble(fractions_.distance()).value_or(0.0);
    s.numberOfFractions = scanInt(fractions_.number()).value_or(1);
    s.deadVolume = deadVolume().value_or(kFixedPathVolume);
    s.totalDistance = s.fractionDistance * s.numberOfFractions;
    s.signalType = env_.host.signalType();
    s.delayType = startType == 1 ? Em1Settings::kEventWithDelay : Em1Settings::kNoDelay;
    s.autosendEventMarks = autosend;
    s.autozeroAtStart = autozero;
    std::string ignored;
    s.peaks = peaks.read(ignored).value_or(PeakCollection{});
    return s;
}

bool De1SetupPage::validateAndStore(bool messages) {
    marked_ = De1Field::None;
    Preferences prefs(env_.startupFolder);
    ConfigFile& f = prefs.store();
    if (samplesEntry < 0 || samplesEntry > 29) {
        return fail(De1Field::SamplesPerSec, messages, "Invalid Samples/sec!");
    }
    f.setInt(kEm1Section, "samplespersec", samplesEntry + 1);
    if (wavelengthEntry < 0 || wavelengthEntry > 1) {
        return fail(De1Field::Wavelength, messages, "Invalid Wavelength!");
    }
    f.setInt(kEm1Section, "wavelength", wavelengthEntry);
    f.setInt(kEm1Section, "aufs", aufs);
    const auto speedValue = scanDouble(speed);
    if (!speedValue || *speedValue < kMinSpeed || *speedValue > kMaxSpeed) {
        return fail(De1Field::Speed, messages,
                    formatText("Error, speed must be between %.2f and %.1f mm/sec.", kMinSpeed, kMaxSpeed));
    }
    f.setDouble(kEm1Section, "speed", *speedValue);
    const auto distance = scanDouble(fractions_.distance());
    if (!distance || *distance < 0.0 || *distance > kMaxDistance) {
        return fail(De1Field::Distance, messages,
                    formatText("Invalid distance. Distance must be between %.2f and %.2f mm.", 0.0, kMaxDistance));
    }
    f.setDouble(kEm1Section, "distance", *distance);
    const auto number = scanInt(fractions_.number());
    if (!number || *number < 1 || *number > kMaxNumber) {
        return fail(De1Field::Number, messages,
                    formatText("Invalid number. Number must be between %d and %d.", 1, kMaxNumber));
    }
    f.setInt(kEm1Section, "number", *number);
    f.setInt(kEm1Section, "autosend_eventmarks", autosend ? 1 : 0);
    if (startType < 0 || startType > 1) {
        return fail(De1Field::StartType, messages, "Invalid recording start type.");
    }
    f.setInt(kEm1Section, "delaytype", startType);
    // The field's own tooltip asks for zero when the tubing is not to be
    // taken into account, so 0 passes (the dead volume is then the fixed
    // path's); the message keeps its words.
    const auto dead = deadVolume();
    if (!dead) {
        return fail(De1Field::Tubing, messages,
                    "Invalid value for tube length. Must be a real number greater than zero.");
    }
    f.setDouble(kEm1Section, "deadvolume", *dead);
    const auto vessel = maxVolumeValue();
    if (!vessel || !(*vessel > 0.0)) {
        return fail(De1Field::MaxVolume, messages, "Invalid maximum volume per fraction.");
    }
    const auto volume = scanDouble(fractions_.volume());
    if (messages && volume && *volume > *vessel &&
        !env_.prompter.askYesNo("Warning: The \"volume/fraction\" quantity exceeds the \"Max. vol./fraction\" "
                                "quantity. Are you sure you wish to continue?")) {
        return false;
    }
    f.setInt(kEm1Section, "autozero_atstart", autozero ? 1 : 0);
    std::string peakProblem;
    const auto peakSettings = peaks.read(peakProblem);
    if (!peakSettings) {
        return fail(De1Field::Peaks, messages, peakProblem);
    }
    storeEm1Peaks(f, *peakSettings);
    const std::string user = prefs.lastUser();
    if (!prefs.save()) {
        return fail(De1Field::None, messages,
                    formatText("Error, the DE-1 settings could not be saved in %s.", prefs.path().string().c_str()));
    }
    (void)storeCollectionVolume(env_.startupFolder, user, *vessel);
    return storeForUser(settings(), messages);
}

bool De1SetupPage::storeForUser(const Em1Settings& s, bool messages) {
    const std::string user = Preferences(env_.startupFolder).lastUser();
    const auto& info = env_.host.runInfo();
    if (user.empty() || !info) {
        // No user (the USER page was skipped): nothing is remembered for one.
        return true;
    }
    const auto path = UserStore(env_.startupFolder).settingsPath(user);
    if (path.empty()) {
        return fail(De1Field::UserFile, messages, "Invalid user filename.");
    }
    ConfigFile file(path);
    (void)storeUserEm1Settings(file, info->manufacturerIndex, info->rotorModelIndex, s);  // no rotor: none
    return true;
}

PresetRun De1SetupPage::presetOfFields() const {
    PresetRun preset;
    preset.runInfo = env_.host.runInfo();
    preset.em1 = settings();
    preset.scan.scanDistance = Preferences(env_.startupFolder).store().getDouble("[scan]", "distance");
    preset.scan.autosendEventMarks = autosend;
    if (!zones_.empty()) {
        preset.plan = zones_.plan(autofrac_);
        preset.planFile = planFile_;
    }
    return preset;
}

bool De1SetupPage::writePreset(const std::filesystem::path& file, const PresetRun& preset) {
    if (const auto problem = presetTextProblem(preset); !problem.empty()) {
        env_.prompter.message(problem);
        return false;
    }
    if (!writePresetRun(file, preset)) {
        env_.prompter.message(formatText("Error, unable to create file: %s for writing.", file.string().c_str()));
        return false;
    }
    return true;
}

void De1SetupPage::askToUpdatePreset() {
    if (!preset_) {
        return;
    }
    const PresetRun now = presetOfFields();
    const bool same = presetEm1Lines(*now.em1) == presetEm1Lines(preset_->em1.value_or(Em1Settings{})) &&
                      now.scan.autosendEventMarks == preset_->scan.autosendEventMarks &&
                      now.plan.value_or(OverlayPlan{}).zones == preset_->plan.value_or(OverlayPlan{}).zones;
    if (same) {
        return;
    }
    const auto& file = env_.host.currentPreset();
    if (env_.prompter.askYesNo(formatText(
            "Settings have changed, would you like to save the new settings to the preset file: \"%s\"?",
            file.string().c_str())) &&
        writePreset(file, now)) {
        preset_ = now;
    }
}

void De1SetupPage::handToWindow() {
    const Em1Settings s = settings();
    Em1RunWriter::Setup setup;
    setup.settings = s;
    setup.tubingLength = scanDouble(tubing).value_or(0.0);
    if (!zones_.empty()) {
        setup.overlayPlan = zones_.plan(autofrac_);
    }
    env_.host.setDe1Setup(setup);
    const double collection = maxVolumeValue().value_or(kDefaultCollectionVolume);
    env_.host.setCollection(collection, env_.host.fractionationKind());
    if (auto info = env_.host.runInfo()) {
        info->aufs = s.aufs;
        info->collectionVolume = collection;
        env_.host.setRunInfo(*info);
    }
}

std::optional<PageStep> De1SetupPage::graph() {
    if (!zones_.validate(&env_.prompter) || !validateAndStore(true)) {
        return std::nullopt;
    }
    askToUpdatePreset();
    handToWindow();
    return PageStep{SetupPage::Graph};
}

PageStep De1SetupPage::user() {
    if (zones_.validate(nullptr) && validateAndStore(false)) {
        handToWindow();
    }
    return PageStep{SetupPage::User};
}

void De1SetupPage::saveSettingsAs() {
    if (!zones_.validate(nullptr) || !validateAndStore(false)) {
        env_.prompter.message("Error, unable to save settings.");
        return;
    }
    const auto folder = UserStore(env_.startupFolder).presetRunsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const auto chosen = env_.prompter.saveFile({kSaveTitle, kTextFilter, folder.string(), {}, "*.txt"});
    if (!chosen || !writePreset(*chosen, presetOfFields())) {
        return;
    }
    env_.prompter.message(formatText("Preset run saved successfully to: %s", chosen->c_str()));
    Preferences prefs(env_.startupFolder);
    if (!recordSavedPreset(prefs.store(), *chosen)) {
        env_.prompter.message(refusedTextMessage("preset run file name", *chosen));
    }
}

void De1SetupPage::shortCheckList() { env_.host.post(UserMsg::OpenShortChecklist); }
void De1SetupPage::detailedCheckList() { env_.host.post(UserMsg::OpenDetailedChecklist); }

}  // namespace corvane
