#pragma once

#include <functional>

#include "recording/NextRun.h"
#include "setup/SetupHost.h"

namespace corvane {

class LinkHost;

// The main window as the setup pages see it. What the pages fill (the run
// description, the DE-1 setup, the collection vessel) goes into the next
// run's description (NextRun), which the window's logic owns and the
// recording controller reads when a run starts. The flags and the zero
// offset are the window's state for the pages that read them; the position
// offsets go to the link (through its host, the acquisition session) and to
// the recording controller, which moves the piston to the target.
//
// Threads: the window's thread (the pages run there).
class WindowSetupHost : public SetupHost {
public:
    // What the host reaches of the window, given once by the window's logic.
    struct Targets {
        // The link's host; null before the instruments are attached.
        std::function<LinkHost*()> link{};
        // The recording controller's target of the auto-mode move.
        std::function<void(double)> setTargetPosition{};
        std::function<bool()> de1Mode{};
        std::function<bool()> kelvoUnit{};
        // Rebuilds the graph and raises the window.
        std::function<void()> showGraph{};
        std::function<void()> hideWindow{};
        WindowPoster* window = nullptr;
        // The DE-1 setup changed: the window's AUFS follows it.
        std::function<void(const Em1RunWriter::Setup&)> de1SetupChanged{};
    };

    WindowSetupHost(NextRun& next, Targets targets) : next_(next), targets_(std::move(targets)) {}

    void setZeroOffset(double mm) override { zeroOffset_ = mm; }
    [[nodiscard]] double zeroOffset() const override { return zeroOffset_; }
    void setPositionOffsets(double positionOffsetMm, double targetPositionMm) override;
    void setIdenticalRun(bool on) override { identicalRun_ = on; }
    [[nodiscard]] bool identicalRun() const override { return identicalRun_; }
    void setScanSetupCommand(bool on) override { scanSetupCommand_ = on; }
    [[nodiscard]] bool scanSetupCommand() const override { return scanSetupCommand_; }
    void setGoToGraph(bool on) override { goToGraph_ = on; }
    [[nodiscard]] bool goToGraph() const override { return goToGraph_; }
    [[nodiscard]] bool de1Mode() const override;
    [[nodiscard]] bool kelvoUnit() const override { return targets_.kelvoUnit && targets_.kelvoUnit(); }
    void hideWindow() override;
    void showGraph() override;
    void post(UserMsg msg) override;

    [[nodiscard]] const std::optional<RunInfo>& runInfo() const override { return next_.current().runInfo; }
    void setRunInfo(const RunInfo& info) override { next_.setRunInfo(info); }
    [[nodiscard]] const std::optional<Em1RunWriter::Setup>& de1Setup() const override {
        return next_.current().de1Setup;
    }
    void setDe1Setup(const Em1RunWriter::Setup& setup) override;
    void setCurrentPreset(std::filesystem::path file) override { currentPreset_ = std::move(file); }
    [[nodiscard]] const std::filesystem::path& currentPreset() const override { return currentPreset_; }
    void setSignalType(int type) override { signalType_ = type; }
    [[nodiscard]] int signalType() const override { return signalType_; }
    void setCollection(double volumeMl, int kind) override { next_.setCollection(volumeMl, kind); }
    [[nodiscard]] double collectionVolume() const override { return next_.current().collectionVolume; }
    [[nodiscard]] int fractionationKind() const override { return next_.current().fractionationKind; }

    void setChannelsInUse(bool a, bool b) override { channels_ = {a, b}; }
    [[nodiscard]] std::pair<bool, bool> channelsInUse() const override { return channels_; }
    [[nodiscard]] double standardRunVolumePerMm() const override {
        const auto& plan = next_.current().standardRunPlan;
        return plan ? plan->volumePerMm : 0.0;
    }

    // The standard run shown changed (nothing: none is shown).
    void setStandardRunPlan(std::optional<StandardRunPlan> plan) { next_.setStandardRunPlan(std::move(plan)); }

    // The signal type has been chosen this session (the window asks once).
    [[nodiscard]] bool signalTypeChosen() const { return signalTypeChosen_; }
    void markSignalTypeChosen() { signalTypeChosen_ = true; }

private:
    NextRun& next_;
    Targets targets_;
    double zeroOffset_ = 0.0;
    bool identicalRun_ = false;
    bool scanSetupCommand_ = false;
    bool goToGraph_ = false;
    std::filesystem::path currentPreset_;
    int signalType_ = Em1Settings::kEventTriggered;
    bool signalTypeChosen_ = false;
    std::pair<bool, bool> channels_{true, true};
};

}  // namespace corvane
