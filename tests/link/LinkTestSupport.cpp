#include "LinkTestSupport.h"

#include <sstream>

namespace corvane::test {

ScriptedUnit::ScriptedUnit(Clock& clock) : SimDevice(clock, 7) {}

void ScriptedUnit::inject(std::span<const std::uint8_t> bytes) {
    mutate([&] { emit(bytes); });
}

void ScriptedUnit::setHeartbeat(std::optional<Cmd1> beat, std::int64_t firstAfterMs) {
    mutate([&] {
        beat_ = beat;
        nextBeatMs_ = clock().nowMs() + firstAfterMs;
    });
}

std::vector<std::uint8_t> ScriptedUnit::received() {
    return inspect([&] { return received_; });
}

void ScriptedUnit::advanceTo(std::int64_t nowMs) {
    while (beat_ && nextBeatMs_ <= nowMs) {
        const auto bytes = EncodeCmd1(*beat_);
        emit(bytes);
        nextBeatMs_ += 1000;
    }
}

void ScriptedUnit::receive(std::span<const std::uint8_t> bytes, std::int64_t) {
    received_.insert(received_.end(), bytes.begin(), bytes.end());
}

std::optional<std::int64_t> ScriptedUnit::nextEventMs() const {
    if (beat_) {
        return nextBeatMs_;
    }
    return std::nullopt;
}

Cmd1 UnitBeat(std::uint8_t mode, std::uint8_t key, std::uint8_t control, std::uint8_t version) {
    Cmd1 beat;
    beat.ucUVKeyPressed = key;
    beat.ucUVMenuStatus = mode;
    beat.ucUVMenuVersion = version;
    beat.ucCntlInfo = control;
    return beat;
}

namespace {

// Every byte the PC wrote, joined across the single-byte writes, with the
// clock time of each.
struct Written {
    std::vector<std::uint8_t> bytes;
    std::vector<std::int64_t> atMs;
};

Written written(const SimBridgeLibrary& bridge) {
    Written out;
    for (const auto& call : bridge.callsNamed("write")) {
        out.bytes.insert(out.bytes.end(), call.data.begin(), call.data.end());
        out.atMs.insert(out.atMs.end(), call.data.size(), call.atMs);
    }
    return out;
}

// Calls take(packet, offset) for each packet found by `find` in order.
template <class Find, class Take>
void eachPacket(const Written& w, std::size_t size, Find find, Take take) {
    for (std::size_t at = 0; at < w.bytes.size();) {
        const auto match = find(std::span<const std::uint8_t>(w.bytes).subspan(at));
        if (!match) {
            return;
        }
        take(match->packet, at + match->offset);
        at += match->offset + size;
    }
}

}  // namespace

std::vector<std::uint8_t> KeysWritten(const SimBridgeLibrary& bridge) {
    std::vector<std::uint8_t> keys;
    eachPacket(written(bridge), kCmd1Size, FindCmd1, [&](const Cmd1& p, std::size_t) {
        if (p.ucUVKeyPressed != 0) {
            keys.push_back(p.ucUVKeyPressed);
        }
    });
    return keys;
}

std::vector<std::int64_t> HeartbeatTimes(const SimBridgeLibrary& bridge) {
    const auto w = written(bridge);
    std::vector<std::int64_t> times;
    eachPacket(w, kCmd1Size, FindCmd1, [&](const Cmd1& p, std::size_t at) {
        if (p.ucUVKeyPressed == 0) {
            times.push_back(w.atMs[at]);
        }
    });
    return times;
}

std::vector<Cmd0Bytes> SettingsWritten(const SimBridgeLibrary& bridge) {
    const auto w = written(bridge);
    std::vector<Cmd0Bytes> packets;
    eachPacket(w, kCmd0Size, FindCmd0, [&](const Cmd0&, std::size_t at) {
        Cmd0Bytes bytes;
        std::copy_n(w.bytes.begin() + static_cast<std::ptrdiff_t>(at), kCmd0Size, bytes.begin());
        packets.push_back(bytes);
    });
    return packets;
}

std::vector<std::string> SetupCalls(const SimBridgeLibrary& bridge) {
    std::vector<std::string> texts;
    for (const auto& call : bridge.calls()) {
        if (call.name != "read" && call.name != "write") {
            texts.push_back(call.text());
        }
    }
    return texts;
}

std::vector<std::string> KeyLogLines(const TempDir& folder) {
    std::istringstream in(readFile(folder / "pressKeyLog.txt"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        // Timestamp lines look like "2024-05-01   13:02:03".
        if (line.size() == 21 && line[4] == '-' && line.substr(10, 3) == "   ") {
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

AcquisitionLoop::AcquisitionLoop(UvLink& link, Clock& clock)
    : link_(link), clock_(clock),
      thread_([this](std::stop_token stop) { run(stop); }) {}

AcquisitionLoop::~AcquisitionLoop() {
    thread_.request_stop();
}

void AcquisitionLoop::run(std::stop_token stop) {
    std::optional<std::int64_t> lastMs;
    while (!stop.stop_requested()) {
        const bool got = link_.ReadStreamedPacket();
        const auto now = clock_.nowMs();
        if (got) {
            if (lastMs && now - *lastMs > longestGapMs_.load()) {
                longestGapMs_.store(now - *lastMs);
            }
            lastMs = now;
            packets_.fetch_add(1);
        } else {
            clock_.sleepMs(1, stop);
        }
    }
}

LinkBench::LinkBench(Clock& c, SimRigConfig config) : clock(c), rig(c, std::move(config)) {
    folder.write("prefs.cfg", "[prefs]\ncomport 3\n");
}

LinkBench::~LinkBench() {
    link.reset();
}

UvLink& LinkBench::open(bool heartbeatThread, int comPort, std::uint32_t interByteDelayMs) {
    const UvLinkSeams seams{rig.bridge(), clock, prompter, &poster, heartbeatThread};
    link = std::make_unique<UvLink>(seams, folder.path(), comPort, 57600, interByteDelayMs,
                                    sampleLock);
    return *link;
}

ScriptedLink::ScriptedLink(std::uint32_t interByteDelayMs) : unit(clock), bridge(clock) {
    bridge.addDevice(unit, "SCRIPT01", 5);
    link = std::make_unique<UvLink>(UvLinkSeams{bridge, clock, prompter, &poster, false},
                                    folder.path(), 5, 57600, interByteDelayMs, sampleLock);
}

ScriptedLink::~ScriptedLink() {
    link.reset();
}

std::vector<Cmd0> ScriptedLink::readCmd0s(int n, int reads) {
    std::vector<Cmd0> got;
    for (int i = 0; i < reads && static_cast<int>(got.size()) < n; ++i) {
        Cmd0 packet;
        if (link->ReadCmd0(packet)) {
            got.push_back(packet);
        }
    }
    return got;
}

bool ScriptedLink::feedBeat(const Cmd1& beat) {
    unit.inject(EncodeCmd1(beat));
    Cmd0 ignored;
    (void)link->ReadCmd0(ignored);
    return link->ParseHeartbeat();
}

void LinkBench::hearUnit() {
    for (int i = 0; i < 100 && !link->lastCmd1(); ++i) {
        Cmd2 ignored;
        (void)link->ReadCmd2(ignored);
        link->ParseHeartbeat();
    }
}

}  // namespace corvane::test
