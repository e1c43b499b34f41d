// Hostile bytes from a DE-1 interface box: the reply decoder on its own, and
// the link reading reply after reply from the same bytes as a stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "app/Clock.h"
#include "link/De1Link.h"
#include "link/De1Reply.h"

namespace {

using namespace corvane;

// A bridge whose one device sends exactly the fuzzer's bytes.
class StreamBridge : public BridgeLibrary {
public:
    explicit StreamBridge(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    [[nodiscard]] bool drained() const { return at_ >= bytes_.size(); }

    BridgeStatus listDevice(std::uint32_t, std::uint32_t, std::string&) override { return kBridgeDeviceNotFound; }
    BridgeStatus open(const std::string&, std::uint32_t, BridgeHandle& h) override { return h = 0, kBridgeDeviceNotFound; }
    BridgeStatus getComPortNumber(BridgeHandle, std::int32_t&) override { return kBridgeOk; }
    BridgeStatus setBitMode(BridgeHandle, std::uint8_t, std::uint8_t) override { return kBridgeOk; }
    BridgeStatus setBaudRate(BridgeHandle, std::uint32_t) override { return kBridgeOk; }
    BridgeStatus setDataCharacteristics(BridgeHandle, std::uint8_t, std::uint8_t, std::uint8_t) override { return kBridgeOk; }
    BridgeStatus setTimeouts(BridgeHandle, std::uint32_t, std::uint32_t) override { return kBridgeOk; }
    BridgeStatus setLatencyTimer(BridgeHandle, std::uint8_t) override { return kBridgeOk; }
    BridgeStatus setFlowControl(BridgeHandle, std::uint16_t, std::uint8_t, std::uint8_t) override { return kBridgeOk; }
    // A purge drops the next few bytes, as a chip's buffer would lose what had come.
    BridgeStatus purge(BridgeHandle, std::uint32_t) override {
        at_ = std::min(bytes_.size(), at_ + 3);
        return kBridgeOk;
    }
    BridgeStatus read(BridgeHandle, void* buffer, std::uint32_t n, std::uint32_t& got) override {
        got = static_cast<std::uint32_t>(std::min<std::size_t>(n, bytes_.size() - at_));
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
    std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)De1CheckPasses(bytes);
    if (DecodeDe1Reply(bytes) && (size != De1ReplySize(data[0]) || !De1CheckPasses(bytes))) {
        std::abort();
    }

    StreamBridge bridge(bytes);
    SteadyClock clock;
    De1Link link(bridge, clock, 1, 0.0, size > 0 ? data[0] % 40 : 0.0);
    De1Reading reading;
    int previousCount = 0;
    for (int turn = 0; turn < 64 && !bridge.drained(); ++turn) {
        (void)link.RequestReading();
        if (link.ReadReading(reading)) {
            // The smoothed signal is a mean of 16-bit readings.
            if (!(reading.signal >= 0.0 && reading.signal <= 65535.0)) {
                std::abort();
            }
        }
        if (link.EventCount() < previousCount || link.EventCount() > previousCount + 1) {
            std::abort();
        }
        previousCount = link.EventCount();
    }
    return 0;
}
