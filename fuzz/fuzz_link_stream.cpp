// Hostile bytes from the unit through the link's receive ring: settings and
// running-data reads and heartbeat parsing, interleaved as the input's first
// byte says, with the bytes arriving in pieces of 1 to 46. No crash, no hang
// (every read moves the input on), and the link's account of the wire never
// claims more than came over it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "FuzzWorkFolder.h"
#include "FuzzSilentPrompter.h"
#include "app/Clock.h"
#include "app/Prompter.h"
#include "link/UvLink.h"

namespace {

using namespace corvane;

// Time that moves only by waiting: a key press answered inside a heartbeat
// runs its whole 5 s echo wait in no real time.
class WaitingClock : public Clock {
public:
    [[nodiscard]] std::int64_t nowMs() const override { return now_; }
    bool sleepMs(std::int64_t ms, std::stop_token stop = {}) override {
        if (stop.stop_requested()) {
            return false;
        }
        now_ += std::max<std::int64_t>(ms, 0);
        return true;
    }
    bool waitUntil(std::unique_lock<std::mutex>&, std::condition_variable_any&, std::int64_t deadlineMs,
                   std::stop_token, const std::function<bool()>& pred) override {
        if (!pred() && now_ < deadlineMs) {
            now_ = deadlineMs;
        }
        return pred();
    }

protected:
    [[nodiscard]] std::chrono::nanoseconds realDuration(std::int64_t) const override {
        return std::chrono::nanoseconds::zero();
    }
    [[nodiscard]] std::int64_t lockPollMs() const override { return 1; }

private:
    std::int64_t now_ = 0;
};

// One bridge device (COM 1) that sends exactly the fuzzer's bytes, in pieces.
class StreamBridge : public BridgeLibrary {
public:
    StreamBridge(std::span<const std::uint8_t> bytes, std::uint8_t pattern)
        : bytes_(bytes), pattern_(pattern) {}
    [[nodiscard]] bool drained() const { return at_ >= bytes_.size(); }
    [[nodiscard]] std::size_t sent() const { return at_; }

    BridgeStatus listDevice(std::uint32_t index, std::uint32_t, std::string& serial) override {
        if (index != 0) {
            return kBridgeDeviceNotFound;
        }
        serial = "FUZZ0001";
        return kBridgeOk;
    }
    BridgeStatus open(const std::string&, std::uint32_t, BridgeHandle& h) override { return h = 1, kBridgeOk; }
    BridgeStatus getComPortNumber(BridgeHandle, std::int32_t& port) override { return port = 1, kBridgeOk; }
    BridgeStatus setBitMode(BridgeHandle, std::uint8_t, std::uint8_t) override { return kBridgeOk; }
    BridgeStatus setBaudRate(BridgeHandle, std::uint32_t) override { return kBridgeOk; }
    BridgeStatus setDataCharacteristics(BridgeHandle, std::uint8_t, std::uint8_t, std::uint8_t) override { return kBridgeOk; }
    BridgeStatus setTimeouts(BridgeHandle, std::uint32_t, std::uint32_t) override { return kBridgeOk; }
    BridgeStatus setLatencyTimer(BridgeHandle, std::uint8_t) override { return kBridgeOk; }
    BridgeStatus setFlowControl(BridgeHandle, std::uint16_t, std::uint8_t, std::uint8_t) override { return kBridgeOk; }
    // A purge loses a few bytes that had come, as a chip's buffer would.
    BridgeStatus purge(BridgeHandle, std::uint32_t) override {
        at_ = std::min(bytes_.size(), at_ + (pattern_ & 7));
        return kBridgeOk;
    }
    BridgeStatus read(BridgeHandle, void* buffer, std::uint32_t n, std::uint32_t& got) override {
        const std::size_t piece = 1 + (pattern_ >> (reads_++ % 4 * 2) & 3) * 15;
        got = static_cast<std::uint32_t>(std::min<std::size_t>({n, piece, bytes_.size() - at_}));
        if (got > 0) {
            std::memcpy(buffer, bytes_.data() + at_, got);
        }
        at_ += got;
        return kBridgeOk;
    }
    BridgeStatus write(BridgeHandle, const void*, std::uint32_t n, std::uint32_t& written) override {
        return written = n, kBridgeOk;
    }
    BridgeStatus close(BridgeHandle) override { return kBridgeOk; }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint8_t pattern_;
    std::size_t at_ = 0;
    unsigned reads_ = 0;
};

using fuzz::SilentPrompter;

// The key log of answered key requests goes here, in memory where there is one.
const std::filesystem::path& logFolder() {
    static const corvane::fuzz::WorkFolder folder("fuzz-link");
    return folder.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t order = data[0];
    const std::span<const std::uint8_t> wire(data + 2, size - 2);
    StreamBridge bridge(wire, data[1]);
    WaitingClock clock;
    SilentPrompter prompter;
    SampleLock sampleLock;
    std::uint64_t found = 0;
    {
        UvLink link({bridge, clock, prompter, nullptr, false}, logFolder(), 1, 57600, 0, sampleLock);
        if (!link.connected()) {
            std::abort();
        }
        // Every fourth turn reads whatever the ops say, so the wire is used
        // up (each read takes at least one byte while any is left); then a
        // few turns more drain the ring.
        const std::size_t limit = 8 * wire.size() + 64;
        for (std::size_t turn = 0, idle = 0; turn < limit && idle < 8; ++turn) {
            const bool wasDrained = bridge.drained();
            const unsigned op = turn % 4 == 3 ? (link.ShortPacketMode() ? 1u : 0u)
                                              : (order >> (turn % 4 * 2) & 3u);
            switch (op) {
            case 0: {
                Cmd0 packet;
                found += link.ReadCmd0(packet) ? 1 : 0;
                break;
            }
            case 1: {
                Cmd2 packet;
                found += link.ReadCmd2(packet) ? 1 : 0;
                break;
            }
            case 2:
                link.ParseHeartbeat();
                break;
            default:
                link.SetShortPacketMode(!link.ShortPacketMode());
                break;
            }
            idle = wasDrained ? idle + 1 : 0;
        }
        if (!bridge.drained()) {
            std::abort();  // a read that took nothing from a wire with bytes left
        }
        const auto traffic = link.traffic();
        const auto counted = traffic.invalidBytesSkipped + traffic.cmd0Packets * kCmd0Size +
                             traffic.cmd2Packets * kCmd2Size;
        if (traffic.bytesReceived > bridge.sent() || counted > traffic.bytesReceived ||
            traffic.cmd1Packets * kCmd1Size > traffic.bytesReceived ||
            traffic.packetsLost * (kCmd2Size * 3 / 4) > traffic.invalidBytesSkipped ||
            found > traffic.cmd0Packets + traffic.cmd2Packets) {
            std::abort();
        }
    }
    return 0;
}
