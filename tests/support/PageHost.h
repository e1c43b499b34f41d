#pragma once

#include <vector>

#include "setup/SetupHost.h"

namespace corvane::test {

// The main window as a setup page sees it, as plain state: what the pages
// store is kept, and what they ask the window to do is counted.
class PageHost : public SetupHost {
public:
    void setZeroOffset(double mm) override { zeroOffset_ = mm; }
    [[nodiscard]] double zeroOffset() const override { return zeroOffset_; }
    void setPositionOffsets(double, double) override {}
    void setIdenticalRun(bool on) override { identicalRun_ = on; }
    [[nodiscard]] bool identicalRun() const override { return identicalRun_; }
    void setScanSetupCommand(bool on) override { scanSetupCommand_ = on; }
    [[nodiscard]] bool scanSetupCommand() const override { return scanSetupCommand_; }
    void setGoToGraph(bool on) override { goToGraph_ = on; }
    [[nodiscard]] bool goToGraph() const override { return goToGraph_; }
    [[nodiscard]] bool de1Mode() const override { return de1; }
    void hideWindow() override {
        ++hides;
        shown = false;
    }
    void showGraph() override {
        ++graphs;
        shown = true;
    }
    void post(UserMsg msg) override { posted.push_back(msg); }
    [[nodiscard]] const std::optional<RunInfo>& runInfo() const override { return runInfo_; }
    void setRunInfo(const RunInfo& info) override { runInfo_ = info; }
    [[nodiscard]] const std::optional<Em1RunWriter::Setup>& de1Setup() const override { return de1Setup_; }
    void setDe1Setup(const Em1RunWriter::Setup& setup) override { de1Setup_ = setup; }
    void setCurrentPreset(std::filesystem::path file) override { preset_ = std::move(file); }
    [[nodiscard]] const std::filesystem::path& currentPreset() const override { return preset_; }
    void setSignalType(int type) override { signalType_ = type; }
    [[nodiscard]] int signalType() const override { return signalType_; }
    void setCollection(double volume, int kind) override {
        collection_ = volume;
        kind_ = kind;
    }
    [[nodiscard]] double collectionVolume() const override { return collection_; }
    [[nodiscard]] int fractionationKind() const override { return kind_; }
    [[nodiscard]] double standardRunVolumePerMm() const override { return standardVolumePerMm; }
    void setChannelsInUse(bool a, bool b) override { channels_ = {a, b}; }
    [[nodiscard]] std::pair<bool, bool> channelsInUse() const override { return channels_; }

    bool de1 = true;
    double standardVolumePerMm = 0.0;
    int hides = 0;
    int graphs = 0;
    bool shown = true;
    std::vector<UserMsg> posted;

private:
    double zeroOffset_ = 0.0;
    bool identicalRun_ = false;
    bool scanSetupCommand_ = false;
    bool goToGraph_ = false;
    std::optional<RunInfo> runInfo_;
    std::optional<Em1RunWriter::Setup> de1Setup_;
    std::filesystem::path preset_;
    int signalType_ = 0;
    double collection_ = 5.0;
    int kind_ = 0;
    std::pair<bool, bool> channels_{true, true};
};

}  // namespace corvane::test
