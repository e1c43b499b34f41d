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

struct WrittenByte {
    std::uint8_t value;
    std::int64_t atMs;
};

std::vector<WrittenByte> written(const SimBridgeLibrary& bridge) {
    std::vector<WrittenByte> bytes;
    for (const auto& call : bridge.callsNamed("write")) {
        for (const auto b : call.data) {
            bytes.push_back({b, call.atMs});
        }
    }
    return bytes;
}

template <class Packet, std::size_t N, class Take>
void eachPacket(const std::vector<WrittenByte>& bytes, Take take) {
    std::vector<std::uint8_t> values;
    for (const auto& b : bytes) {
        values.push_back(b.value);
    }
    for (std::size_t i = 0; i + N <= values.size();) {
        Packet packet;
        std::span<const std::uint8_t, N> window(values.data() + i, N);
        bool valid = false;
        if constexpr (N == kCmd1Size) {
            valid = ValidateCmd1(window, packet);
        } else {
            valid = ValidateCmd0(window, packet);
        }
        if (valid) {
            take(packet, window, bytes[i].atMs);
            i += N;
        } else {
            ++i;
        }
    }
}

}  // namespace

std::vector<std::uint8_t> KeysWritten(const SimBridgeLibrary& bridge) {
    std::vector<std::uint8_t> keys;
    eachPacket<Cmd1, kCmd1Size>(written(bridge), [&](const Cmd1& p, auto, std::int64_t) {
        if (p.ucUVKeyPressed != 0) {
            keys.push_back(p.ucUVKeyPressed);
        }
    });
    return keys;
}

std::vector<std::int64_t> HeartbeatTimes(const SimBridgeLibrary& bridge) {
    std::vector<std::int64_t> times;
    eachPacket<Cmd1, kCmd1Size>(written(bridge), [&](const Cmd1& p, auto, std::int64_t atMs) {
        if (p.ucUVKeyPressed == 0) {
            times.push_back(atMs);
        }
    });
    return times;
}

std::vector<Cmd0Bytes> SettingsWritten(const SimBridgeLibrary& bridge) {
    std::vector<Cmd0Bytes> packets;
    eachPacket<Cmd0, kCmd0Size>(written(bridge), [&](const Cmd0&, auto window, std::int64_t) {
        Cmd0Bytes bytes;
        std::copy(window.begin(), window.end(), bytes.begin());
        packets.push_back(bytes);
    });
    return packets;
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
