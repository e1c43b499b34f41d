#include "link/UvLinkPacketDebug.h"

namespace corvane {

UvLinkPacketDebug::UvLinkPacketDebug(UvLink& link) : link_(link) {}

UvLinkPacketDebug::~UvLinkPacketDebug() { observePackets({}, {}, {}); }

bool UvLinkPacketDebug::sendSettingsWithEcho(const Cmd0Bytes& packet) {
    return link_.SendSettings(packet) && link_.WaitForSettingsEcho(packet);
}

bool UvLinkPacketDebug::sendPacket10WithKeyAck(const Cmd1Bytes& packet, std::uint8_t key) {
    return link_.SendPacket10(packet) && link_.WaitForKeyAck(key);
}

void UvLinkPacketDebug::observePackets(std::function<void(const Cmd0&)> cmd0,
                                       std::function<void(const Cmd1&)> cmd1,
                                       std::function<void(const Cmd2&)> cmd2) {
    // The link calls its observers under its observer lock, and its setters
    // take that lock: once these return, no call is running on another
    // thread, so the functions can be replaced.
    link_.SetCmd0Observer(nullptr);
    link_.SetCmd1Observer(nullptr);
    link_.SetCmd2Observer(nullptr);
    cmd0_ = std::move(cmd0);
    cmd1_ = std::move(cmd1);
    cmd2_ = std::move(cmd2);
    if (cmd0_) {
        link_.SetCmd0Observer(this);
    }
    if (cmd1_) {
        link_.SetCmd1Observer(this);
    }
    if (cmd2_) {
        link_.SetCmd2Observer(this);
    }
}

}  // namespace corvane
