#include "desktop/WindowSetupHost.h"

#include "link/UvLink.h"

namespace corvane {

void WindowSetupHost::setPositionOffsets(double positionOffsetMm, double targetPositionMm) {
    if (targets_.link != nullptr) {
        targets_.link->setPositionOffset(positionOffsetMm);
    }
    if (targets_.setTargetPosition) {
        targets_.setTargetPosition(targetPositionMm);
    }
}

bool WindowSetupHost::de1Mode() const { return targets_.de1Mode && targets_.de1Mode(); }

void WindowSetupHost::showGraph() {
    if (targets_.showGraph) {
        targets_.showGraph();
    }
}

}  // namespace corvane
