#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"

namespace corvane::test {

// A recording controller that counts what the window asks of it. The window
// calls it from its device worker, so the counts are atomic.
class FakeRecording : public RecordingCommands {
public:
    bool isRecording() const override { return recording; }
    void startStop() override {
        ++startStops;
        recording = !recording;
    }
    void zero() override { ++zeros; }
    void pauseResume() override { ++pauses; }
    void refresh() override { ++refreshes; }
    void stopRecording() override {
        ++stops;
        recording = false;
    }
    void goToUpperLimit() override { ++upperLimits; }
    void aufsChanged(int step) override { aufsSteps.push_back(step); }
    std::string recordCaption() const override {
        return recording ? "STOP RECORD (F1)" : "START RECORD (F1)";
    }
    std::string pauseCaption() const override { return "PAUSE (F3)"; }
    bool pauseEnabled() const override { return true; }

    std::atomic<bool> recording{false};
    std::atomic<int> startStops{0}, zeros{0}, pauses{0}, refreshes{0}, stops{0}, upperLimits{0};
    std::vector<int> aufsSteps;
};

// An instrument session whose receive thread ends after threadTurnsLeft
// questions about it.
class FakeSession : public InstrumentSession {
public:
    void connect(int comPort, int baud, int delay) override {
        connects.push_back({comPort, baud, delay});
        active = true;
    }
    bool linkExists() const override { return active; }
    bool linkActive() const override { return active; }
    bool receiveThreadRunning() const override { return threadTurnsLeft > 0 && threadTurnsLeft--; }
    bool de1Source() const override { return false; }
    bool mayClose() override { return true; }
    void stopLink() override {
        ++stops;
        active = false;
    }
    void destroyAcquisition() override { ++destroyed; }
    PacketDebugLink* packetDebugLink() override { return active ? debugLink : nullptr; }

    std::atomic<bool> active{false};
    mutable int threadTurnsLeft = 0;
    int stops = 0;
    int destroyed = 0;
    std::vector<std::array<int, 3>> connects;  // port, baud rate, inter-byte delay
    PacketDebugLink* debugLink = nullptr;
};

}  // namespace corvane::test
