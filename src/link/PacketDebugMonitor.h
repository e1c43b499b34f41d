#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/Packets.h"

namespace corvane {

class Clock;
class PacketDebugLink;
class Prompter;

// A field of a packet as the debug windows show it: "unsigned char
// ucDutyCycleA = " and the value as a decimal number.
struct DebugField {
    std::string caption;
    std::string value;
    bool editable = false;  // sent by "Send Settings"
};

// The logic of one packet debug window (CCMD0DebugDlg, CCMD1DebugDlg,
// CCMD2DebugDlg): the last packet of its kind, the count, pause, the
// throttled refresh and "Send Settings".
//
// Threads: received() comes on the link's reading thread; the rest on the
// window's thread. A lock guards the packet and the count.
class PacketDebugMonitor {
public:
    enum class Kind { Cmd0, Cmd1, Cmd2 };

    PacketDebugMonitor(Kind kind, Clock& clock);

    [[nodiscard]] Kind kind() const { return kind_; }
    // "Debug Window (CMD0 Settings)" and so on.
    [[nodiscard]] std::string title() const;

    // A packet of the window's kind arrived. True when the window should
    // refresh now: not paused, and at least 501 ms since the last refresh.
    bool received(const Cmd0& packet);
    bool received(const Cmd1& packet);
    bool received(const Cmd2& packet);

    // "Number of CMD0 Packets Received: %d".
    [[nodiscard]] std::string countText() const;
    [[nodiscard]] int count() const;
    // Every field of the last packet, in packet order; empty values before
    // the first packet.
    [[nodiscard]] std::vector<DebugField> fields() const;

    [[nodiscard]] bool paused() const;
    void togglePause();
    // "Pause" while running, "Resume" while paused.
    [[nodiscard]] std::string pauseCaption() const;

    // CMD0 and CMD1 send what is typed into their editable fields.
    [[nodiscard]] bool canSend() const { return kind_ != Kind::Cmd2; }
    // "Send Settings": texts are the editable fields' texts in the order
    // fields() lists them. Every failure shows its messages; true when sent
    // and acknowledged.
    bool sendSettings(const std::vector<std::string>& texts, PacketDebugLink& link,
                      Prompter& prompter);

private:
    // Keeps the packet unless paused and counts it; under the lock.
    template <class Packet>
    bool take(Kind kind, std::optional<Packet>& kept, const Packet& packet);
    bool noteArrival();

    const Kind kind_;
    Clock& clock_;
    mutable std::mutex mutex_;
    std::optional<Cmd0> cmd0_;
    std::optional<Cmd1> cmd1_;
    std::optional<Cmd2> cmd2_;
    int count_ = 0;
    bool paused_ = false;
    bool refreshed_ = false;
    std::int64_t lastRefreshMs_ = 0;
};

}  // namespace corvane
