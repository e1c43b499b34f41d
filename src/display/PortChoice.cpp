#include "display/PortChoice.h"

#include <algorithm>

#include "base/TextFormat.h"
#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"

namespace corvane {

void PortChoice::setPorts(std::vector<int> ports) {
    ports_ = std::move(ports);
    selection_ = -1;
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i] == comPort_) {
            selection_ = static_cast<int>(i);
        }
    }
    if (selection_ < 0 && !ports_.empty()) {
        selection_ = 0;
        comPort_ = ports_.front();
    }
}

void PortChoice::takeStoredPort(int port) {
    const auto listed = std::find(ports_.begin(), ports_.end(), port);
    if (listed != ports_.end()) {
        selection_ = static_cast<int>(listed - ports_.begin());
        comPort_ = port;
    } else if (selection_ >= 0) {
        comPort_ = ports_[static_cast<std::size_t>(selection_)];
    } else {
        comPort_ = port;
    }
}

std::vector<std::string> PortChoice::entries() const {
    std::vector<std::string> entries;
    for (const int port : ports_) {
        entries.push_back(formatText("COM%d", port));
    }
    return entries;
}

std::string PortChoice::missingPortMessage() const {
    if (comPort_ >= 1) {
        return {};
    }
    return ports_.empty() ? "No serial COM ports available!" : "Please choose a serial COM port.";
}

bool PortChoice::connectIfPossible() {
    if (comPort_ < 1 || session_ == nullptr || session_->linkActive()) {
        return false;
    }
    session_->connect(comPort_, baudRate_, interByteDelayMs_);
    return true;
}

bool PortChoice::choose(int index) {
    if (index < 0 || index >= static_cast<int>(ports_.size())) {
        return false;
    }
    selection_ = index;
    const int port = ports_[static_cast<std::size_t>(index)];
    if (port == comPort_) {
        return false;
    }
    comPort_ = port;
    if (session_ == nullptr) {
        return true;
    }
    if (session_->linkActive() && recording_ != nullptr && recording_->isRecording()) {
        recording_->stopRecording();
    }
    // The session stops a link that runs before it connects anew.
    session_->connect(comPort_, baudRate_, interByteDelayMs_);
    return true;
}

}  // namespace corvane
