#pragma once

namespace corvane {

class PacketDebugLink;

// The connection to the instrument: the connection window and its state
// machine, the link, the acquisition object and the receive thread.
class InstrumentSession {
public:
    virtual ~InstrumentSession() = default;

    // Connects on this port (showing the connection window) and starts the
    // receive thread. interByteDelayMs is the pause between written bytes.
    virtual void connect(int comPort, int baudRate, int interByteDelayMs) = 0;
    // A link object exists (the debug windows need one).
    [[nodiscard]] virtual bool linkExists() const = 0;
    // The receive thread's "link active" mark.
    [[nodiscard]] virtual bool linkActive() const = 0;
    [[nodiscard]] virtual bool receiveThreadRunning() const = 0;
    // The acquisition object reads a DE-1 interface box.
    [[nodiscard]] virtual bool de1Source() const = 0;
    // Whether the link may close now (a device sequence may be running).
    [[nodiscard]] virtual bool mayClose() = 0;
    // Stops the link and asks the receive thread to end; never waits for it.
    virtual void stopLink() = 0;
    // Destroys the acquisition object once the receive thread has ended.
    virtual void destroyAcquisition() = 0;
    // The link as the packet debug windows use it; null without a link.
    [[nodiscard]] virtual PacketDebugLink* packetDebugLink() = 0;
};

}  // namespace corvane
