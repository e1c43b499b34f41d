#include "display/GraphOverlays.h"

#include "app/DialogFolders.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "compare/CompareSets.h"
#include "compare/ExportFile.h"
#include "runs/ProfileFile.h"
#include "display/GraphView.h"
#include "display/TableColumnChoice.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/OverlayPlanRules.h"
#include "setup/CollectionVolume.h"

namespace corvane {

namespace {

constexpr const char* kCsvTextFilter =
    "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr const char* kStandardRunFilter = "SR CSV Text Files (SR*.csv)|SR*.csv|All Files (*.*)|*.*||";

// A run file to open, from the user's data folder; `profiles`: profiles of
// other instruments are offered beside our runs.
FileDialogRequest runFileRequest(const char* title, DialogFolders& folders, bool profiles) {
    FileDialogRequest request;
    request.title = title;
    request.filter = profiles ? kRunOrProfileFilter : kCsvTextFilter;
    request.defaultExtension = "*.csv";
    request.initialFolder = folders.folder(DialogFolder::Data);
    return request;
}

// Sets drawn on one axis in different own units: a profile's minutes or
// points beside our run's samples.
bool mixedUnits(const Scene& scene, XAxisType axis) {
    const XUnits first = scene.unitsOf(0, axis);
    for (int k = 1; k < scene.setCount(); ++k) {
        const XUnits u = scene.unitsOf(k, axis);
        if (u.byPosition != first.byPosition || u.scale != first.scale) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string GraphOverlays::fileError(const std::filesystem::path& path) const {
    return formatText("Error, could not load file: %s", path.string().c_str());
}

// --- Overlay ---

bool GraphOverlays::toggleOverlay() {
    if (env_.view.overlayShown()) {
        overlayRemoved_ = true;
        drag_.end();
        env_.view.removeOverlay();
        return true;
    }
    const auto chosen = env_.prompter.openFile(runFileRequest("Open", env_.folders, true));
    if (!chosen) {
        return false;
    }
    // The file is read without the live run's lock (the receive thread is
    // never held up), so the load never has to wait and post itself again.
    return loadOverlay(*chosen);
}

bool GraphOverlays::loadOverlay(const std::filesystem::path& path) {
    const auto reading = askTableColumns(env_.prompter, path);
    if (!reading) {
        return false;
    }
    RunDataFile file;
    if (!readRunForViewing(path, file, *reading).empty()) {
        env_.prompter.message(fileError(path));
        return false;
    }
    if (const auto message = exportedFileMessage(file, path.string()); !message.empty()) {
        env_.prompter.message(message);
        return false;
    }
    env_.view.setOverlay(std::move(file), path);
    return true;
}

std::string GraphOverlays::overlayCaption() const {
    if (env_.view.overlayShown()) {
        return "Remove Overlay";
    }
    // The removal restores the caption in the old program's own spelling.
    return overlayRemoved_ ? "Overlay Graph" : "OVERLAY GRAPH";
}

void GraphOverlays::setOverlayChannel(int channel, bool on) {
    if (on && (channel == kChannelAbsA || channel == kChannelAbsB)) {
        env_.view.setChannelShown(channel == kChannelAbsA ? kChannelAbsB : kChannelAbsA, false);
    }
    env_.view.setChannelShown(channel, on);
}

// --- Standard run ---

bool GraphOverlays::toggleStandardRun() {
    if (standard_) {
        removeStandardRun();
        return true;
    }
    if (env_.hooks.recording && env_.hooks.recording() && env_.hooks.pauseRecording) {
        env_.hooks.pauseRecording();
    }
    FileDialogRequest request;
    request.title = "Open";
    request.filter = kStandardRunFilter;
    request.defaultExtension = "*.csv";
    request.initialFolder = UserStore(env_.startupFolder).madeStandardRunsFolder().string();
    const auto chosen = env_.prompter.openFile(request);
    if (!chosen) {
        return false;
    }
    return loadStandardRun(*chosen);
}

bool GraphOverlays::loadStandardRun(const std::filesystem::path& path) {
    removeStandardRun();
    RunDataFile file;
    const auto plan = readOverlayPlanFile(path);
    if (!plan || file.read(path) != RunDataFile::ReadStatus::Ok) {
        env_.prompter.message(fileError(path));
        return false;
    }
    standard_ = std::make_unique<StandardRun>(std::move(file), plan->plan, path);
    standard_->setAxis(env_.view.axes().xAxisType());
    if (env_.hooks.attachPlan) {
        env_.hooks.attachPlan(standard_.get(), showProfile_);
    }
    if (env_.hooks.hidePresetRuns) {
        env_.hooks.hidePresetRuns();
    }
    env_.view.setStandardProfile(&standard_->file(), showProfile_);
    adoptCollectionSettings(path);
    return true;
}

std::string GraphOverlays::userName() const { return hooks_.userName ? hooks_.userName() : std::string(); }

void GraphOverlays::adoptCollectionSettings(const std::filesystem::path& path) {
    const RunFileHeader& header = standard_->file().header();
    const double volume =
        header.hasVolumePerMm ? planCollectionVolume(standard_->plan(), header.info.volumePerMm) : 0.0;
    if (!(volume > 0.0)) {
        return;  // no zones, or no volume per mm: the file has no collection settings
    }
    const std::string user = userName();
    // Compared as they are shown: a difference below the hundredth is none.
    if (formatText("%.2f", volume) == formatText("%.2f", loadCollectionVolume(env_.startupFolder, user))) {
        return;
    }
    const bool stored = storeCollectionVolume(env_.startupFolder, user, volume);
    if (hooks_.collectionAdopted) {
        hooks_.collectionAdopted(volume);
    }
    env_.prompter.message(formatText("Warning: Current collection settings have changed to match those of file: %s",
                                     path.string().c_str()));
    if (!stored) {
        env_.prompter.message("Warning: Unable to save user settings.");
    }
}

std::optional<GraphOverlays::RunForStandard> GraphOverlays::chooseRunForStandard() {
    const auto chosen =
        env_.prompter.openFile(runFileRequest("Please select a file to become the STANDARD RUN", env_.folders, false));
    if (!chosen) {
        return std::nullopt;
    }
    RunForStandard out;
    out.path = *chosen;
    const auto plan = readOverlayPlanFile(out.path);
    if (!plan || out.run.read(out.path) != RunDataFile::ReadStatus::Ok) {
        // A profile of another instrument is told as such, not as a broken run.
        const auto profile = readProfileFile(out.path);
        const bool other = profile.profile && profile.profile->format != ProfileFormat::Corvane;
        env_.prompter.message(other ? profileRefusalMessage(out.path, *profile.profile, "Create Standard Run")
                                    : fileError(out.path));
        return std::nullopt;
    }
    if (const auto message = exportedFileMessage(out.run, out.path.string()); !message.empty()) {
        env_.prompter.message(message);
        return std::nullopt;
    }
    out.plan = plan->plan;
    const auto described = hooks_.runVolumePerMm ? hooks_.runVolumePerMm() : std::nullopt;
    const RunFileHeader& header = out.run.header();
    out.volumePerMm = described ? *described : (header.hasVolumePerMm ? header.info.volumePerMm : 0.0);
    out.collectionLimit = loadCollectionVolume(env_.startupFolder, userName());
    return out;
}

void GraphOverlays::removeStandardRun() {
    if (!standard_) {
        return;
    }
    if (env_.hooks.attachPlan) {
        env_.hooks.attachPlan(nullptr, false);
    }
    env_.view.setStandardProfile(nullptr, showProfile_);
    standard_.reset();
}

std::string GraphOverlays::standardCaption() const {
    return standard_ ? "REMOVE STANDARD RUN" : "SET STANDARD RUN";
}

void GraphOverlays::setShowStandardProfile(bool on) {
    showProfile_ = on;
    if (standard_ && env_.hooks.attachPlan) {
        env_.hooks.attachPlan(standard_.get(), showProfile_);
    }
    if (standard_) {
        // A profile shown takes part in the Y auto-scale, a hidden one not.
        env_.view.setStandardProfile(&standard_->file(), showProfile_);
    }
}

void GraphOverlays::axisChanged() {
    if (standard_) {
        standard_->setAxis(env_.view.axes().xAxisType());
        if (env_.hooks.attachPlan) {
            // The boundaries moved: the picture is drawn again.
            env_.hooks.attachPlan(nullptr, false);
            env_.hooks.attachPlan(standard_.get(), showProfile_);
        }
    }
}

// --- Alignment ---

bool GraphOverlays::setsShown() const { return env_.view.scene().setCount() > 1; }

bool GraphOverlays::startAutoAlign() {
    CompareOffsets& offsets = env_.view.offsets();
    if (offsets.anyXGainOtherThanOne()) {
        if (!env_.prompter.askYesNo("X-axis gains must be reset to 1.0 in order to perform the auto-align "
                                    "function. Do you wish to reset x-axis gains?")) {
            return false;
        }
        offsets.resetXGains();
        env_.view.refresh();
    }
    alignMode_ = true;
    return true;
}

bool GraphOverlays::finishAutoAlign(double x1, double x2) {
    alignMode_ = false;
    const std::vector<AlignTrace> traces = env_.view.scene().alignTraces();
    if (traces.empty()) {
        return false;
    }
    // The search works on the reference's own positions or samples: where
    // it is drawn, its own shift taken off, in its own units.
    const Scene& scene = env_.view.scene();
    const XAxisType type = env_.view.axes().xAxisType();
    const XUnits units = scene.unitsOf(0, type);
    const double refShift = env_.view.xShiftOf(0);
    if (mixedUnits(scene, type)) {
        return finishAutoAlignOnAxis(x1 - refShift, x2 - refShift);
    }
    const AlignAxis axis = units.byPosition ? AlignAxis::Millimetres : AlignAxis::Samples;
    x1 = (x1 - refShift) / units.scale;
    x2 = (x2 - refShift) / units.scale;
    const auto reference = findPeak(traces[0], x1, x2, axis);
    if (!reference) {
        return false;
    }
    CompareOffsets& offsets = env_.view.offsets();
    for (std::size_t k = 1; k < traces.size(); ++k) {
        const int set = static_cast<int>(k);
        const auto aligned = alignOn(*reference, traces[k], x1, x2, axis);
        if (aligned) {
            (void)offsets.setXOffset(set, aligned->offsetSamples + offsets.xOffset(0));
        }
    }
    env_.view.refresh();
    return true;
}

bool GraphOverlays::finishAutoAlignOnAxis(double x1, double x2) {
    const Scene& scene = env_.view.scene();
    const XAxisType type = env_.view.axes().xAxisType();
    std::vector<const RunDataFile*> files;
    std::vector<XUnits> units;
    for (int k = 0; k < scene.setCount(); ++k) {
        if (scene.setFile(k) == nullptr) {
            return false;  // a live run searched beside a file: not in this way
        }
        files.push_back(scene.setFile(k));
        units.push_back(scene.unitsOf(k, type));
    }
    const auto found = alignedOnAxis(files, units, x1, x2);
    if (!found) {
        return false;
    }
    // Each set goes as far as the reference is shifted, plus its own peak's distance.
    CompareOffsets& offsets = env_.view.offsets();
    const double refShift = env_.view.xShiftOf(0);
    for (std::size_t k = 1; k < found->size(); ++k) {
        if (const auto offset = (*found)[k]) {
            const int set = static_cast<int>(k);
            (void)offsets.setXOffset(set, *offset + refShift * scene.samplesPerX(set, type));
        }
    }
    env_.view.refresh();
    return true;
}

void GraphOverlays::resetAlignment() {
    env_.view.offsets().resetAlignment();
    env_.view.refresh();
}

bool GraphOverlays::draggable(int slot) const { return env_.view.scene().draggable(slot); }

bool GraphOverlays::dragTo(PixelPoint at) {
    const auto moved = drag_.moveTo(at);
    if (!moved) {
        return false;
    }
    CompareOffsets& offsets = env_.view.offsets();
    (void)offsets.setYOffset(drag_.set(), moved->y);
    (void)offsets.setXOffset(drag_.set(), moved->x);
    env_.view.refresh();
    return true;
}

}  // namespace corvane
