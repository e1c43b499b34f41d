#include "desktop/WindowSetupHost.h"

#include "link/UvLink.h"

namespace corvane {

void WindowSetupHost::setTargets(Targets targets) {
    targets_ = std::move(targets);
    // A controller made after the pages were confirmed still gets what they
    // filled.
    if (runInfo_ && targets_.runInfoChanged) {
        targets_.runInfoChanged(*runInfo_);
    }
    if (de1Setup_ && targets_.de1SetupChanged) {
        targets_.de1SetupChanged(*de1Setup_);
    }
    if (targets_.collectionChanged) {
        targets_.collectionChanged(collectionVolume_, fractionationKind_);
    }
    if (targets_.standardRunPlanChanged) {
        targets_.standardRunPlanChanged(standardRunPlan_);
    }
}

void WindowSetupHost::setPositionOffsets(double positionOffsetMm, double targetPositionMm) {
    if (targets_.link != nullptr) {
        targets_.link->setPositionOffset(positionOffsetMm);
    }
    if (targets_.setTargetPosition) {
        targets_.setTargetPosition(targetPositionMm);
    }
}

bool WindowSetupHost::de1Mode() const { return targets_.de1Mode && targets_.de1Mode(); }

void WindowSetupHost::hideWindow() {
    if (targets_.hideWindow) {
        targets_.hideWindow();
    }
}

void WindowSetupHost::showGraph() {
    if (targets_.showGraph) {
        targets_.showGraph();
    }
}

void WindowSetupHost::post(UserMsg msg) {
    if (targets_.window != nullptr) {
        targets_.window->post(msg);
    }
}

void WindowSetupHost::setRunInfo(const RunInfo& info) {
    runInfo_ = info;
    if (targets_.runInfoChanged) {
        targets_.runInfoChanged(info);
    }
}

void WindowSetupHost::setDe1Setup(const Em1RunWriter::Setup& setup) {
    de1Setup_ = setup;
    if (targets_.de1SetupChanged) {
        targets_.de1SetupChanged(setup);
    }
}

void WindowSetupHost::setCollection(double volumeMl, int kind) {
    collectionVolume_ = volumeMl;
    fractionationKind_ = kind;
    if (targets_.collectionChanged) {
        targets_.collectionChanged(volumeMl, kind);
    }
}

void WindowSetupHost::setStandardRunPlan(std::optional<StandardRunPlan> plan) {
    standardRunPlan_ = std::move(plan);
    if (targets_.standardRunPlanChanged) {
        targets_.standardRunPlanChanged(standardRunPlan_);
    }
}

}  // namespace corvane
