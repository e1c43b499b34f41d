#pragma once

#include <functional>

#include "link/PacketDebugLink.h"
#include "link/UvLink.h"

namespace corvane {

// The packet debug windows' view of a UvLink: "Send Settings" through the
// link's own send and wait, and the link's three debug observers. Owned by
// whoever owns the link, and destroyed before it.
class UvLinkPacketDebug : public PacketDebugLink, Cmd0Observer, Cmd1Observer, Cmd2Observer {
public:
    explicit UvLinkPacketDebug(UvLink& link);
    // Takes the observers off the link.
    ~UvLinkPacketDebug() override;
    UvLinkPacketDebug(const UvLinkPacketDebug&) = delete;
    UvLinkPacketDebug& operator=(const UvLinkPacketDebug&) = delete;

    [[nodiscard]] bool sendSettingsWithEcho(const Cmd0Bytes& packet) override;
    [[nodiscard]] bool sendPacket10WithKeyAck(const Cmd1Bytes& packet, std::uint8_t key) override;
    void observePackets(std::function<void(const Cmd0&)> cmd0, std::function<void(const Cmd1&)> cmd1,
                        std::function<void(const Cmd2&)> cmd2) override;

private:
    void onCmd0(const Cmd0& packet) override { cmd0_(packet); }
    void onCmd1(const Cmd1& packet) override { cmd1_(packet); }
    void onCmd2(const Cmd2& packet) override { cmd2_(packet); }

    UvLink& link_;
    std::function<void(const Cmd0&)> cmd0_;
    std::function<void(const Cmd1&)> cmd1_;
    std::function<void(const Cmd2&)> cmd2_;
};

}  // namespace corvane
