#include "display/MainWindowLogic.h"

#include <system_error>

#include "app/ConfigFile.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "display/CursorReadouts.h"
#include "display/RunFileScene.h"
#include "display/LiveGraph.h"
#include "graph/GraphModel.h"
#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"
#include "recording/RecordingController.h"
#include "setup/CollectionVolume.h"
#include "setup/GraphSetupPage.h"

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
      graph_({env_.startupFolder, env_.prompter, env_.folders, env_.clock, env_.graph, env_.hitTest}, feed_,
             GraphOverlays::Hooks{[this] { return recording_ != nullptr && recording_->isRecording(); },
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
      prefs_(env_.startupFolder, env_.prompter),
      files_({env_.startupFolder, env_.prompter, env_.folders, env_.window, graph_.view(), prefs_}),
      keys_({[this] { feed_.clear(); }, [this] { refreshGraph(); }, env_.busy}),
      setupHost_(next_, {.link = env_.link,
                         .setTargetPosition = env_.setTargetPosition,
                         .de1Mode = [this] { return de1Mode(); },
                         .kelvoUnit = env_.kelvoUnit,
                         .showGraph =
                             [this] {
                                 refreshGraph();
                                 if (env_.raiseWindow) {
                                     env_.raiseWindow();
                                 }
                             },
                         .hideWindow = env_.hideWindow,
                         .window = &env_.window,
                         // The AUFS buttons show what the next run starts with.
                         .de1SetupChanged = [this](const Em1RunWriter::Setup& setup) {
                             view().setAufs(setup.settings.aufs);
                         }}) {
    readVolumes();
    graph_.overlays().setStandardRunHooks(
        {.userName = [this] { return setupHost_.runInfo() ? setupHost_.runInfo()->userName : std::string(); },
         .runVolumePerMm =
             [this] {
                 return setupHost_.runInfo() ? std::optional(setupHost_.runInfo()->volumePerMm) : std::nullopt;
             },
         .collectionAdopted = [this](double ml) { setupHost_.setCollection(ml, setupHost_.fractionationKind()); }});
}

void MainWindowLogic::standardRunChanged(bool shown) {
    const StandardRun* standard = shown ? graph_.overlays().standardRun() : nullptr;
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
    graph_.view().apply(loaded->view);
    userName_ = loaded->lastUser;
    // The vessel the runs are checked against is the stored one from the start.
    setupHost_.setCollection(loadCollectionVolume(env_.startupFolder, userName_), setupHost_.fractionationKind());
    axisLabels_ = loaded->axisLabels;
    stopAtScanEnd_ = loaded->stopAtScanEnd;
    legend_ = loaded->legend;
    return true;
}

void MainWindowLogic::setStopAtScanEnd(bool on) {
    stopAtScanEnd_ = on;
    prefs_.saveStopAtScanEnd(on);
}

bool MainWindowLogic::scanEnded(double travelledMm) {
    status_.showScanEnd(travelledMm);
    return stopAtScanEnd_ && recording_ != nullptr && keys_.isRecording();
}

bool MainWindowLogic::savePreferences() { return prefs_.save(view().axes().settings(), ports_.portToSave()); }

// --- Commands ---

void MainWindowLogic::setChannelShown(int channel, bool shown) {
    view().setChannelShown(channel, shown);
    savePreferences();
}

void MainWindowLogic::setEventMarksShown(bool shown) {
    view().change([shown](AxisState& axes) { axes.setEventMarksShown(shown); });
    savePreferences();
}

void MainWindowLogic::setAufs(int step) {
    // Idle or recording, the DE-1 source scales with the new step from now
    // on; the controller writes the change line only into a running run.
    if (recording_ != nullptr) {
        recording_->aufsChanged(step);
    }
    view().setAufs(step);
    const int aufs = view().axes().aufsIndex();
    // The next run starts at the step chosen last, here or on DE-1 SETUP.
    if (auto setup = setupHost_.de1Setup(); setup && setup->settings.aufs != aufs) {
        setup->settings.aufs = aufs;
        setupHost_.setDe1Setup(*setup);
    }
    // The rotor keeps the step its runs were recorded at: only a live run with
    // a user stores it there, never a step chosen to look at a file.
    const auto& info = setupHost_.runInfo();
    const bool liveRun = session_ != nullptr && session_->de1Source() && view().scene().live();
    const bool forRotor = liveRun && info && !info->userName.empty();
    prefs_.saveAufs(aufs, forRotor ? info->manufacturerIndex : -1, forRotor ? info->rotorModelIndex : -1);
}

void MainWindowLogic::windowSizeEdited(bool mm, std::string_view text) {
    if (view().windowSizeEdited(mm, text)) {
        prefs_.saveWindowWidth(mm, view().axes().windowText(mm));
    }
}

void MainWindowLogic::windowSizeSpin(bool mm, bool up) {
    if (view().windowSizeSpin(mm, up)) {
        prefs_.saveWindowWidth(mm, view().axes().windowText(mm));
    }
}

void MainWindowLogic::refreshGraph() {
    const bool de1Source = session_ != nullptr && session_->de1Source();
    const bool recording = recording_ != nullptr && recording_->isRecording();
    // The live run's tube and rate for the volume and time axes: the next
    // run's description, else the standard run's tube; a DE-1 box's rate.
    const NextRun::Description& next = next_.current();
    double volumePerMm = next.runInfo ? next.runInfo->volumePerMm : 0.0;
    if (!(volumePerMm > 0.0) && next.standardRunPlan) {
        volumePerMm = next.standardRunPlan->volumePerMm;
    }
    const double rate = de1Source && next.de1Setup ? next.de1Setup->settings.samplesPerSec : 0.0;
    view().setLiveRun({.de1Source = de1Source,
                       .recording = recording,
                       .odSensingStart = de1Source && recording && recording_->odSensingRun(),
                       .startOffsetMm = de1Source && recording_ != nullptr ? recording_->runStartOffsetMm() : 0.0,
                       .volumePerMm = volumePerMm,
                       .secondsPerSample = rate > 0.0 ? 1.0 / rate : 0.0,
                       .collectedFractions = [this] {
                           return recording_ != nullptr ? recording_->collectedFractions()
                                                        : std::vector<CollectedFraction>{};
                       }});
    view().refresh();
}

void MainWindowLogic::graphAxesChosen(int xAxis, int yAxis) {
    constexpr std::array kXAxes{XAxisType::Seconds, XAxisType::Minutes, XAxisType::Millilitres};
    if (xAxis >= 0 && xAxis < static_cast<int>(kXAxes.size())) {
        graph_.setXAxisType(kXAxes[static_cast<std::size_t>(xAxis)]);
    }
    const bool volts = yAxis == GraphSetupPage::kVolts;
    view().change([&](AxisState& axes) {
        axes.setVolts(volts);
        if (de1Mode() && !axes.yAutoScale()) {
            axes.useAufsRange();
        }
    });
}

bool MainWindowLogic::de1Mode() const {
    return (session_ != nullptr && session_->de1Source()) || view().de1Mode();
}

// --- What the window shows ---

std::string MainWindowLogic::caption() const {
    const RunFileScene* file = view().fileScene();
    std::string text = status_.caption(file != nullptr);
    if (file != nullptr) {
        text += " - " + visibleText(file->path().filename().string());
    }
    return text;
}

std::array<std::string, kChannelCount> MainWindowLogic::readoutTexts() const {
    if (const auto position = graph_.cursors().mainPosition()) {
        return cursorValueTexts(view().sampleAt(0, *position));
    }
    const auto latest = feed_.latest();
    return corvane::readoutTexts(latest ? &*latest : nullptr);
}

std::string MainWindowLogic::recordedText() const {
    // Samples shown before a run starts are not recorded ones.
    return formatText("Recorded %d samples",
                      static_cast<int>(recording_ != nullptr ? recording_->recordedSamples() : 0));
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
