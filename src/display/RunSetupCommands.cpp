#include "display/RunSetupCommands.h"

#include "app/DialogFolders.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "display/WindowSetupHost.h"
#include "runs/Em1SettingsStore.h"
#include "runs/RunRecorder.h"
#include "setup/PageDispatcher.h"

namespace corvane {

std::string de1StartModeText(const Em1Settings& s) {
    if (s.signalType == Em1Settings::kManualTriggered || s.delayType == Em1Settings::kManualTriggeredStart) {
        return "START MODE: Manual Triggered";
    }
    switch (s.delayType) {
        case Em1Settings::kEventWithDelay: return "START MODE: Event with Delay";
        case Em1Settings::kOdSensingStart: return "START MODE: OD Sensing";
        default: return "START MODE: No Delay";
    }
}

std::string de1SummaryText(const Em1Settings& s, int fractionationKind) {
    // A run cut by peaks says so: "Standard" would name a plan it does not follow.
    const char* fractionation = s.peaks.enabled      ? "\tFractionation: Peaks"
                                : fractionationKind == 1 ? "\tFractionation: Auto + Manual"
                                                         : "\tFractionation: Standard";
    // Speeds of 1 mm/sec and more show one decimal.
    const char* format = s.speed < 1.0
                             ? "UV Wavelength: %.0f nm\t\tSamples/sec: %.0f Hz\nSpeed: %.2f mm/sec\t\tDistance: "
                               "%.2f mm\nNumber: %d\t\t\tTotal Distance: %.2f mm\n%s"
                             : "UV Wavelength: %.0f nm\t\tSamples/sec: %.0f Hz\nSpeed: %.1f mm/sec\t\tDistance: "
                               "%.2f mm\nNumber: %d\t\t\tTotal Distance: %.2f mm\n%s";
    return formatText(format, s.wavelength, s.samplesPerSec, s.speed, s.fractionDistance, s.numberOfFractions,
                      s.totalDistance, fractionation);
}

ChecklistFollow checklistFollow(bool setupItem, bool windowHidden, bool de1PageShown) {
    if (setupItem) {
        return windowHidden && de1PageShown ? ChecklistFollow::RefreshDe1Page : ChecklistFollow::Nothing;
    }
    return de1PageShown || !windowHidden ? ChecklistFollow::Nothing : ChecklistFollow::ShowGraph;
}

RunSetupCommands::RunSetupCommands(Env env) : env_(std::move(env)) {}

void RunSetupCommands::goToUserPage() { env_.pages.open(SetupPage::User); }

void RunSetupCommands::newRun() {
    if (env_.clearGraph) {
        env_.clearGraph();
    }
    if (env_.host.de1Mode() && env_.resetDe1Writer) {
        env_.resetDe1Writer();
    }
    env_.setRunName("");
    if (!env_.prompter.askYesNo(kAnotherRun)) {
        goToUserPage();
        return;
    }
    if (env_.host.de1Mode()) {
        // The page's Cancel names no run.
        env_.setRunName(env_.askRunName().value_or(""));
    }
}

bool RunSetupCommands::scanSetupAvailable() const {
    return env_.host.de1Mode() ? env_.pages.available(SetupPage::De1Setup)
                               : env_.pages.available(SetupPage::ScanningSetup) &&
                                     env_.pages.available(SetupPage::ScanningSetupBeside);
}

void RunSetupCommands::scanSetup() {
    if (env_.host.de1Mode()) {
        env_.pages.open(SetupPage::De1Setup);
        return;
    }
    const bool recorded = env_.recordedSinceStart && env_.recordedSinceStart();
    env_.host.setIdenticalRun(recorded);
    const bool same = env_.prompter.askYesNo(recorded ? kIdenticalRun : kSameSettings);
    // The page this opens takes the piston to its upper limit.
    env_.host.setScanSetupCommand(true);
    env_.pages.open(same ? SetupPage::ScanningSetupBeside : SetupPage::ScanningSetup);
    env_.host.setScanSetupCommand(false);
    env_.host.setIdenticalRun(false);
}

Em1Settings RunSetupCommands::de1Settings() const {
    if (const auto& setup = env_.host.de1Setup()) {
        return setup->settings;
    }
    return loadEm1Settings(Preferences(env_.startupFolder).store());
}

void RunSetupCommands::saveBufferedData() {
    const auto chosen = env_.prompter.saveFile(
        {kBufferedTitle, kCsvFilter, env_.folders.folder(DialogFolder::Data), {}, "csv"});
    if (!chosen) {
        return;
    }
    const std::filesystem::path target(*chosen);
    env_.folders.remember(DialogFolder::Data, target.parent_path().string());
    RunDescription description;
    description.runInfo = env_.host.runInfo();
    Em1RunWriter::Setup setup;
    setup.settings = de1Settings();
    if (const auto& own = env_.host.de1Setup()) {
        setup = *own;
    }
    description.em1 = setup;
    RunRecorder recorder(env_.prompter, {env_.startupFolder, env_.startupFolder / "TEMP"});
    const auto values = env_.bufferedAbsorbances ? env_.bufferedAbsorbances() : std::vector<double>{};
    (void)recorder.saveBufferedData(target, description, values);  // it says how it went
}

}  // namespace corvane
