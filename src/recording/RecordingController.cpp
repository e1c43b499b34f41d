#include "recording/RecordingController.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <utility>

#include "app/Clock.h"
#include "app/DialogFolders.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "recording/AcquisitionSession.h"
#include "recording/RunWriter.h"
#include "recording/SampleReader.h"
#include "runs/DeviceSettings.h"
#include "recording/RunDisplay.h"
#include "runs/TempFolder.h"
#include "base/TextFormat.h"
#include "runs/Em1SettingsStore.h"
#include "runs/OverlayPlanRules.h"
#include "runs/RotorTable.h"

namespace corvane {

namespace {

[[nodiscard]] bool factorInRange(double factor) {
    return factor >= RecordingController::kFactorLow && factor <= RecordingController::kFactorHigh;
}

// The link holds the sample lock for a whole key press (five sends of up to
// 5 s each); new factors wait that out rather than be dropped.
constexpr std::int64_t kFactorsWaitMs = UvLink::kKeyAttempts * UvLink::kKeyAckMs;

}  // namespace

RecordingController::RecordingController(RecordingEnv env)
    : env_(std::move(env)),
      autoScan_({env_.clock, env_.prompter, env_.display, *this, env_.session.holds()}) {
    const Preferences prefs(env_.startupFolder);
    if (prefs.present()) {
        unlimitedTemp_ = prefs.unlimitedTempFiles();
        const auto stored = prefs.sourceFactors();
        for (std::size_t i = 0; i < factors_.size(); ++i) {
            factors_[i] = stored[i].value_or(kDefaultFactor);
        }
    }
    env_.session.setSampleHandler(this);
    env_.session.setSourceFactors(factors_);
}

RecordingController::~RecordingController() {
    env_.session.setSampleHandler(nullptr);
}

SampleReader* RecordingController::reader() { return env_.session.reader(); }

RunWriter* RecordingController::writer() { return env_.session.runWriter(); }

// --- State ---

bool RecordingController::isRecording() const { return runActive_.load(); }

std::vector<CollectedFraction> RecordingController::collectedFractions() const {
    SampleReader* r = env_.session.reader();
    De1Source* source = r != nullptr ? r->de1Source() : nullptr;
    return source != nullptr ? source->CollectedFractions() : std::vector<CollectedFraction>{};
}

bool RecordingController::isPaused() const {
    RunWriter* w = env_.session.runWriter();
    return w != nullptr && w->isPaused();
}

std::string RecordingController::recordCaption() const {
    const std::scoped_lock lock(mutex_);
    return recordCaption_;
}

std::string RecordingController::pauseCaption() const {
    const std::scoped_lock lock(mutex_);
    return pauseCaption_;
}

bool RecordingController::pauseEnabled() const {
    const std::scoped_lock lock(mutex_);
    return pauseEnabled_;
}

void RecordingController::setRecordCaption(const char* caption) {
    const std::scoped_lock lock(mutex_);
    recordCaption_ = caption;
}

void RecordingController::setPauseState(const char* caption, bool enabled) {
    const std::scoped_lock lock(mutex_);
    pauseCaption_ = caption;
    pauseEnabled_ = enabled;
}

std::string RecordingController::recordedText() const {
    return formatText("Recorded %d samples", static_cast<int>(recordedSamples()));
}

std::optional<SampleRecord> RecordingController::latestSample() const {
    const std::scoped_lock lock(mutex_);
    return latest_;
}

std::filesystem::path RecordingController::tempFile() const {
    const std::scoped_lock lock(mutex_);
    return tempFile_;
}

std::optional<CalendarTime> RecordingController::runStarted() const {
    const std::scoped_lock lock(mutex_);
    return runStarted_;
}

std::optional<std::filesystem::path> RecordingController::savedFile() const {
    const std::scoped_lock lock(mutex_);
    return savedFile_;
}

void RecordingController::setRunName(std::string name) {
    const std::scoped_lock lock(mutex_);
    runName_ = std::move(name);
}

std::string RecordingController::runName() const {
    const std::scoped_lock lock(mutex_);
    return runName_;
}

bool RecordingController::chooseDe1Plan() {
    SampleReader* r = reader();
    RunWriter* w = writer();
    if (r == nullptr || w == nullptr || w->isPaused() || !r->hasDe1Source()) {
        return true;
    }
    std::optional<OverlayPlan> standard;
    std::optional<OverlayPlan> setupPlan;
    const double vpm = runVolumePerMm();
    const NextRun::Description next = env_.next.snapshot();
    if (next.standardRunPlan) {
        standard = next.standardRunPlan->plan;
    }
    if (next.de1Setup) {
        setupPlan = next.de1Setup->overlayPlan;
    }
    const double limit = next.collectionVolume;
    if (next.fractionationKind == 1) {
        // Auto + manual: full vessels are changed automatically.
        for (auto* plan : {&standard, &setupPlan}) {
            if (*plan) {
                (*plan)->autofrac = 1;
            }
        }
    }
    auto choice = chooseRunPlan(standard, setupPlan, vpm, limit);
    if (!choice.problem.empty()) {
        env_.prompter.message(choice.problem);
        return false;
    }
    const std::scoped_lock lock(mutex_);
    runPlan_ = std::move(choice.plan);
    return true;
}

void RecordingController::resetDe1Writer() {
    if (runActive_.load()) {
        return;
    }
    const std::scoped_lock lock(mutex_);
    de1RunDescription_.reset();
    startOffsetMm_ = 0.0;
}

void RecordingController::setScanSetupMode(bool on) {
    scanSetupMode_.store(on);
    if (on) {
        setPauseState(kPauseCaption, false);
    } else if (!runActive_.load()) {
        setPauseState(kPauseIdleCaption, true);
    } else {
        setPauseState(isPaused() ? kResumeCaption : kPauseCaption, true);
    }
}

void RecordingController::setAfterTwoChannelRun(std::function<void()> action) {
    const std::scoped_lock lock(mutex_);
    afterTwoChannelRun_ = std::move(action);
}

std::array<double, 2> RecordingController::factors() const {
    const std::scoped_lock lock(mutex_);
    return factors_;
}

std::string RecordingController::lastDataFolder() const { return env_.folders.folder(DialogFolder::Data); }

// --- The sample handler ---

void RecordingController::setScanEndAction(std::function<void(double)> action) {
    const std::scoped_lock lock(mutex_);
    scanEndAction_ = std::move(action);
}

void RecordingController::onSample(const SampleRecord& record) {
    {
        const std::scoped_lock lock(mutex_);
        latest_ = record;
    }
    samplesShown_.fetch_add(1);
    if (counting_.load() && !isPaused()) {
        samplesRecorded_.fetch_add(1);
    }
    env_.display.addSample(record);
    if (watchingScan_.load()) {
        watchScanEnd();
    }
}

void RecordingController::watchScanEnd() {
    SampleReader* r = reader();
    UvLink* link = r != nullptr ? r->link() : nullptr;
    // Paused, the unit is in setup mode and its last running packet is old.
    if (link == nullptr || isPaused()) {
        return;
    }
    const auto packet = link->lastCmd2();
    if (!packet) {
        return;
    }
    std::function<void(double)> action;
    double travelled = 0.0;
    {
        const std::scoped_lock lock(mutex_);
        if (!scanEnd_.note(packet->pistonMm(), packet->iPistonSpeed / 10.0, env_.clock.nowMs())) {
            return;
        }
        travelled = scanEnd_.travelledMm();
        action = scanEndAction_;
    }
    watchingScan_.store(false);
    if (action) {
        action(travelled);
    }
}

// --- Commands ---

void RecordingController::startStop() {
    // A paused run is resumed by the start path, not stopped.
    if (runActive_.load() && !isPaused()) {
        stopAndFollow();
    } else {
        start();
    }
}

void RecordingController::finishScan() {
    if (runActive_.load() && !isPaused() && !de1Run_) {
        stopAndFollow();
    }
}

void RecordingController::stopAndFollow() {
    const bool twoChannel = !de1Run_;
    stop();
    // The operator (or the end of the scan) ended the run: the Scan Setup
    // command follows it. A run stopped by anything else (closing, a lost
    // link, another port) is followed by nothing.
    std::function<void()> after;
    {
        const std::scoped_lock lock(mutex_);
        after = afterTwoChannelRun_;
    }
    if (twoChannel && after) {
        after();
    }
}

void RecordingController::stopRecording() {
    if (runActive_.load()) {
        stop();
    }
}

void RecordingController::refresh() {
    SampleReader* r = reader();
    if (r == nullptr) {
        clearShown();
        return;
    }
    // Under the acquisition lock, so that no sample lands half-way through.
    auto& lock = r->sampleLock();
    const bool locked = env_.clock.tryLockFor(lock, kRefreshLockMs);
    clearShown();
    if (locked) {
        lock.unlock();
    }
}

void RecordingController::clearShown() {
    samplesShown_.store(0);
    samplesRecorded_.store(0);
    env_.display.clearTraces();
}

void RecordingController::start() {
    // Before anything moves or a file is made: a plan that cannot be cut
    // stops the run here.
    if (!chooseDe1Plan()) {
        return;
    }
    if (!autoScan_.FindMeniscus(reader(), [this] { refresh(); })) {
        return;
    }
    refresh();
    TempFolder temp({env_.startupFolder, env_.startupFolder / "TEMP"}, env_.prompter);
    const auto tempPath = uniqueTempPath();
    if (!unlimitedTemp_) {
        temp.makeRoomForNewRun(unlimitedTemp_);
    }
    setRecordCaption(kStopCaption);
    SampleReader* r = reader();
    RunWriter* w = writer();
    if (r == nullptr || w == nullptr) {
        env_.prompter.message("Error, no data parser object available!");
        setRecordCaption(kStartCaption);
        return;
    }
    if (w->isPaused()) {
        togglePause(*r, *w);
        return;
    }
    if (scanSetupMode_.load()) {
        // The scan setup drives the unit; the button shows no run that is
        // not there, and the operator hears why none started.
        setRecordCaption(kStartCaption);
        env_.prompter.message(kScanSetupScanning);
        return;
    }
    if (!openRun(*r, *w, tempPath)) {
        env_.prompter.message("Error, could not start recording.");
        setRecordCaption(kStartCaption);
        return;
    }
    std::optional<double> scanDistance;
    if (!de1Run_ && r->link() != nullptr) {
        if (const auto settings = r->link()->lastCmd0()) {
            scanDistance = settings->uiScanDist / 100.0;
        }
    }
    {
        // The name the file was created under (numbered after a clash).
        const std::scoped_lock lock(mutex_);
        tempFile_ = w->path();
        scanEnd_.start(scanDistance, pistonAtStart_);
    }
    runActive_.store(true);
    counting_.store(true);
    watchingScan_.store(scanDistance.has_value());
}

std::filesystem::path RecordingController::uniqueTempPath() const {
    TempFolder temp({env_.startupFolder, env_.startupFolder / "TEMP"}, env_.prompter);
    // Two runs started within one second share this name; the recorder
    // creates the file exclusively and numbers the later one.
    return temp.runFilePath(runName(), env_.calendar());
}

bool RecordingController::openRun(SampleReader& reader, RunWriter& writer,
                                  const std::filesystem::path& tempPath) {
    RunDescription description;
    // The run takes the description as it stands when it starts.
    description.runInfo = env_.next.snapshot().runInfo;
    {
        const std::scoped_lock lock(mutex_);
        tempFile_ = tempPath;
        runStarted_ = env_.calendar();
        savedFile_.reset();
    }
    de1Run_ = reader.hasDe1Source();
    odSensingRun_ = false;
    startOffsetMm_ = 0.0;
    UvLink* link = reader.link();
    if (de1Run_) {
        return openDe1Run(reader, writer, tempPath, std::move(description));
    } else {
        // Where the scan starts: the stream the unit sends now has the
        // piston where it stands (the other kind of packet is older).
        pistonAtStart_.reset();
        if (link != nullptr) {
            if (link->InSetupMode(0)) {
                if (const auto settings = link->lastCmd0()) {
                    pistonAtStart_ = settings->pistonMm();
                }
            } else if (const auto running = link->lastCmd2()) {
                pistonAtStart_ = running->pistonMm();
            }
        }
        // Key 4 starts the scan in manual mode only; in setup mode it would
        // put the unit into calibration.
        if (link != nullptr && link->connected() && link->EnterManualMode()) {
            link->PressKey(AutoScan::kKeyStartScan, 0);
        }
        if (link != nullptr) {
            if (const auto settings = link->lastCmd0()) {
                description.device = deviceSettingsFrom(*settings);
            }
        }
    }
    std::error_code error;
    std::filesystem::create_directories(tempPath.parent_path(), error);
    return writer.OpenRunFile(tempPath, description);
}

bool RecordingController::openDe1Run(SampleReader& reader, RunWriter& writer,
                                     const std::filesystem::path& tempPath,
                                     RunDescription description) {
    auto setup = de1Setup();
    // The file's fraction volumes and dead-volume distance take the figure
    // the plan was checked with and the marks are cut by.
    const double vpm = runVolumePerMm();
    description.volumePerMm = vpm;
    {
        const std::scoped_lock lock(mutex_);
        setup.overlayPlan = runPlan_;
        if (setup.overlayPlan) {
            // The header tells the fractions the plan cuts, as a standard run's does.
            const PlanHeaderLines lines = planHeaderLines(*setup.overlayPlan);
            setup.settings.fractionDistance = lines.fractionDistance;
            setup.settings.numberOfFractions = lines.fractions;
            setup.settings.totalDistance = lines.totalDistance;
        }
        if (setup.settings.peaks.enabled && setup.settings.peaks.delayVolumeMl > 0.0) {
            // A delay the operator measured is the better figure of the dead
            // volume: the pulses and the marks' move on saving both use it.
            setup.settings.deadVolume = setup.settings.peaks.delayVolumeMl;
        }
        description.em1 = setup;
        de1RunDescription_ = description;
    }
    odSensingRun_ = setup.settings.delayType == Em1Settings::kOdSensingStart;
    De1Source& source = *reader.de1Source();
    std::error_code error;
    std::filesystem::create_directories(tempPath.parent_path(), error);
    // The distance starts with the run file: no row may carry the distance
    // of the time before, or every later row would look like a step back.
    auto& lock = reader.sampleLock();
    if (!env_.clock.tryLockFor(lock, kDe1StartLockMs)) {
        return false;
    }
    const std::unique_lock held(lock, std::adopt_lock);
    source.SetAufs(setup.settings.aufs);
    source.SetSamplesPerSec(setup.settings.samplesPerSec);
    De1RunPlan plan = De1RunPlan::from(setup.settings, vpm, setup.overlayPlan ? &*setup.overlayPlan : nullptr);
    {
        const NextRun::Description next = env_.next.snapshot();
        const std::scoped_lock lock(mutex_);
        const bool automatic = next.fractionationKind == 1 || (runPlan_ && runPlan_->autofrac == 1);
        plan.automaticFractionMm = automatic && vpm > 0.0 ? next.collectionVolume / vpm : 0.0;
    }
    startOffsetMm_ = std::max(0.0, plan.deadVolumeDistanceMm);
    source.StartRun(plan);
    if (!writer.OpenRunFile(tempPath, description)) {
        source.EndRun();
        return false;
    }
    return true;
}

double RecordingController::runVolumePerMm() const {
    const NextRun::Description next = env_.next.snapshot();
    return volumePerMmForRun(next.runInfo ? next.runInfo->volumePerMm : 0.0,
                             next.standardRunPlan ? next.standardRunPlan->volumePerMm : 0.0);
}

RunDescription RecordingController::de1PageDescription() const {
    {
        const std::scoped_lock lock(mutex_);
        if (de1RunDescription_) {
            return *de1RunDescription_;
        }
    }
    RunDescription next;
    next.runInfo = env_.next.snapshot().runInfo;
    next.em1 = de1Setup();
    return next;
}

Em1RunWriter::Setup RecordingController::de1Setup() const {
    if (auto chosen = env_.next.snapshot().de1Setup) {
        return *chosen;
    }
    Em1RunWriter::Setup setup;
    setup.settings = loadEm1Settings(Preferences(env_.startupFolder).store());
    return setup;
}

void RecordingController::stop() {
    // The piston's way back and the save question are no part of the run.
    counting_.store(false);
    watchingScan_.store(false);
    autoScan_.requestAbort();
    setPauseState(scanSetupMode_.load() ? kPauseCaption : kPauseIdleCaption, !scanSetupMode_.load());
    SampleReader* r = reader();
    RunWriter* w = writer();
    if (r != nullptr && r->link() != nullptr && !de1Run_) {
        r->link()->GoToUpperLimit(env_.session, false,
                                  scanSetupMode_.load() ? UpperLimitVariant::Auto
                                                        : UpperLimitVariant::Manual);
    }
    if (r == nullptr || w == nullptr) {
        // The acquisition object went away under the run (a reconnection).
        env_.prompter.message("No data is being recorded!");
        runActive_.store(false);
        setRecordCaption(kStartCaption);
        return;
    }
    // A DE-1 run whose end could not be written is kept as it is.
    if ((!de1Run_ || endDe1Run(*r, *w)) && !endsWithoutSaving(*w)) {
        askToSave(*w);
    }
    runActive_.store(false);
    setRecordCaption(kStartCaption);
    de1Run_ = false;
}

bool RecordingController::endDe1Run(SampleReader& reader, RunWriter& writer) {
    // The rows stop here, at the last record's distance: no row follows the
    // closing one, whatever the acquisition thread is doing.
    const auto closing = writer.finishDe1Run();
    if (De1Source* source = reader.de1Source()) {
        source->EndRun();
        if (const auto table = source->RunFractionTable(); table && closing.ok &&
                                                           !writer.writeFractionTable(*table)) {
            env_.prompter.message(formatText("Error, the fraction table could not be written to %s.",
                                             writer.path().string().c_str()));
        }
    }
    const Em1RunWriter layout(de1Setup(), runVolumePerMm());
    env_.display.setDe1Span(closing.distance - layout.deadVolumeDistance());
    env_.display.redraw();
    env_.prompter.message(
        "Open the air needle valve and press the AIR key on the keyboard to recover gradient in "
        "the tubing.");
    if (closing.ok) {
        return true;
    }
    // Nothing more is done to the file: no clean-up, no copy that could
    // replace it; a rescue from TEMP saves what was recorded.
    const auto path = writer.path();
    (void)writer.keepAsIs();  // false only when no file was open: nothing to keep then
    env_.prompter.message(formatText(
        "Error, the end of this run could not be written to %s (the disk may be full or the file "
        "gone). The run stays in TEMP as it was recorded; rescue it from there.",
        path.string().c_str()));
    return false;
}

bool RecordingController::endsWithoutSaving(RunWriter& writer) {
    const auto path = writer.path();
    if (const auto failed = writer.failedWrites(); failed > 0) {
        // A copy would only carry the gap on under a name that hides it.
        (void)writer.keepAsIs();
        env_.prompter.message(formatText(
            "Error, %lld rows of this run could not be written to %s (the disk may be full). The run "
            "stays in TEMP as it was recorded; rescue it from there once there is room.",
            static_cast<long long>(failed), path.string().c_str()));
        return true;
    }
    if (writer.rowsWritten() == 0) {
        (void)writer.close(true);
        env_.prompter.message("No sample was recorded in this run; there is nothing to save.");
        return true;
    }
    return false;
}

void RecordingController::setExistingFileRule(ExistingTarget existing, std::optional<FileState> onlyOver) {
    const std::scoped_lock lock(mutex_);
    existingFile_ = existing;
    replaceOnly_ = onlyOver;
}

void RecordingController::askToSave(RunWriter& writer) {
    if (!env_.prompter.askYesNo("Do you wish to save this run?")) {
        writer.close(false);
        return;
    }
    FileDialogRequest request;
    request.filter = kRunFileFilter;
    request.defaultExtension = "csv";
    request.initialFolder = lastDataFolder();
    const auto chosen = env_.prompter.saveFile(request);
    if (!chosen || chosen->empty()) {
        writer.close(false);
        return;
    }
    const std::filesystem::path target(*chosen);
    rememberDataFolder(target.parent_path());
    const auto [existing, onlyOver] = [this] {
        const std::scoped_lock lock(mutex_);
        return std::pair(existingFile_, replaceOnly_);
    }();
    if (writer.saveAs(target, existing, onlyOver)) {
        const std::scoped_lock lock(mutex_);
        savedFile_ = target;
    }
}

void RecordingController::rememberDataFolder(const std::filesystem::path& folder) {
    env_.folders.remember(DialogFolder::Data, folder.string());
}

void RecordingController::pauseResume() {
    if (scanSetupMode_.load()) {
        setPauseState(kPauseCaption, false);
        return;
    }
    SampleReader* r = reader();
    RunWriter* w = writer();
    if (r != nullptr && w != nullptr) {
        togglePause(*r, *w);
    }
}

void RecordingController::togglePause(SampleReader& reader, RunWriter& writer) {
    const bool pausing = !writer.isPaused();
    if (!writer.SetPaused(pausing)) {
        return;
    }
    setPauseState(pausing ? kResumeCaption : kPauseCaption, true);
    UvLink* link = reader.link();
    if (link == nullptr || !link->connected() || reader.hasDe1Source()) {
        return;
    }
    // The receive thread stays off the stream while the unit is commanded.
    const ReceiveHolds::Guard hold(env_.session.holds(), ReceiveHolds::Kind::Window);
    if (writer.isRecording() && !pausing) {
        if (link->EnterManualMode()) {
            link->PressKey(AutoScan::kKeyStartScan, 0);
        }
    } else {
        link->EnterSetupMode();
    }
}

void RecordingController::zero() {
    SampleReader* r = reader();
    if (r == nullptr) {
        env_.prompter.message("No data available to save!");
        return;
    }
    if (De1Source* source = r->de1Source()) {
        source->Zero();
        return;
    }
    if (const auto latest = latestSample()) {
        zeroOn(*latest);
    }
}

void RecordingController::zeroOn(const SampleRecord& latestRecord) {
    SampleReader* r = reader();
    if (r == nullptr) {
        env_.prompter.message("No data available to save!");
        return;
    }
    const SampleRecord* latest = &latestRecord;
    if (latest->sourceA == 0 || latest->sourceB == 0) {
        return;
    }
    const double factorA = static_cast<double>(latest->sampleA) / latest->sourceA;
    const double factorB = static_cast<double>(latest->sampleB) / latest->sourceB;
    if (!factorInRange(factorA) &&
        !env_.prompter.askYesNo(formatText("Factor A is %.6f, do you wish to continue?", factorA))) {
        return;
    }
    // Asked whether or not A was: a wild B factor is as wrong as a wild A.
    if (!factorInRange(factorB) &&
        !env_.prompter.askYesNo(formatText("Factor B is %.6f, do you wish to continue?", factorB))) {
        return;
    }
    if (!applyFactors(*r, {factorA, factorB})) {
        return;
    }
    // A missing "prefs.cfg" is told, and the factors still count from now
    // on: the zero is done, only not kept for the next start.
    (void)saveFactors();
    env_.prompter.message("Zero calibration completed.");
    refresh();
}

bool RecordingController::loadFactors() {
    const Preferences prefs(env_.startupFolder);
    if (!prefs.presentOrReport(env_.prompter)) {
        return false;
    }
    const auto stored = prefs.sourceFactors();
    const std::array<double, 2> loaded = {stored[0].value_or(kDefaultFactor),
                                          stored[1].value_or(kDefaultFactor)};
    SampleReader* r = reader();
    if (r == nullptr) {
        {
            const std::scoped_lock lock(mutex_);
            factors_ = loaded;
        }
        env_.session.setSourceFactors(loaded);
        return true;
    }
    return applyFactors(*r, loaded);
}

bool RecordingController::applyFactors(SampleReader& reader, const std::array<double, 2>& factors) {
    bool applied = false;
    for (const Deadline limit(env_.clock, kFactorsWaitMs); !applied && !limit.expired();) {
        applied = reader.SetSourceFactors(factors[0], factors[1]);
    }
    if (!applied) {
        env_.prompter.message("Error, the new factors could not be applied while the unit was busy. "
                              "Please try again.");
        return false;
    }
    {
        const std::scoped_lock lock(mutex_);
        factors_ = factors;
    }
    env_.session.setSourceFactors(factors);
    return true;
}

bool RecordingController::saveFactors() {
    Preferences prefs(env_.startupFolder);
    if (!prefs.presentOrReport(env_.prompter)) {
        return false;
    }
    const auto [a, b] = factors();
    return prefs.setSourceFactors({a, b}) && prefs.save();
}

void RecordingController::goToUpperLimit() {
    SampleReader* r = reader();
    if (r != nullptr && r->link() != nullptr) {
        r->link()->GoToUpperLimit(env_.session, false, UpperLimitVariant::Manual);
    }
}

void RecordingController::aufsChanged(int step) {
    SampleReader* r = reader();
    RunWriter* w = writer();
    if (r == nullptr || w == nullptr) {
        return;
    }
    if (w->isRecording() && w->isDe1Run()) {
        const auto last = latestSample().value_or(SampleRecord{});
        // Rows from here on are at the new scale: a file that does not say
        // so reads wrong, so the user hears of it.
        if (!w->writeAufsChange(step, last.positionA)) {
            env_.prompter.message(formatText("Error, the AUFS change could not be written to %s.",
                                             w->path().string().c_str()));
        }
    }
    if (De1Source* source = r->de1Source()) {
        source->SetAufs(step);
    }
}

bool RecordingController::fractionAdvance() {
    SampleReader* r = reader();
    De1Source* source = r != nullptr ? r->de1Source() : nullptr;
    if (source == nullptr) {
        return false;
    }
    source->RaiseFractionAdvance();
    return true;
}

bool RecordingController::moveToTargetPosition() {
    SampleReader* r = reader();
    if (r == nullptr || r->link() == nullptr) {
        return false;
    }
    r->link()->SetTargetPosition(targetPosition_.load());
    return autoScan_.MoveToTargetPosition(*r);
}

bool RecordingController::startAutoScan() {
    SampleReader* r = reader();
    return r != nullptr && autoScan_.StartAutoScan(*r);
}

}  // namespace corvane
