#pragma once

#include <functional>

#include "setup/SetupHost.h"

namespace corvane {

class LinkHost;

// The main window as the setup pages see it. The window owns what the pages
// fill: the run description and the DE-1 setup are kept here and handed on
// to the recording controller as they change, so every run file written
// afterwards carries them. The flags and the zero offset are the window's
// state for the pages that read them; the position offsets go to the link
// (through its host, the acquisition session) and to the recording
// controller, which moves the piston to the target.
//
// Threads: the window's thread (the pages run there).
class WindowSetupHost : public SetupHost {
public:
    struct Targets {
        // The link's host; null before the instruments are attached.
        LinkHost* link = nullptr;
        // The recording controller's target of the auto-mode move.
        std::function<void(double)> setTargetPosition{};
        std::function<bool()> de1Mode{};
        std::function<bool()> kelvoUnit{};
        // Rebuilds the graph and raises the window.
        std::function<void()> showGraph{};
        std::function<void()> hideWindow{};
        WindowPoster* window = nullptr;
        // The recording controller's run description and DE-1 setup.
        std::function<void(const RunInfo&)> runInfoChanged{};
        std::function<void(const Em1RunWriter::Setup&)> de1SetupChanged{};
        // The collection vessel volume with the fractionation kind, and the
        // standard run's plan, which a DE-1 run is checked against and cut by.
        std::function<void(double, int)> collectionChanged{};
        std::function<void(const std::optional<StandardRunPlan>&)> standardRunPlanChanged{};
    };

    void setTargets(Targets targets);

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

    [[nodiscard]] const std::optional<RunInfo>& runInfo() const override { return runInfo_; }
    void setRunInfo(const RunInfo& info) override;
    [[nodiscard]] const std::optional<Em1RunWriter::Setup>& de1Setup() const override { return de1Setup_; }
    void setDe1Setup(const Em1RunWriter::Setup& setup) override;
    void setCurrentPreset(std::filesystem::path file) override { currentPreset_ = std::move(file); }
    [[nodiscard]] const std::filesystem::path& currentPreset() const override { return currentPreset_; }
    void setSignalType(int type) override { signalType_ = type; }
    [[nodiscard]] int signalType() const override { return signalType_; }
    void setCollection(double volumeMl, int kind) override;
    [[nodiscard]] double collectionVolume() const override { return collectionVolume_; }
    [[nodiscard]] int fractionationKind() const override { return fractionationKind_; }

    void setChannelsInUse(bool a, bool b) override { channels_ = {a, b}; }
    [[nodiscard]] std::pair<bool, bool> channelsInUse() const override { return channels_; }
    [[nodiscard]] double standardRunVolumePerMm() const override {
        return standardRunPlan_ ? standardRunPlan_->volumePerMm : 0.0;
    }

    // The standard run shown changed (nothing: none is shown).
    void setStandardRunPlan(std::optional<StandardRunPlan> plan);

    // The signal type has been chosen this session (the window asks once).
    [[nodiscard]] bool signalTypeChosen() const { return signalTypeChosen_; }
    void markSignalTypeChosen() { signalTypeChosen_ = true; }

private:
    Targets targets_;
    double zeroOffset_ = 0.0;
    bool identicalRun_ = false;
    bool scanSetupCommand_ = false;
    bool goToGraph_ = false;
    std::optional<RunInfo> runInfo_;
    std::optional<Em1RunWriter::Setup> de1Setup_;
    std::optional<StandardRunPlan> standardRunPlan_;
    std::filesystem::path currentPreset_;
    int signalType_ = Em1Settings::kEventTriggered;
    bool signalTypeChosen_ = false;
    double collectionVolume_ = 5.0;
    int fractionationKind_ = 0;
    std::pair<bool, bool> channels_{true, true};
};

}  // namespace corvane
