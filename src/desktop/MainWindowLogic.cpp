#include "desktop/MainWindowLogic.h"

#include <system_error>

#include "app/ConfigFile.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "compare/CompareSets.h"
#include "desktop/CursorReadouts.h"
#include "desktop/LiveGraph.h"
#include "graph/GraphModel.h"
#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"
#include "recording/RecordingController.h"
#include "setup/CollectionVolume.h"

namespace corvane {

namespace {

constexpr const char* kVolumes = "Volumes";

// A usable file: present and not empty.
[[nodiscard]] bool fileHasContent(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return !ec && size > 0;
}

}  // namespace

MainWindowLogic::MainWindowLogic(Env env)
    : env_(std::move(env)),
      feed_(env_.clock, env_.window),
      view_(feed_, env_.graph),
      prefs_(env_.startupFolder, env_.prompter),
      files_({env_.startupFolder, env_.prompter, env_.folders, env_.window, view_, prefs_}),
      keys_({[this] { feed_.clear(); }, [this] { refreshGraph(); }, env_.busy}),
      cursors_(env_.prompter, env_.clock),
      overlays_(GraphOverlays::Env{env_.startupFolder, env_.prompter, env_.folders, view_,
                                   [this] { return recording_ != nullptr && recording_->isRecording(); },
                                   [this] {
                                       // Paused first, unless it is already.
                                       if (recording_ != nullptr && recording_->pauseEnabled() &&
                                           recording_->pauseCaption() != RecordingController::kResumeCaption) {
                                           recording_->pauseResume();
                                       }
                                   },
                                   [this] { prefs_.hidePresetRuns(); },
                                   [this](const FractionPlanHook* plan, bool zones) {
                                       (void)env_.graph.edit([&](GraphModel& model) {
                                           model.setFractionPlan(plan);
                                           model.setShowPlanZones(zones);
                                       });
                                       env_.graph.redrawAll();
                                       standardRunChanged(plan != nullptr);
                                   }}),
      mouse_(view_, cursors_, overlays_, env_.graph, env_.hitTest) {
    readVolumes();
    overlays_.setStandardRunHooks(
        {.userName = [this] { return setupHost_.runInfo() ? setupHost_.runInfo()->userName : std::string(); },
         .runVolumePerMm =
             [this] {
                 return setupHost_.runInfo() ? std::optional(setupHost_.runInfo()->volumePerMm) : std::nullopt;
             },
         .collectionAdopted = [this](double ml) { setupHost_.setCollection(ml, setupHost_.fractionationKind()); }});
    setupHost_.setTargets({.de1Mode = [this] { return de1Mode(); },
                           .showGraph = [this] { refreshGraph(); },
                           .window = &env_.window});
}

void MainWindowLogic::standardRunChanged(bool shown) {
    const StandardRun* standard = shown ? overlays_.standardRun() : nullptr;
    if (standard == nullptr) {
        setupHost_.setStandardRunPlan(std::nullopt);
        return;
    }
    const RunFileHeader& header = standard->file().header();
    setupHost_.setStandardRunPlan(
        StandardRunPlan{standard->plan(), header.hasVolumePerMm ? header.info.volumePerMm : 0.0});
}

void MainWindowLogic::readVolumes() {
    const auto path = env_.startupFolder / "rotors.txt";
    if (!fileHasContent(path)) {
        env_.prompter.message(formatText("Error, file: %s could not be opened.", path.string().c_str()));
        return;
    }
    const ConfigFile rotors(path);
    volumes_.a = rotors.getDouble(kVolumes, "A_Volume");
    volumes_.b = rotors.getDouble(kVolumes, "B_Volume");
    volumes_.c = rotors.getDouble(kVolumes, "C_Volume");
    volumes_.dPerMm = rotors.getDouble(kVolumes, "D_Volume_Per_MM");
}

void MainWindowLogic::bind(RecordingCommands* recording, InstrumentSession* session) {
    recording_ = recording;
    session_ = session;
    files_.bind(recording);
    keys_.bind(recording, session);
    ports_.bind(session, recording);
}

// --- Preferences ---

bool MainWindowLogic::loadPreferences() {
    const auto loaded = prefs_.load();
    if (!loaded) {
        return false;
    }
    ports_.setLine(loaded->baudRate, WindowPreferences::kInterByteDelayMs);
    ports_.takeStoredPort(loaded->comPort);
    view_.apply(loaded->view);
    userName_ = loaded->lastUser;
    // The vessel the runs are checked against is the stored one from the start.
    setupHost_.setCollection(loadCollectionVolume(env_.startupFolder, userName_), setupHost_.fractionationKind());
    axisLabels_ = loaded->axisLabels;
    return true;
}

bool MainWindowLogic::savePreferences() { return prefs_.save(view_.settings(), ports_.portToSave()); }

// --- Commands ---

void MainWindowLogic::setChannelShown(int channel, bool shown) {
    view_.setChannelShown(channel, shown);
    savePreferences();
}

void MainWindowLogic::setEventMarksShown(bool shown) {
    view_.setEventMarksShown(shown);
    savePreferences();
}

void MainWindowLogic::setAufs(int step) {
    // Idle or recording, the DE-1 source scales with the new step from now
    // on; the controller writes the change line only into a running run.
    if (recording_ != nullptr) {
        recording_->aufsChanged(step);
    }
    view_.setAufs(step);
    // The next run starts at the step chosen last, here or on DE-1 SETUP.
    if (auto setup = setupHost_.de1Setup(); setup && setup->settings.aufs != view_.aufsIndex()) {
        setup->settings.aufs = view_.aufsIndex();
        setupHost_.setDe1Setup(*setup);
    }
    // The rotor keeps the step its runs were recorded at: only a live run with
    // a user stores it there, never a step chosen to look at a file.
    const auto& info = setupHost_.runInfo();
    const bool liveRun = session_ != nullptr && session_->de1Source() && !view_.fileShown() && !view_.compareSets();
    const bool forRotor = liveRun && info && !info->userName.empty();
    prefs_.saveAufs(view_.aufsIndex(), forRotor ? info->manufacturerIndex : -1, forRotor ? info->rotorModelIndex : -1);
}

void MainWindowLogic::setXAxisType(XAxisType type) {
    if (type == view_.xAxisType()) {
        return;
    }
    // A cursor stays on its sample: sample 200 is not 200 mm.
    cursors_.relocate([this](double x) { return view_.xOnOtherAxis(x); });
    view_.setXAxisType(type);
    if (!cursors_.empty()) {
        cursorsChanged();
    }
}

void MainWindowLogic::windowSizeEdited(bool mm, std::string_view text) {
    if (view_.windowSizeEdited(mm, text)) {
        prefs_.saveWindowWidth(mm, view_.windowText(mm));
    }
}

void MainWindowLogic::windowSizeSpin(bool mm, bool up) {
    if (view_.windowSizeSpin(mm, up)) {
        prefs_.saveWindowWidth(mm, view_.windowText(mm));
    }
}

void MainWindowLogic::refreshGraph() {
    const bool de1Source = session_ != nullptr && session_->de1Source();
    const bool recording = recording_ != nullptr && recording_->isRecording();
    view_.setOdSensingStart(de1Source && recording && recording_->odSensingRun());
    view_.setRunStartOffset(de1Source && recording_ != nullptr ? recording_->runStartOffsetMm() : 0.0);
    view_.refresh(de1Source, recording);
}

bool MainWindowLogic::de1Mode() const {
    return (session_ != nullptr && session_->de1Source()) || view_.de1Mode();
}

// --- What the window shows ---

std::string MainWindowLogic::caption() const {
    if (view_.compareSets() != nullptr) {
        return "Compare Data Sets";
    }
    std::string text = status_.caption(view_.fileShown());
    if (view_.fileShown()) {
        text += " - " + visibleText(view_.shownPath().filename().string());
    }
    return text;
}

std::array<std::string, kChannelCount> MainWindowLogic::readoutTexts() const {
    if (const auto position = cursors_.mainPosition()) {
        return cursorValueTexts(view_.currentSampleAt(*position));
    }
    const auto latest = feed_.latest();
    return corvane::readoutTexts(latest ? &*latest : nullptr);
}

std::vector<std::string> MainWindowLogic::cursorLabelLines() const {
    const auto position = cursors_.mainPosition();
    return position ? labelLinesAt(*position) : std::vector<std::string>{};
}

std::vector<std::string> MainWindowLogic::labelLinesAt(double x) const {
    if (const CompareSets* sets = view_.compareSets()) {
        std::vector<NamedSample> named;
        for (std::size_t k = 0; k < sets->size(); ++k) {
            const CompareSet& set = (*sets)[k];
            named.push_back({set.name(), view_.compareSampleAt(static_cast<int>(k), x),
                             set.file.layout() == RunFileLayout::Fluorescence});
        }
        return compareLabelLines(view_.settings().shown, named);
    }
    const auto current = view_.currentSampleAt(x);
    if (view_.overlayShown()) {
        const auto overlay = view_.overlaySampleAt(x);
        return corvane::cursorLabelLines(view_.settings().shown, current, &overlay);
    }
    return corvane::cursorLabelLines(view_.settings().shown, current, nullptr);
}

void MainWindowLogic::cursorsChanged() {
    (void)env_.graph.edit(
        [&](GraphModel& model) { model.setCursorList(!cursors_.empty(), cursors_.graphCursors()); });
    view_.setWindowCentre(cursors_.mainPosition());
    env_.graph.redraw();
}

std::string MainWindowLogic::recordedText() const {
    return formatText("Recorded %d samples", static_cast<int>(feed_.total() / 2));
}

// --- Messages from the workers ---

void MainWindowLogic::onLinkLost() {
    if (recording_ != nullptr && recording_->isRecording()) {
        recording_->stopRecording();
    }
}

void MainWindowLogic::onReceiveEnded() {
    status_.clear();
    refreshGraph();
}

}  // namespace corvane
