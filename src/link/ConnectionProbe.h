#pragma once

// Finding the instrument before the link is made: a heartbeat listened for on
// the configured COM port and, failing that, a search of the bridge devices
// for a DE-1 interface box.

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/Clock.h"
#include "link/BridgeLibrary.h"
#include "link/SerialPortApi.h"

namespace corvane {

class ConnectionProbe {
public:
    // Time-outs of the heartbeat listen, in ms.
    static constexpr std::uint32_t kProbeReadConstantMs = 10;
    static constexpr std::uint32_t kProbeWriteConstantMs = 10;
    static constexpr std::uint32_t kListenReadConstantMs = 100;
    static constexpr std::int64_t kHeartbeatListenMs = 3000;
    static constexpr std::size_t kDrainChunk = 64;
    // A unit that streams without a pause must not hold the drain forever.
    static constexpr std::size_t kDrainLimitBytes = 64 * 1024;
    // The DE-1 probe.
    static constexpr std::uint32_t kDe1TimeoutMs = 100;
    static constexpr std::uint32_t kDe1BaudRate = 115200;
    static constexpr std::uint32_t kDe1ProbeReadSize = 256;

    // What the last heartbeat listen heard, for telling why it failed.
    struct ListenAccount {
        bool portOpened = false;
        std::size_t bytesHeard = 0;
        std::size_t failedReads = 0;
    };

    ConnectionProbe(SerialPortApi& ports, BridgeLibrary& bridge, Clock& clock)
        : ports_(ports), bridge_(bridge), clock_(clock) {}

    // True when the unit sends a heartbeat on COM comPort within 3000 ms, or
    // when a DE-1 interface box is found on a bridge instead; then
    // bridgeHandle is its open handle (the caller's to close) and foundPort
    // its COM port number (unchanged when the bridge cannot tell).
    [[nodiscard]] bool ProbeComPort(int comPort, std::uint32_t baudRate, BridgeHandle& bridgeHandle,
                                    int& foundPort);

    // The first bridge device, in listing order, that answers the DE-1 probe:
    // its open handle, or 0. foundPort as above.
    [[nodiscard]] BridgeHandle FindBridgeDevice(int& foundPort);

    [[nodiscard]] const ListenAccount& lastListen() const { return lastListen_; }
    // Why no heartbeat came, in words, from the last listen.
    [[nodiscard]] std::string silenceReason() const;

private:
    // The port's answer to a 3000 ms listen: true when a heartbeat came.
    [[nodiscard]] bool listenForHeartbeat(SerialPort& port);
    [[nodiscard]] bool probeDe1(BridgeHandle handle);

    SerialPortApi& ports_;
    BridgeLibrary& bridge_;
    Clock& clock_;
    ListenAccount lastListen_;
};

}  // namespace corvane
