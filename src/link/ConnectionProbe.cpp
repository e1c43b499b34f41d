#include "link/ConnectionProbe.h"

#include <array>
#include <string>

#include "link/De1Reply.h"
#include "link/Packets.h"

namespace corvane {

bool ConnectionProbe::ProbeComPort(int comPort, std::uint32_t baudRate, BridgeHandle& bridgeHandle,
                                   int& foundPort) {
    lastListen_ = {};
    if (auto port = ports_.open(comPort)) {
        lastListen_.portOpened = true;
        SerialTimeouts timeouts;
        timeouts.readTotalConstant = kProbeReadConstantMs;
        timeouts.writeTotalConstant = kProbeWriteConstantMs;
        if (!port->setTimeouts(timeouts)) {
            return false;
        }
        SerialState state;
        if (!port->getState(state)) {
            return false;
        }
        setPlainLine(state, baudRate);
        if (!port->setState(state)) {
            return false;
        }
        // What the unit sent before we listened is stale.
        std::array<std::uint8_t, kDrainChunk> chunk{};
        std::size_t drained = 0;
        std::size_t got = 0;
        while (drained < kDrainLimitBytes && port->read(chunk.data(), chunk.size(), got) && got > 0) {
            drained += got;
        }
        timeouts.readTotalConstant = kListenReadConstantMs;
        if (!port->setTimeouts(timeouts)) {
            return false;
        }
        if (listenForHeartbeat(*port)) {
            return true;
        }
    }
    bridgeHandle = FindBridgeDevice(foundPort);
    return bridgeHandle != 0;
}

bool ConnectionProbe::listenForHeartbeat(SerialPort& port) {
    const Deadline deadline(clock_, kHeartbeatListenMs);
    Cmd1Bytes bytes{};
    std::size_t got = 0;
    while (!deadline.expired()) {
        const bool read = port.read(&bytes[0], 1, got);
        lastListen_.failedReads += read ? 0 : 1;
        lastListen_.bytesHeard += read ? got : 0;
        if (!read || got != 1) {
            // A port that fails, or returns before its time-out, must not
            // spin for the whole listen.
            clock_.sleepMs(kProbeReadConstantMs);
            continue;
        }
        if (bytes[0] != kCmd1Command) {
            continue;
        }
        if (!port.read(&bytes[1], 1, got) || got != 1 || bytes[1] != 0xFF - kCmd1Command) {
            lastListen_.bytesHeard += got;
            continue;
        }
        lastListen_.bytesHeard += got;
        if (!port.read(&bytes[2], kCmd1Size - 2, got) || got != kCmd1Size - 2) {
            lastListen_.bytesHeard += got;
            continue;
        }
        lastListen_.bytesHeard += got;
        Cmd1 heartbeat;
        if (ValidateCmd1(bytes, heartbeat)) {
            return true;
        }
    }
    return false;
}

std::string ConnectionProbe::silenceReason() const {
    if (!lastListen_.portOpened) {
        return "the port could not be opened or set up";
    }
    if (lastListen_.bytesHeard == 0) {
        return lastListen_.failedReads != 0 ? "every read of the port failed (the cable?)"
                                            : "nothing came (is the unit on, on this port?)";
    }
    return std::to_string(lastListen_.bytesHeard) +
           " bytes came and none formed a heartbeat (a wrong line speed, or a damaged line?)";
}

BridgeHandle ConnectionProbe::FindBridgeDevice(int& foundPort) {
    for (std::uint32_t index = 0;; ++index) {
        std::string serial;
        if (bridge_.listDevice(index, kListByIndexSerialNumber, serial) != kBridgeOk) {
            return 0;
        }
        BridgeHandle handle = 0;
        if (bridge_.open(serial, kOpenBySerialNumber, handle) != kBridgeOk || handle == 0) {
            return 0;
        }
        if (!probeDe1(handle)) {
            (void)bridge_.close(handle);  // not ours either way: the search goes on
            continue;
        }
        std::int32_t comPort = 0;
        if (bridge_.getComPortNumber(handle, comPort) == kBridgeOk) {
            foundPort = comPort;
        }
        return handle;
    }
}

bool ConnectionProbe::probeDe1(BridgeHandle handle) {
    // Each setting is made as the box expects; a failed one shows in the reply.
    (void)bridge_.setTimeouts(handle, kDe1TimeoutMs, kDe1TimeoutMs);
    (void)bridge_.setBaudRate(handle, kDe1BaudRate);
    (void)bridge_.purge(handle, kPurgeRx);
    const std::uint8_t request = kDe1RequestReading;
    std::uint32_t written = 0;
    if (bridge_.write(handle, &request, 1, written) != kBridgeOk || written != 1) {
        return false;
    }
    std::array<std::uint8_t, kDe1ProbeReadSize> reply{};
    std::uint32_t got = 0;
    if (bridge_.read(handle, reply.data(), kDe1ProbeReadSize, got) != kBridgeOk || got == 0) {
        return false;
    }
    return De1CheckPasses(std::span<const std::uint8_t>(reply.data(), got));
}

}  // namespace corvane
