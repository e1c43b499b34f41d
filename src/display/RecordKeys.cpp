#include "display/RecordKeys.h"

#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"

namespace corvane {

std::string RecordKeys::recordCaption() const {
    return recording_ != nullptr ? recording_->recordCaption() : "START RECORD (F1)";
}

std::string RecordKeys::pauseCaption() const {
    return recording_ != nullptr ? recording_->pauseCaption() : "PAUSE (F3)";
}

bool RecordKeys::pauseEnabled() const { return recording_ != nullptr && recording_->pauseEnabled(); }

bool RecordKeys::isRecording() const { return recording_ != nullptr && recording_->isRecording(); }

void RecordKeys::startStop() {
    if (recording_ != nullptr) {
        recording_->startStop();
    }
}

void RecordKeys::zero() {
    if (recording_ != nullptr) {
        recording_->zero();
    }
}

void RecordKeys::pauseResume() {
    if (recording_ != nullptr) {
        recording_->pauseResume();
    }
}

void RecordKeys::refresh() {
    if (recording_ != nullptr) {
        recording_->refresh();
    } else if (actions_.clearTraces) {
        actions_.clearTraces();
    }
    if (actions_.refreshGraph) {
        actions_.refreshGraph();
    }
}

void RecordKeys::goToUpperLimit() {
    if (recording_ == nullptr) {
        return;
    }
    if (recording_->isRecording()) {
        recording_->stopRecording();
    }
    recording_->goToUpperLimit();
}

KeyOutcome RecordKeys::keyDown(WindowKey key, bool autoRepeat) {
    switch (key) {
        case WindowKey::F1:
        case WindowKey::F2:
        case WindowKey::F3:
        case WindowKey::F4:
            // As the buttons are disabled while the unit is being commanded,
            // so are their keys.
            if (recording_ != nullptr && actions_.busy && actions_.busy()) {
                return KeyOutcome::Handled;
            }
            [[fallthrough]];
        case WindowKey::F5:
        case WindowKey::F6:
            // A function key held down acts once.
            if (autoRepeat) {
                return KeyOutcome::Handled;
            }
            if (key == WindowKey::F1) {
                startStop();
            } else if (key == WindowKey::F2) {
                zero();
            } else if (key == WindowKey::F3) {
                pauseResume();
            } else if (key == WindowKey::F4) {
                refresh();
            } else if (key == WindowKey::F6) {
                return KeyOutcome::ScanSetup;
            }
            // F5 is swallowed.
            return KeyOutcome::Handled;
        case WindowKey::Up:
            return checklistOpen_ ? KeyOutcome::ChecklistUp : KeyOutcome::PassOn;
        case WindowKey::Down:
            return checklistOpen_ ? KeyOutcome::ChecklistDown : KeyOutcome::PassOn;
        case WindowKey::CtrlD:
            return session_ != nullptr && session_->linkExists() ? KeyOutcome::OpenDebugWindows
                                                                 : KeyOutcome::Handled;
        case WindowKey::Left:
        case WindowKey::Right:
        case WindowKey::Other:
            // Without graph cursors the arrows keep moving the text cursor
            // of the box being edited.
            return KeyOutcome::PassOn;
    }
    return KeyOutcome::PassOn;
}

}  // namespace corvane
