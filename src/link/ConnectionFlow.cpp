#include "link/ConnectionFlow.h"

#include <utility>

#include "app/Preferences.h"
#include "base/TextFormat.h"

namespace corvane {

class ConnectionFlow::Step {
public:
    explicit Step(ConnectionFlow& flow) : flow_(flow), owns_(!flow.busy_.exchange(true)) {}
    ~Step() {
        if (owns_) {
            flow_.busy_.store(false);
        }
    }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;
    [[nodiscard]] bool runs() const { return owns_; }

private:
    ConnectionFlow& flow_;
    bool owns_;
};

ConnectionFlow::ConnectionFlow(const ConnectionSeams& seams, std::filesystem::path workingFolder,
                               int comPort, std::uint32_t baudRate)
    : bridge_(seams.bridge),
      clock_(seams.clock),
      prompter_(seams.prompter),
      display_(seams.display),
      host_(seams.host),
      probe_(seams.ports, seams.bridge, seams.clock),
      folder_(std::move(workingFolder)),
      comPort_(comPort),
      baudRate_(baudRate) {}

ConnectionFlow::~ConnectionFlow() { closeDe1Handle(); }

std::optional<bool> ConnectionFlow::result() const {
    std::scoped_lock lock(resultMutex_);
    return result_;
}

std::optional<IntroChoice> ConnectionFlow::introChoice() const {
    std::scoped_lock lock(resultMutex_);
    return introChoice_;
}

void ConnectionFlow::connect() {
    const Step step(*this);
    if (!step.runs()) {
        return;
    }
    state_.store(ConnectionState::Connecting);
    connected_.store(false);
    display_.enableButtons(false, false);
    display_.setMessage(kConnecting);
    display_.setTitle(title(false));
    if (!probe()) {
        showFailed();
        return;
    }
    connectionEstablished();
}

void ConnectionFlow::introClosed(std::optional<IntroChoice> choice) {
    const Step step(*this);
    if (!step.runs() || state_.load() != ConnectionState::IntroPending) {
        return;
    }
    if (!choice) {
        finish(false);
        return;
    }
    {
        std::scoped_lock lock(resultMutex_);
        introChoice_ = std::move(choice);
    }
    warmUp();
}

void ConnectionFlow::pressContinue() {
    const Step step(*this);
    if (!step.runs() || state_.load() == ConnectionState::Finished ||
        state_.load() == ConnectionState::IntroPending) {
        return;
    }
    if (!connected_.load()) {
        retry();
    } else if (warmedUp_.load()) {
        continueStep();
    } else {
        warmUp();
    }
}

void ConnectionFlow::skipHardwareCheck() {
    const Step step(*this);
    if (step.runs() && state_.load() != ConnectionState::Finished) {
        finish(false);
    }
}

bool ConnectionFlow::probe() {
    closeDe1Handle();
    de1Found_ = false;
    BridgeHandle handle = 0;
    int foundPort = 0;
    if (!probe_.ProbeComPort(comPort_.load(), baudRate_, handle, foundPort)) {
        return false;
    }
    de1Handle_ = handle;
    de1Found_ = handle != 0;
    // The box stands in for the unit: nothing to warm up.
    warmedUp_.store(de1Found_);
    if (foundPort > 0) {
        adoptPort(foundPort);
    }
    return true;
}

void ConnectionFlow::adoptPort(int port) {
    comPort_.store(port);
    host_.setComPort(port);
    Preferences(folder_).setComPort(port);
}

void ConnectionFlow::showFailed() {
    state_.store(ConnectionState::Failed);
    display_.setMessage(kFailed);
    display_.setContinueCaption(kRetry);
    // "Retry" must be pressable too, or the only way on would be to give up.
    display_.enableButtons(true, true);
}

void ConnectionFlow::connectionEstablished() {
    connected_.store(true);
    display_.setMessage(kEstablished);
    if (host_.introPending()) {
        state_.store(ConnectionState::IntroPending);
        return;
    }
    warmUp();
}

void ConnectionFlow::warmUp() {
    if (warmedUp_.load()) {
        continueStep();
        return;
    }
    state_.store(ConnectionState::WarmingUp);
    if (!host_.hasSampleReader()) {
        host_.createSampleReader(true, takeDe1Handle());
    }
    UvLink* link = host_.link();
    if (!link) {
        // Nothing to wait on; Continue tries again, Skip gives up.
        state_.store(ConnectionState::Ready);
        display_.enableButtons(true, true);
        return;
    }
    const auto stop = stop_.get_token();
    Cmd0 packet;
    // Keep the link moving for a second so the unit's mode is known.
    for (const Deadline settle(clock_, kSettleReadsMs); !settle.expired() && !stop.stop_requested();) {
        const bool got = link->ReadCmd0(packet);
        if (!link->ParseHeartbeat() && !got) {
            clock_.sleepMs(kIdlePollMs, stop);
        }
    }
    if (link->InSetupMode(0)) {
        warmedUp_.store(true);
        continueStep();
        return;
    }

    display_.enableButtons(false, false);
    display_.setTitle(title(true));
    keyPressed_.store(false);
    bool gotCmd0 = false;
    std::string shown;
    while (link->heartbeatsReceived() < UvLink::kWarmupHeartbeats) {
        if (stop.stop_requested()) {
            return;
        }
        // A key counts only once the unit has shown it is talking; an earlier
        // one is dropped.
        if (keyPressed_.exchange(false) && gotCmd0) {
            warmedUp_.store(true);
            display_.setTitle(title(false));
            continueStep();
            return;
        }
        if (gotCmd0) {
            const auto text = formatText(kCountdown, UvLink::kWarmupHeartbeats - link->heartbeatsReceived());
            if (text != shown) {
                display_.setMessage(text);
                shown = text;
            }
        }
        const bool got = link->ReadCmd0(packet);
        if (got && !gotCmd0) {
            gotCmd0 = true;
            clock_.sleepMs(kFirstCmd0PauseMs, stop);
        }
        // The heartbeat thread parses too; parsing here as well keeps the
        // count moving between its turns.
        if (!link->ParseHeartbeat() && !got) {
            clock_.sleepMs(kIdlePollMs, stop);
        }
    }
    display_.enableButtons(true, true);
    display_.setMessage(kWarmedUp);
    display_.setTitle(title(false));
    warmedUp_.store(true);
    state_.store(ConnectionState::Ready);
}

void ConnectionFlow::continueStep() {
    state_.store(ConnectionState::Ready);
    UvLink* link = host_.link();
    // With the DE-1 box there is no knob and no piston to look after.
    if (link && !de1Found_) {
        link->CheckKnob();
        if (link->upperLimitFlag() != 0) {
            movePiston();
            return;
        }
    }
    if (!host_.hasSampleReader()) {
        host_.createSampleReader(true, takeDe1Handle());
    }
    finish(true);
}

void ConnectionFlow::movePiston() {
    UvLink* link = host_.link();
    display_.enableButtons(false, false);
    display_.setTitle(title(false));
    display_.setMessage(kMoving);
    link->GoToUpperLimit(host_.linkHost(), false, UpperLimitVariant::Manual);
    display_.enableButtons(true, true);
    if (link->upperLimitFlag() == 0) {
        display_.setMessage(kPositioned);
    } else {
        prompter_.message(kNotPositionedError);
        display_.setMessage(kNotPositioned);
    }
}

void ConnectionFlow::retry() {
    state_.store(ConnectionState::Connecting);
    display_.setMessage(kConnecting);
    display_.enableButtons(false, false);
    if (host_.hasSampleReader()) {
        host_.destroySampleReader();
    }
    if (!probe()) {
        display_.setMessage(kFailed);
        host_.createSampleReader(false, 0);
        state_.store(ConnectionState::Failed);
        display_.enableButtons(true, true);
        return;
    }
    connected_.store(true);
    display_.setMessage(kEstablished);
    host_.createSampleReader(true, takeDe1Handle());
    display_.setContinueCaption(kContinue);
    display_.enableButtons(false, false);
    if (UvLink* link = host_.link(); link && !de1Found_) {
        link->CheckKnob();
    }
    connectionEstablished();
}

void ConnectionFlow::finish(bool ok) {
    closeDe1Handle();
    {
        std::scoped_lock lock(resultMutex_);
        result_ = ok;
    }
    state_.store(ConnectionState::Finished);
    display_.finish(ok);
}

BridgeHandle ConnectionFlow::takeDe1Handle() { return std::exchange(de1Handle_, 0); }

void ConnectionFlow::closeDe1Handle() {
    if (const auto handle = takeDe1Handle(); handle != 0) {
        (void)bridge_.close(handle);  // given up: nothing is left to retry
    }
}

}  // namespace corvane
