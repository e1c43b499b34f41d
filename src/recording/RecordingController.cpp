#include "recording/RecordingController.h"

#include <cmath>
#include <system_error>
#include <utility>

#include "app/Clock.h"
#include "app/DialogFolders.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "recording/SampleReader.h"
#include "recording/AcquisitionSession.h"
#include "runs/DeviceSettings.h"
#include "recording/RunDisplay.h"
#include "runs/TempFolder.h"
#include "base/TextFormat.h"
#include "runs/Em1SettingsStore.h"

namespace corvane {

namespace {

[[nodiscard]] bool factorInRange(double factor) {
    return factor >= RecordingController::kFactorLow && factor <= RecordingController::kFactorHigh;
}

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
    env_.session.setReaderMade([this](SampleReader& reader) {
        const auto [a, b] = factors();
        (void)reader.SetSourceFactors(a, b);
    });
}

RecordingController::~RecordingController() {
    env_.session.setSampleHandler(nullptr);
    env_.session.setReaderMade({});
}

SampleReader* RecordingController::reader() { return env_.session.reader(); }

// --- State ---

bool RecordingController::isRecording() const { return runActive_.load(); }

bool RecordingController::isPaused() const {
    SampleReader* r = env_.session.reader();
    return r != nullptr && r->isPaused();
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
    return formatText("Recorded %d samples", static_cast<int>(samplesShown_.load() / 2));
}

std::optional<SampleRecord> RecordingController::latestSample() const {
    const std::scoped_lock lock(mutex_);
    return latest_;
}

std::filesystem::path RecordingController::tempFile() const {
    const std::scoped_lock lock(mutex_);
    return tempFile_;
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

void RecordingController::setRunInfo(std::optional<RunInfo> info) {
    const std::scoped_lock lock(mutex_);
    runInfo_ = std::move(info);
}

void RecordingController::setDe1Setup(std::optional<Em1RunWriter::Setup> setup) {
    const std::scoped_lock lock(mutex_);
    de1Setup_ = std::move(setup);
}

void RecordingController::setScanSetupMode(bool on) {
    scanSetupMode_.store(on);
    if (on) {
        setPauseState(kPauseCaption, false);
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

void RecordingController::onSample(const SampleRecord& record) {
    {
        const std::scoped_lock lock(mutex_);
        latest_ = record;
    }
    samplesShown_.fetch_add(1);
    env_.display.addSample(record);
}

// --- Commands ---

void RecordingController::startStop() {
    // A paused run is resumed by the start path, not stopped.
    if (runActive_.load() && !isPaused()) {
        stop();
    } else {
        start();
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
    env_.display.clearTraces();
}

void RecordingController::start() {
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
    if (r == nullptr) {
        env_.prompter.message("Error, no data parser object available!");
        setRecordCaption(kStartCaption);
        return;
    }
    if (r->isPaused()) {
        togglePause(*r);
        return;
    }
    if (scanSetupMode_.load()) {
        return;
    }
    if (!openRun(*r, tempPath)) {
        env_.prompter.message("Error, could not start recording.");
        setRecordCaption(kStartCaption);
        return;
    }
    {
        // The name the file was created under (numbered after a clash).
        const std::scoped_lock lock(mutex_);
        tempFile_ = r->recorder().path();
    }
    runActive_.store(true);
}

std::filesystem::path RecordingController::uniqueTempPath() const {
    TempFolder temp({env_.startupFolder, env_.startupFolder / "TEMP"}, env_.prompter);
    // Two runs started within one second share this name; the recorder
    // creates the file exclusively and numbers the later one.
    return temp.runFilePath(runName(), env_.calendar());
}

bool RecordingController::openRun(SampleReader& reader, const std::filesystem::path& tempPath) {
    RunDescription description;
    {
        const std::scoped_lock lock(mutex_);
        description.runInfo = runInfo_;
        tempFile_ = tempPath;
        savedFile_.reset();
    }
    de1Run_ = reader.hasDe1Source();
    UvLink* link = reader.link();
    if (de1Run_) {
        return openDe1Run(reader, tempPath, std::move(description));
    } else {
        if (link != nullptr && link->connected()) {
            link->EnterManualMode();
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
    return reader.OpenRunFile(tempPath, description);
}

bool RecordingController::openDe1Run(SampleReader& reader, const std::filesystem::path& tempPath,
                                     RunDescription description) {
    const auto setup = de1Setup();
    description.em1 = setup;
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
    source.StartRun(De1RunPlan::from(setup.settings, runVolumePerMm()));
    if (!reader.OpenRunFile(tempPath, description)) {
        source.EndRun();
        return false;
    }
    return true;
}

std::optional<double> RecordingController::runVolumePerMm() const {
    const std::scoped_lock lock(mutex_);
    if (runInfo_ && runInfo_->volumePerMm > 0.0) {
        return runInfo_->volumePerMm;
    }
    return std::nullopt;
}

Em1RunWriter::Setup RecordingController::de1Setup() const {
    {
        const std::scoped_lock lock(mutex_);
        if (de1Setup_) {
            return *de1Setup_;
        }
    }
    Em1RunWriter::Setup setup;
    setup.settings = loadEm1Settings(Preferences(env_.startupFolder).store());
    return setup;
}

void RecordingController::stop() {
    autoScan_.requestAbort();
    setPauseState(scanSetupMode_.load() ? kPauseCaption : kPauseIdleCaption, !scanSetupMode_.load());
    SampleReader* r = reader();
    if (r != nullptr && r->link() != nullptr && !de1Run_) {
        r->link()->GoToUpperLimit(env_.session, false,
                                  scanSetupMode_.load() ? UpperLimitVariant::Auto
                                                        : UpperLimitVariant::Manual);
    }
    if (r == nullptr) {
        // The acquisition object went away under the run (a reconnection).
        env_.prompter.message("No data is being recorded!");
        runActive_.store(false);
        setRecordCaption(kStartCaption);
        return;
    }
    if (de1Run_) {
        endDe1Run(*r);
    }
    askToSave(*r);
    // A run stopped while paused leaves nothing paused behind.
    if (r->isPaused()) {
        (void)r->SetPaused(false);
    }
    runActive_.store(false);
    setRecordCaption(kStartCaption);
    std::function<void()> after;
    {
        const std::scoped_lock lock(mutex_);
        after = afterTwoChannelRun_;
    }
    if (!de1Run_ && after) {
        after();
    }
    de1Run_ = false;
}

void RecordingController::endDe1Run(SampleReader& reader) {
    // No row may follow the closing one: the rows stop here.
    (void)reader.SetPaused(true);
    if (De1Source* source = reader.de1Source()) {
        source->EndRun();
    }
    const auto last = latestSample().value_or(SampleRecord{});
    const double distance = last.positionA;
    (void)reader.recorder().finishEm1Run(distance, last.absorbanceA);
    const Em1RunWriter writer(de1Setup(), runVolumePerMm());
    env_.display.setDe1Span(distance - writer.deadVolumeDistance());
    env_.display.redraw();
    env_.prompter.message(
        "Open the air needle valve and press the AIR key on the keyboard to recover gradient in "
        "the tubing.");
}

void RecordingController::askToSave(SampleReader& reader) {
    auto& recorder = reader.recorder();
    if (!env_.prompter.askYesNo("Do you wish to save this run?")) {
        recorder.close(false);
        return;
    }
    FileDialogRequest request;
    request.filter = kRunFileFilter;
    request.defaultExtension = "csv";
    request.initialFolder = lastDataFolder();
    const auto chosen = env_.prompter.saveFile(request);
    if (!chosen || chosen->empty()) {
        recorder.close(false);
        return;
    }
    const std::filesystem::path target(*chosen);
    rememberDataFolder(target.parent_path());
    if (recorder.saveAs(target)) {
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
    if (SampleReader* r = reader()) {
        togglePause(*r);
    }
}

void RecordingController::togglePause(SampleReader& reader) {
    const bool pausing = !reader.isPaused();
    if (!reader.SetPaused(pausing)) {
        return;
    }
    setPauseState(pausing ? kResumeCaption : kPauseCaption, true);
    UvLink* link = reader.link();
    if (link == nullptr || !link->connected() || reader.hasDe1Source()) {
        return;
    }
    // The receive thread stays off the stream while the unit is commanded.
    const ReceiveHolds::Guard hold(env_.session.holds(), ReceiveHolds::Kind::Window);
    if (reader.isRecording() && !pausing) {
        link->EnterManualMode();
        link->PressKey(AutoScan::kKeyStartScan, 0);
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
    const auto latest = latestSample();
    if (!latest || latest->sourceA == 0 || latest->sourceB == 0) {
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
    {
        const std::scoped_lock lock(mutex_);
        factors_ = {factorA, factorB};
    }
    (void)r->SetSourceFactors(factorA, factorB);
    if (!saveFactors()) {
        return;
    }
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
    {
        const std::scoped_lock lock(mutex_);
        factors_ = loaded;
    }
    if (SampleReader* r = reader()) {
        (void)r->SetSourceFactors(loaded[0], loaded[1]);
    }
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
    if (r == nullptr) {
        return;
    }
    if (r->isRecording()) {
        const auto last = latestSample().value_or(SampleRecord{});
        (void)r->recorder().writeAufsChange(step, last.positionA);
    }
    if (De1Source* source = r->de1Source()) {
        source->SetAufs(step);
    }
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
