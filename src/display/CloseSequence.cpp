#include "display/CloseSequence.h"

#include "app/Prompter.h"
#include "recording/DeviceJobs.h"
#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"

namespace corvane {

CloseStep CloseSequence::stay() {
    confirmed_ = false;
    stopAsked_ = false;
    waiting_ = false;
    jobs_.reopen();
    if (hooks_.resumeLongWork) {
        hooks_.resumeLongWork();
    }
    return CloseStep::Stay;
}

CloseStep CloseSequence::turn() {
    if (!confirmed_) {
        const bool ask = !exitConfirmed_ && session_ != nullptr && session_->linkActive();
        if (ask && !prompter_.askYesNo(kExitQuestion)) {
            return CloseStep::Stay;
        }
        confirmed_ = true;
        if (hooks_.abortLongWork) {
            hooks_.abortLongWork();
        }
    }
    // Never wait for the worker here: the request comes back when its job ends.
    waiting_ = jobs_.busy();
    if (waiting_) {
        return CloseStep::WaitForJob;
    }
    if (recording_ != nullptr && recording_->isRecording() && !stopAsked_) {
        stopAsked_ = true;
        if (jobs_.submit([recording = recording_] { recording->stopRecording(); })) {
            waiting_ = true;
            return CloseStep::WaitForJob;
        }
    }
    if (session_ != nullptr && !session_->mayClose()) {
        return stay();
    }
    // From here on the acquisition object may go: no job may start.
    jobs_.close();
    if (hooks_.destroyModeless) {
        hooks_.destroyModeless();
    }
    if (session_ != nullptr) {
        session_->stopLink();
        if (session_->receiveThreadRunning()) {
            return CloseStep::RepostClose;
        }
        session_->destroyAcquisition();
    }
    return CloseStep::Close;
}

}  // namespace corvane
