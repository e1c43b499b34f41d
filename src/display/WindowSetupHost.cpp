#include "display/WindowSetupHost.h"

#include "link/UvLink.h"

namespace corvane {

void WindowSetupHost::setPositionOffsets(double positionOffsetMm, double targetPositionMm) {
    if (LinkHost* link = targets_.link ? targets_.link() : nullptr) {
        link->setPositionOffset(positionOffsetMm);
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

void WindowSetupHost::setDe1Setup(const Em1RunWriter::Setup& setup) {
    next_.setDe1Setup(setup);
    if (targets_.de1SetupChanged) {
        targets_.de1SetupChanged(setup);
    }
}

}  // namespace corvane
