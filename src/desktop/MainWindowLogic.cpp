#include "desktop/MainWindowLogic.h"

#include <system_error>

#include "app/ConfigFile.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"

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
      keys_({[this] { feed_.clear(); }, [this] { refreshGraph(); }, env_.busy}) {
    readVolumes();
    setupHost_.setTargets({.de1Mode = [this] { return de1Mode(); },
                           .showGraph = [this] { refreshGraph(); },
                           .window = &env_.window});
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
    const auto& info = setupHost_.runInfo();
    prefs_.saveAufs(view_.aufsIndex(), info ? info->manufacturerIndex : -1, info ? info->rotorModelIndex : -1);
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
    view_.refresh(de1Source, recording);
}

bool MainWindowLogic::de1Mode() const {
    return (session_ != nullptr && session_->de1Source()) || view_.de1Mode();
}

// --- What the window shows ---

std::string MainWindowLogic::caption() const { return status_.caption(view_.fileShown()); }

std::array<std::string, kChannelCount> MainWindowLogic::readoutTexts() const {
    const auto latest = feed_.latest();
    return corvane::readoutTexts(latest ? &*latest : nullptr);
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
