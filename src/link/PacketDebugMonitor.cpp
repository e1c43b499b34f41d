#include "link/PacketDebugMonitor.h"

#include "app/Clock.h"
#include "app/Prompter.h"
#include "link/FieldEntry.h"
#include "link/PacketDebugLink.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

constexpr const char* kUChar = "unsigned char";
constexpr const char* kUShort = "unsigned short";
constexpr const char* kShort = "short";
constexpr const char* kULong = "unsigned long";

DebugField field(const char* type, const char* name, bool shown, long long value, bool editable) {
    return {formatText("%s %s = ", type, name), shown ? std::to_string(value) : std::string{},
            editable};
}

}  // namespace

PacketDebugMonitor::PacketDebugMonitor(Kind kind, Clock& clock) : kind_(kind), clock_(clock) {}

std::string PacketDebugMonitor::title() const {
    switch (kind_) {
        case Kind::Cmd0: return "Debug Window (CMD0 Settings)";
        case Kind::Cmd1: return "Debug Window (CMD1 Settings)";
        case Kind::Cmd2: return "Debug Window (CMD2 Settings)";
    }
    return {};
}

bool PacketDebugMonitor::noteArrival() {
    ++count_;
    if (paused_) {
        return false;
    }
    const auto now = clock_.nowMs();
    if (refreshed_ && now - lastRefreshMs_ < kDebugRefreshMs) {
        return false;
    }
    refreshed_ = true;
    lastRefreshMs_ = now;
    return true;
}

template <class Packet>
bool PacketDebugMonitor::take(Kind kind, std::optional<Packet>& kept, const Packet& packet) {
    std::lock_guard lock(mutex_);
    if (kind_ != kind) {
        return false;
    }
    // A paused window keeps showing the packet it held when paused.
    if (!paused_) {
        kept = packet;
    }
    return noteArrival();
}

bool PacketDebugMonitor::received(const Cmd0& packet) { return take(Kind::Cmd0, cmd0_, packet); }
bool PacketDebugMonitor::received(const Cmd1& packet) { return take(Kind::Cmd1, cmd1_, packet); }
bool PacketDebugMonitor::received(const Cmd2& packet) { return take(Kind::Cmd2, cmd2_, packet); }

std::string PacketDebugMonitor::countText() const {
    const char* name = kind_ == Kind::Cmd0 ? "CMD0" : kind_ == Kind::Cmd1 ? "CMD1" : "CMD2";
    return formatText("Number of %s Packets Received: %d", name, count());
}

int PacketDebugMonitor::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::vector<DebugField> PacketDebugMonitor::fields() const {
    std::lock_guard lock(mutex_);
    std::vector<DebugField> out;
    switch (kind_) {
        case Kind::Cmd0: {
            const bool s = cmd0_.has_value();
            const Cmd0 p = cmd0_.value_or(Cmd0{});
            out = {
                field(kUChar, "ucDutyCycleA", s, p.ucDutyCycleA, true),
                field(kUChar, "ucWavelenghtA", s, p.ucWavelenghtA, true),
                field(kUChar, "ucWavelenghtB", s, p.ucWavelenghtB, true),
                field(kUChar, "ucATODGain", s, p.ucATODGain, true),
                field(kUChar, "ucRotor", s, p.ucRotor, true),
                field(kUShort, "uiIntegrationTime", s, p.uiIntegrationTime, true),
                field(kShort, "iScanSpeed", s, p.scanSpeed(), true),
                field(kUShort, "uiScanDist", s, p.uiScanDist, true),
                field(kULong, "ulATODADataA0", s, p.ulATODADataA0, false),
                field(kULong, "ulATODADataB0", s, p.ulATODADataB0, false),
                field(kULong, "ulATODADataA1", s, p.ulATODADataA1, false),
                field(kULong, "ulATODADataB1", s, p.ulATODADataB1, false),
                field(kUChar, "ucCmd0CntlInfo", s, p.ucCmd0CntlInfo, false),
                field(kUChar, "ucPotPosition", s, p.ucPotPosition, false),
                field(kUShort, "uiPistonPos", s, p.uiPistonPos, false),
                field(kShort, "iPistonSpeed", s, p.iPistonSpeed, false),
                field(kUShort, "uiTubeTopPistonPos", s, p.uiTubeTopPistonPos, true),
                field(kUShort, "uiTubeEndPistonPos", s, p.uiTubeEndPistonPos, true),
            };
            break;
        }
        case Kind::Cmd1: {
            const bool s = cmd1_.has_value();
            const Cmd1 p = cmd1_.value_or(Cmd1{});
            out = {
                field(kUChar, "ucUVKeyPressed", s, p.ucUVKeyPressed, true),
                field(kUChar, "ucUVMenuStatus", s, p.ucUVMenuStatus, true),
                field(kUChar, "ucUVMenuVersion", s, p.ucUVMenuVersion, true),
                field(kUChar, "ucCntlInfo", s, p.ucCntlInfo, true),
            };
            break;
        }
        case Kind::Cmd2: {
            const bool s = cmd2_.has_value();
            const Cmd2 p = cmd2_.value_or(Cmd2{});
            out = {
                field(kULong, "ulATODADataSample", s, p.ulATODADataSample, false),
                field(kULong, "ulATODADataSource", s, p.ulATODADataSource, false),
                field(kUChar, "ucCmd2CntlInfo", s, p.ucCmd2CntlInfo, false),
                field(kUShort, "uiPistonPos", s, p.uiPistonPos, false),
                field(kShort, "iPistonSpeed", s, p.iPistonSpeed, false),
            };
            break;
        }
    }
    return out;
}

bool PacketDebugMonitor::paused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

void PacketDebugMonitor::togglePause() {
    std::lock_guard lock(mutex_);
    paused_ = !paused_;
    // Resuming shows the next packet at once.
    refreshed_ = false;
}

std::string PacketDebugMonitor::pauseCaption() const { return paused() ? "Resume" : "Pause"; }

bool PacketDebugMonitor::sendSettings(const std::vector<std::string>& texts, PacketDebugLink& link,
                                      Prompter& prompter) {
    const auto text = [&](std::size_t i) -> std::string_view {
        return i < texts.size() ? std::string_view(texts[i]) : std::string_view{};
    };
    if (kind_ == Kind::Cmd0) {
        const Cmd0FieldTexts typed{text(0), text(1), text(2), text(3), text(4),
                                   text(5), text(6), text(7), text(8), text(9)};
        const auto result = Cmd0FromFieldTexts(typed);
        if (!result.packet) {
            prompter.message(std::string(result.message));
            prompter.message(std::string(kCmd0SendFailed));
            return false;
        }
        if (!link.sendSettingsWithEcho(*result.packet)) {
            prompter.message(std::string(kCmd0SendFailed));
            return false;
        }
        return true;
    }
    if (kind_ == Kind::Cmd1) {
        // Shown in packet order (key, status, version, control); checked
        // control first.
        const Cmd1FieldTexts typed{text(3), text(1), text(2), text(0)};
        const auto result = Cmd1FromFieldTexts(typed);
        if (!result.packet) {
            prompter.message(std::string(result.message));
            prompter.message(std::string(kCmd1SendFailed));
            return false;
        }
        const std::uint8_t key = (*result.packet)[2];
        if (!link.sendPacket10WithKeyAck(*result.packet, key)) {
            prompter.message(std::string(kCmd1SendFailed));
            return false;
        }
        return true;
    }
    return false;
}

}  // namespace corvane
