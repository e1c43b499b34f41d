#pragma once

#include <string>
#include <vector>

namespace corvane {

class InstrumentSession;
class RecordingCommands;

// The port list at the window's top right ("COM Port") and what choosing
// an entry does: the port becomes the session's, and a new port reconnects.
//
// Threads: the window's thread. The session and the recording bound here
// are the window's queued fronts: connecting and stopping a recording
// become device jobs, run in the order asked.
class PortChoice {
public:
    void bind(InstrumentSession* session, RecordingCommands* recording) {
        session_ = session;
        recording_ = recording;
    }

    // The ports found by enumeration; the entry of the known port is
    // selected, else the first, whose number becomes the port.
    void setPorts(std::vector<int> ports);
    // The port "prefs.cfg" names: selected when it is listed; otherwise the
    // listed entry stays and gives the port (without entries, the stored
    // port is taken as it is).
    void takeStoredPort(int port);
    void setLine(int baudRate, int interByteDelayMs) {
        baudRate_ = baudRate;
        interByteDelayMs_ = interByteDelayMs;
    }

    [[nodiscard]] const std::vector<int>& ports() const { return ports_; }
    // "COM%d" per port.
    [[nodiscard]] std::vector<std::string> entries() const;
    [[nodiscard]] int selection() const { return selection_; }
    [[nodiscard]] int comPort() const { return comPort_; }
    // What "comport" keeps: the selected port, 0 without a selection.
    [[nodiscard]] int portToSave() const { return selection_ >= 0 ? comPort_ : 0; }
    [[nodiscard]] int baudRate() const { return baudRate_; }
    [[nodiscard]] int interByteDelayMs() const { return interByteDelayMs_; }

    // Without a port: "Please choose a serial COM port." with ports listed,
    // "No serial COM ports available!" without; empty with a port.
    [[nodiscard]] std::string missingPortMessage() const;
    // Connects when a port is known, a session is bound and its link does
    // not run yet. True when it asked the session to connect.
    bool connectIfPossible();
    // The operator chose entry `index`. A new port reconnects, even while a
    // link runs: a recording on the old port is stopped first, as the record
    // button does (its save question included). True when the port changed.
    bool choose(int index);

private:
    InstrumentSession* session_ = nullptr;
    RecordingCommands* recording_ = nullptr;
    std::vector<int> ports_;
    int selection_ = -1;
    int comPort_ = 0;
    int baudRate_ = 57600;
    int interByteDelayMs_ = 2;
};

}  // namespace corvane
