#include "display/WindowInstruments.h"

#include "recording/AcquisitionSession.h"
#include "recording/RecordingController.h"

namespace corvane {

WindowInstruments::WindowInstruments(Prompter& prompter, std::function<void()> jobEnded)
    : jobs_(std::make_unique<DeviceJobs>(std::move(jobEnded))), closing_(prompter, *jobs_) {
    rebindClosing();
}

WindowInstruments::~WindowInstruments() {
    // A job still running must end before what it uses goes: a warm-up or a
    // meniscus search ends at once, a link wait once the link is stopped.
    if (abortConnection_) {
        abortConnection_();
    }
    if (ownRecording_ != nullptr) {
        ownRecording_->autoScan().requestAbort();
    }
    if (jobs_->busy() && ownSession_ != nullptr) {
        ownSession_->stopLink();
    }
    jobs_.reset();
    queuedRecording_.reset();
    queuedSession_.reset();
    // The controller lets go of the samples before the session (and with it
    // the receive thread) goes.
    ownRecording_.reset();
    ownSession_.reset();
}

void WindowInstruments::rebindClosing() {
    closing_.bind(recording_, session_);
    CloseSequence::Hooks hooks;
    hooks.abortLongWork = [this] {
        if (abortConnection_) {
            abortConnection_();
        }
        if (ownRecording_ != nullptr) {
            ownRecording_->autoScan().requestAbort();
        }
    };
    hooks.resumeLongWork = [this] {
        if (resumeConnection_) {
            resumeConnection_();
        }
    };
    hooks.destroyModeless = [this] {
        if (destroyModeless_) {
            destroyModeless_();
        }
    };
    closing_.setHooks(std::move(hooks));
}

void WindowInstruments::setModelessCloser(std::function<void()> destroyModeless) {
    destroyModeless_ = std::move(destroyModeless);
}

void WindowInstruments::attach(const SessionSeams& seams, const Attachment& attachment) {
    if (ownSession_ != nullptr) {
        return;
    }
    ownSession_ = std::make_unique<AcquisitionSession>(seams, attachment.startupFolder);
    ownSession_->setDriver(&attachment.driver);
    ownSession_->setDisplay(&attachment.display);
    ownSession_->setIntroPending(attachment.introPending);
    ownRecording_ = std::make_unique<RecordingController>(
        RecordingEnv{attachment.startupFolder, seams.prompter, attachment.folders, seams.clock,
                     attachment.display, *ownSession_, attachment.next});
    abortConnection_ = attachment.abortConnection;
    resumeConnection_ = attachment.resumeConnection;
    bindSession(ownSession_.get());
    bindRecording(ownRecording_.get());
}

void WindowInstruments::bindRecording(RecordingCommands* recording) {
    queuedRecording_ = recording != nullptr ? std::make_unique<QueuedRecording>(*recording, *jobs_) : nullptr;
    recording_ = recording;
    rebindClosing();
}

void WindowInstruments::bindSession(InstrumentSession* session) {
    queuedSession_ = session != nullptr ? std::make_unique<QueuedSession>(*session, *jobs_) : nullptr;
    session_ = session;
    rebindClosing();
}

bool WindowInstruments::connecting() const {
    return queuedSession_ != nullptr && queuedSession_->connecting();
}

bool WindowInstruments::kelvoConnected() const {
    // Asked while the connection still runs too: the USER page comes up
    // during the warm-up.
    return ownSession_ != nullptr && ownSession_->linkExists() && !ownSession_->de1Source();
}

}  // namespace corvane
