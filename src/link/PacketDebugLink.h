#pragma once

#include <cstdint>
#include <functional>

#include "link/Packets.h"

namespace corvane {

// What the packet debug windows need of the instrument link. The link
// object implements it (or an adapter over it); the windows open only while
// one exists.
class PacketDebugLink {
public:
    virtual ~PacketDebugLink() = default;

    // "Send Settings" of the CMD0 window: SendSettings, then
    // WaitForSettingsEcho. True when the unit echoed the settings.
    [[nodiscard]] virtual bool sendSettingsWithEcho(const Cmd0Bytes& packet) = 0;
    // "Send Settings" of the CMD1 window: SendPacket10, then WaitForKeyAck
    // for the packet's key.
    [[nodiscard]] virtual bool sendPacket10WithKeyAck(const Cmd1Bytes& packet, std::uint8_t key) = 0;

    // The debug observers: each receives every valid packet of its kind, on
    // the thread that read it. An empty function removes the observer. The
    // functions must return quickly.
    virtual void observePackets(std::function<void(const Cmd0&)> cmd0,
                                std::function<void(const Cmd1&)> cmd1,
                                std::function<void(const Cmd2&)> cmd2) = 0;
};

}  // namespace corvane
