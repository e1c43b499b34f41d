#include "setup/ScanSetupPage.h"

#include <algorithm>
#include <cmath>

#include "app/Clock.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "link/UvLink.h"
#include "recording/AutoScan.h"
#include "setup/SetupHost.h"
#include "setup/SetupUnit.h"

namespace corvane {

namespace {

std::uint16_t hundredths(double mm) {
    return static_cast<std::uint16_t>(static_cast<std::int64_t>(mm * 100.0));
}

// Long enough for the slowest move down a tube.
constexpr std::int64_t kMoveSlackMs = 10000;
constexpr std::int16_t kMoveSpeedTenths = 15;

}  // namespace

ScanSetupPage::ScanSetupPage(Env env) : env_(std::move(env)) {}

void ScanSetupPage::open() {
    identicalRun_ = env_.host.identicalRun();
    openedByScanSetup_ = env_.host.scanSetupCommand();
    models.clear();
    rotorEntry = -1;
    const auto& info = env_.host.runInfo();
    if (!info) {
        return;
    }
    const int manufacturer = RotorTable::findManufacturer(info->rotorManufacturer);
    for (const auto model : RotorTable::models(manufacturer)) {
        models.emplace_back(model);
    }
    const int chosen = RotorTable::findModel(manufacturer, info->rotorModel);
    rotorEntry = chosen >= 0 && chosen < static_cast<int>(models.size()) ? chosen : -1;
}

void ScanSetupPage::showPosition(double pistonMm) { position = formatText("%.2f", pistonMm); }

std::optional<RotorGeometry> ScanSetupPage::geometry() const {
    const auto& info = env_.host.runInfo();
    if (!info || rotorEntry < 0 || rotorEntry >= static_cast<int>(models.size())) {
        return std::nullopt;
    }
    return RotorTable::lookupGeometry(env_.startupFolder / "rotors.txt", info->rotorManufacturer,
                                      models[static_cast<std::size_t>(rotorEntry)]);
}

bool ScanSetupPage::identicalRunLead() const { return env_.beside && identicalRun_; }

bool ScanSetupPage::topKnown(const RotorGeometry& tube) const {
    // Only an identical run's lead is measured from the top of the tube; a
    // line whose top is 0 gives the tube's length alone, which is enough
    // for any other scan.
    return !identicalRunLead() || tube.top > 0.0;
}

void ScanSetupPage::show(const std::string& text) {
    if (env_.status) {
        env_.status(text);
    }
}

void ScanSetupPage::pause() { (void)env_.unit.clock().sleepMs(kPauseMs); }

bool ScanSetupPage::rotorOk() {
    if (rotorEntry < 0 || rotorEntry >= static_cast<int>(models.size()) ||
        models[static_cast<std::size_t>(rotorEntry)].empty()) {
        env_.prompter.message("Please select a valid rotor.");
        return false;
    }
    // A rotor "rotors.txt" does not know would send a tube of 0 mm: nothing
    // moves and nothing is sent until its line is there.
    const auto tube = geometry();
    if (!tube) {
        const auto& described = env_.host.runInfo();
        env_.prompter.message(formatText(
            "Error, %s has no line for the rotor \"%s\" under \"%s\", so nothing was sent to Kelvo. Add its "
            "line (the rotor, the distances in mm from the upper limit switch to the top and to the bottom of "
            "the tube, and the volume per mm) and press ROTOR OK again.",
            (env_.startupFolder / "rotors.txt").string().c_str(), models[static_cast<std::size_t>(rotorEntry)].c_str(),
            described ? described->rotorManufacturer.c_str() : ""));
        return false;
    }
    const SetupUnit::Exclusive alone(env_.unit);
    UvLink* link = env_.unit.link();
    show("Moving piston to upper limit switch...");
    if (link != nullptr) {
        link->GoToUpperLimit(env_.linkHost, false);
    }
    const bool atLimit = link != nullptr && link->upperLimitFlag() == 0;
    show(atLimit ? "Piston moved to upper limit switch." : "Unable to move piston to upper limit switch.");
    pause();

    auto info = *env_.host.runInfo();
    info.rotorModel = models[static_cast<std::size_t>(rotorEntry)];
    info.rotorModelIndex = rotorEntry;
    if (!env_.unit.enterSetupMode()) {
        env_.prompter.message("Error, unable to enter setup mode.");
        return false;
    }
    const auto config = env_.unit.nextCmd0(SetupUnit::kConfigurationMs);
    if (!config) {
        env_.prompter.message(
            "Unable to get Kelvo configuration. Please try pressing the ROTOR OK button again.");
        return false;
    }
    info.volumePerMm = tube->volumePerMm > 0.0 ? tube->volumePerMm : RotorTable::kDefaultVolumePerMm;
    env_.host.setRunInfo(info);
    auto settings = SettingsOf(*config);
    settings.uiScanDist = hundredths(tube->tubeLength);
    settings.uiTubeTopPistonPos = hundredths(tube->top);
    settings.uiTubeEndPistonPos = hundredths(tube->top + tube->tubeLength);
    link->SetTargetPosition(tube->top);
    show("Sending scan settings to Kelvo...");
    pause();
    if (!env_.unit.sendConfiguration(settings)) {
        env_.prompter.message(
            "Error, unable to send scan distance to Kelvo. Please try pressing the ROTOR OK button again.");
        show("Error, unable to send scan distance to Kelvo.");
        return false;
    }
    show("Scan settings sent to Kelvo.");
    {
        Preferences prefs(env_.startupFolder);
        prefs.setScanDistance(tube->tubeLength);
        (void)prefs.save();  // the unit has the distance; the file only remembers it
    }
    const auto typed = scanDouble(scanDistance);
    scanDistance = formatText("%.2f", tube->tubeLength);
    if (typed && formatText("%.2f", *typed) != scanDistance) {
        // The unit now scans the whole tube: a shorter distance kept from
        // OK no longer holds, and the field no longer shows it.
        if (env_.keepDistance) {
            env_.keepDistance(0.0);
        }
        goToGraph_ = false;
        env_.prompter.message(formatText(kDistanceReplaced, tube->tubeLength, *typed));
    }
    // The dial moves the needles only in manual mode, and only there does
    // the unit stream the positions POSITION shows.
    (void)link->EnterManualMode();
    step2Unlocked_.store(true);
    instruction = kMoveNeedles;
    position = "0.00";
    return true;
}

std::optional<double> zeroPistonHere(SetupUnit& unit, SetupHost& host, Prompter& prompter) {
    const SetupUnit::Exclusive alone(unit);
    UvLink* link = unit.link();
    const bool manual = link != nullptr && link->EnterManualMode();
    if (manual) {
        link->FlushReceive();  // where the piston is now, not where it was
    }
    const auto packet = manual ? unit.nextCmd2(SetupUnit::kConfigurationMs) : std::nullopt;
    if (!packet) {
        prompter.message("Error, trying to acquire piston position.");
        return std::nullopt;
    }
    if (!link->InManualMode(0)) {
        prompter.message("Error trying to go to manual scan mode.");
        return std::nullopt;
    }
    (void)unit.clock().sleepMs(ScanSetupPage::kPauseMs);
    const double zeroMm = packet->pistonMm();
    host.setZeroOffset(zeroMm);
    host.setPositionOffsets(zeroMm, zeroMm);
    link->SetPositionOffset(zeroMm);
    return zeroMm;
}

bool ScanSetupPage::zeroPosition() {
    if (!zeroPistonHere(env_.unit, env_.host, env_.prompter)) {
        return false;
    }
    position = "0.0";
    zeroed_.store(true);
    return true;
}

bool ScanSetupPage::fail(const char* message) {
    env_.prompter.message(message);
    show(message);
    return false;
}

bool ScanSetupPage::sendKeptDistance(bool fromGoToGraph) {
    bool sent = false;
    {
        const SetupUnit::Exclusive alone(env_.unit);
        UvLink* link = env_.unit.link();
        sent = link != nullptr && link->SendPendingScanDistance(env_.linkHost);
    }
    if (!sent) {
        // Unsaid, the run would scan the tube's whole length ROTOR OK sent.
        show("Error, unable to send scan distance to Kelvo.");
        env_.prompter.message(fromGoToGraph ? kDistanceNotSentRetry : kDistanceNotSentLater);
    }
    return sent;
}

bool ScanSetupPage::goToZero() {
    const SetupUnit::Exclusive alone(env_.unit);
    UvLink* link = env_.unit.link();
    const double zeroMm = env_.host.zeroOffset();
    show("Getting Kelvo data...");
    const auto saved = env_.unit.readConfiguration();
    if (!saved || link == nullptr) {
        return fail("Error, unable to get Kelvo data.");
    }
    pause();
    // A scan from the upper limit that ends at the zero brings the needles there.
    auto moving = SettingsOf(*saved);
    moving.uiScanDist = hundredths(zeroMm);
    moving.scanSpeed = kMoveSpeedTenths;
    show("Sending data to Kelvo...");
    if (!env_.unit.sendConfiguration(moving)) {
        return fail("Error, unable to send settings to Kelvo.");
    }
    // Until the saved settings are back, the unit's scan distance is the
    // zero's: a failure on the way leaves the right one pending.
    const double pending = env_.linkHost.pendingScanDistance();
    if (env_.keepDistance && pending <= 0.0) {
        env_.keepDistance(saved->uiScanDist / 100.0);
    }
    pause();
    show("Wait.... Moving needles to ZERO position");
    pause();
    show("Going to upper limit switch...");
    link->GoToUpperLimit(env_.linkHost, true);
    if (link->upperLimitFlag() != 0) {
        return fail("Error, unable to go to top of tube.");
    }
    pause();
    if (!link->EnterManualMode()) {
        return fail("Error, unable to enter manual mode.");
    }
    pause();
    show("Moving to zero position...");
    if (zeroMm > 0.0) {
        if (!link->PressKey(AutoScan::kKeyStartScan)) {
            return fail("Error, unable to start piston moving.");
        }
        const auto limitMs =
            static_cast<std::int64_t>(zeroMm / (kMoveSpeedTenths * 0.1) * 1000.0) + kMoveSlackMs;
        bool there = false;
        for (const Deadline limit(env_.unit.clock(), limitMs); !there && !limit.expired();) {
            const auto packet = env_.unit.nextCmd2(1000);
            there = packet && packet->pistonMm() >= zeroMm - 0.05 &&
                    packet->iPistonSpeed == 0;
        }
        if (!there) {
            return fail(
                "Error, unable to get all of the way to the zero location, please try pressing the GO TO "
                "ZERO button again.");
        }
    }
    pause();
    show("Getting Kelvo data...");
    if (!env_.unit.readConfiguration()) {
        return fail("Error, unable to get second Kelvo data.");
    }
    pause();
    show("Sending data to Kelvo...");
    if (!env_.unit.sendConfiguration(SettingsOf(*saved))) {
        return fail("Error, unable to send old settings back to Kelvo.");
    }
    if (env_.keepDistance) {
        env_.keepDistance(pending);
    }
    pause();
    show("Updating display...");
    if (!link->EnterManualMode()) {
        return fail("Error trying to go to manual scan mode.");
    }
    pause();
    env_.host.setPositionOffsets(zeroMm, zeroMm);
    link->SetPositionOffset(zeroMm);
    position = "0.0";
    zeroed_.store(true);
    show("Goto zero completed.");
    return true;
}

void ScanSetupPage::zeroOd() {
    std::optional<SampleRecord> counts;
    {
        const SetupUnit::Exclusive alone(env_.unit);
        if (!env_.unit.enterSetupMode()) {
            env_.prompter.message("Error, unable to enter setup mode.");
            return;
        }
        counts = env_.unit.freshCounts(5);
    }
    if (!counts) {
        env_.prompter.message("Unable to acquire any data for zeroing OD.");
        return;
    }
    env_.prompter.message("Immerse the needles in pure water and then press OK.");
    {
        const SetupUnit::Exclusive alone(env_.unit);
        counts = env_.unit.freshCounts(1);
    }
    if (env_.quickZero) {
        env_.quickZero(counts.value_or(SampleRecord{}));
    }
}

bool ScanSetupPage::checkDistance() {
    const auto typed = scanDouble(scanDistance);
    if (!typed) {
        env_.prompter.message("Invalid scan distance.");
        return false;
    }
    const auto tube = geometry();
    if (!tube || tube->tubeLength <= 0.0) {
        env_.prompter.message("Error, unable to get distance for this tube.");
        return false;
    }
    if (!topKnown(*tube)) {
        env_.prompter.message(kNoTopText);
        return false;
    }
    const double deduction = identicalRunLead() ? kIdenticalRunLead + tube->top : env_.host.zeroOffset();
    const double maximum = tube->tubeLength - scanDouble(position).value_or(0.0) - deduction;
    if (maximum + kTolerance < *typed) {
        env_.prompter.message(formatText(
            "Scan distance can be no more than %.2f mm for the current piston position and rotor.", maximum));
        return false;
    }
    return true;
}

bool ScanSetupPage::confirm() {
    // The tube's top and end reach the unit with ROTOR OK: no scan without it.
    if (!step2Unlocked() || !checkDistance()) {
        return false;
    }
    // The unit still holds the tube length ROTOR OK sent.
    if (env_.keepDistance) {
        env_.keepDistance(scanDouble(scanDistance).value_or(0.0));
    }
    instruction = kHolderText;
    goToGraph_ = true;
    return true;
}

void ScanSetupPage::spinDistance(bool up) {
    const auto tube = geometry();
    if (!tube || tube->tubeLength <= 0.0) {
        env_.prompter.message("Error, tube distance not available.");
        return;
    }
    if (!topKnown(*tube)) {
        env_.prompter.message(kNoTopText);
        return;
    }
    double maximum = tube->tubeLength - scanDouble(position).value_or(0.0);
    if (identicalRunLead()) {
        maximum -= kIdenticalRunLead + tube->top;
    }
    const double now = scanDouble(scanDistance).value_or(0.0);
    const double next = up ? std::min(now + kSpinStep, maximum) : std::max(now - kSpinStep, 0.0);
    scanDistance = formatText("%.2f", std::max(next, 0.0));
}

}  // namespace corvane
