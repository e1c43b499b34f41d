#pragma once

#include <functional>

#include "setup/SetupHost.h"

namespace corvane {

class LinkHost;

// The main window as the setup pages see it. The two flags and the zero
// offset are the window's state for the pages that read them; the position
// offsets go to the link (through its host, the acquisition session) and to
// the recording controller, which moves the piston to the target.
//
// Threads: the window's thread (the pages run there).
class WindowSetupHost : public SetupHost {
public:
    struct Targets {
        // The link's host; null before the instruments are attached.
        LinkHost* link = nullptr;
        // The recording controller's target of the auto-mode move.
        std::function<void(double)> setTargetPosition;
        std::function<bool()> de1Mode;
        // Rebuilds the graph and raises the window.
        std::function<void()> showGraph;
    };

    void setTargets(Targets targets) { targets_ = std::move(targets); }

    void setZeroOffset(double mm) override { zeroOffset_ = mm; }
    [[nodiscard]] double zeroOffset() const override { return zeroOffset_; }
    void setPositionOffsets(double positionOffsetMm, double targetPositionMm) override;
    void setIdenticalRun(bool on) override { identicalRun_ = on; }
    [[nodiscard]] bool identicalRun() const override { return identicalRun_; }
    void setGoToGraph(bool on) override { goToGraph_ = on; }
    [[nodiscard]] bool goToGraph() const override { return goToGraph_; }
    [[nodiscard]] bool de1Mode() const override;
    void showGraph() override;

private:
    Targets targets_;
    double zeroOffset_ = 0.0;
    bool identicalRun_ = false;
    bool goToGraph_ = false;
};

}  // namespace corvane
