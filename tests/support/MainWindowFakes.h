#pragma once

#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "recording/InstrumentSession.h"
#include "recording/RecordingCommands.h"

namespace corvane::test {

// A recording controller that counts what the window asks of it. The window
// calls it from its device worker, so the counts are atomic. With a log,
// each command also adds its name there (single-threaded tests only).
class FakeRecording : public RecordingCommands {
public:
    bool isRecording() const override { return recording; }
    void startStop() override {
        ++startStops;
        note("startStop");
        recording = !recording;
    }
    void zero() override { ++zeros; }
    void pauseResume() override { ++pauses; }
    void refresh() override { ++refreshes; }
    void stopRecording() override {
        ++stops;
        note("stopRecording");
        recording = false;
    }
    void goToUpperLimit() override {
        ++upperLimits;
        note("goToUpperLimit");
    }
    void aufsChanged(int step) override { aufsSteps.push_back(step); }
    std::string recordCaption() const override {
        return recording ? "STOP RECORD (F1)" : "START RECORD (F1)";
    }
    std::string pauseCaption() const override { return "PAUSE (F3)"; }
    bool pauseEnabled() const override { return true; }
    std::int64_t recordedSamples() const override { return recorded; }

    std::atomic<bool> recording{false};
    std::atomic<std::int64_t> recorded{0};
    std::atomic<int> startStops{0}, zeros{0}, pauses{0}, refreshes{0}, stops{0}, upperLimits{0};
    std::vector<int> aufsSteps;
    std::vector<std::string>* log = nullptr;

private:
    void note(const char* what) {
        if (log != nullptr) {
            log->push_back(what);
        }
    }
};

// An instrument session whose receive thread ends after threadTurnsLeft
// questions about it.
class FakeSession : public InstrumentSession {
public:
    void connect(int comPort, int baud, int delay) override {
        connects.push_back({comPort, baud, delay});
        if (log != nullptr) {
            log->push_back("connect COM" + std::to_string(comPort));
        }
        active = true;
    }
    bool linkExists() const override { return active; }
    bool linkActive() const override { return active; }
    bool receiveThreadRunning() const override { return threadTurnsLeft > 0 && threadTurnsLeft--; }
    bool de1Source() const override { return de1; }
    bool mayClose() override { return mayCloseNow; }
    void stopLink() override {
        ++stops;
        active = false;
    }
    void destroyAcquisition() override { ++destroyed; }
    PacketDebugLink* packetDebugLink() override { return active ? debugLink : nullptr; }

    std::atomic<bool> active{false};
    mutable int threadTurnsLeft = 0;
    bool de1 = false;
    bool mayCloseNow = true;
    int stops = 0;
    int destroyed = 0;
    std::vector<std::array<int, 3>> connects;  // port, baud rate, inter-byte delay
    PacketDebugLink* debugLink = nullptr;
    std::vector<std::string>* log = nullptr;
};

}  // namespace corvane::test
