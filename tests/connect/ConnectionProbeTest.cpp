// Finding the instrument: a heartbeat on the configured port, else a DE-1
// interface box among the bridge devices.

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "TestClocks.h"
#include "link/ConnectionProbe.h"
#include "link/Packets.h"
#include "sim/SimRig.h"

namespace corvane {
namespace {

using test::ManualClock;

struct Probe {
    ManualClock clock;
    SimRig rig;
    ConnectionProbe probe{rig.ports(), rig.bridge(), clock};
    BridgeHandle handle = 0;
    int foundPort = 0;

    explicit Probe(SimRigConfig config) : rig(clock, std::move(config)) {}
    bool run(int comPort = 3) { return probe.ProbeComPort(comPort, 57600, handle, foundPort); }
};

SimRigConfig WithDe1(bool kelvo) {
    SimRigConfig config;
    config.withKelvo = kelvo;
    config.withDe1 = true;
    return config;
}

TEST(ConnectionProbe, AUnitThatSendsAHeartbeatIsFoundWithoutASearch) {
    Probe p(WithDe1(true));
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.handle, 0u);
    EXPECT_EQ(p.foundPort, 0);
    EXPECT_TRUE(p.rig.bridge().calls().empty());
    EXPECT_FALSE(p.rig.kelvo()->claimed());  // the port is closed again
}

TEST(ConnectionProbe, ADe1BoxAnswersWhenTheConfiguredPortHasNoUnit) {
    for (const bool kelvoSilent : {false, true}) {
        auto config = WithDe1(kelvoSilent);
        Probe p(config);
        if (kelvoSilent) {
            p.rig.kelvo()->setFaults(SimFaults{.silent = true});
        }
        ASSERT_TRUE(p.run());
        EXPECT_NE(p.handle, 0u);
        EXPECT_EQ(p.foundPort, 4);
        EXPECT_EQ(p.rig.bridge().openHandles(), 1u);  // the unit's device was closed again

        // The probe of the box, as it stands on the wire.
        std::vector<std::string> box;
        for (const auto& call : p.rig.bridge().calls()) {
            if (call.handle == p.handle && call.name != "open" && call.name != "getComPortNumber") {
                box.push_back(call.text());
            }
        }
        const auto h = std::to_string(p.handle);
        const std::vector<std::string> expected{"setTimeouts(" + h + ", 100, 100)",
                                                "setBaudRate(" + h + ", 115200)", "purge(" + h + ", 1)",
                                                "write(" + h + ", 1, 1)", "read(" + h + ", 256, 33)"};
        EXPECT_EQ(box, expected);
        EXPECT_EQ(p.rig.de1()->requestsReceived(), 1);
        (void)p.rig.bridge().close(p.handle);
    }
}

TEST(ConnectionProbe, NothingAnsweringFailsAndLeavesNothingOpen) {
    SimRigConfig config;
    config.kelvo.baudRate = 9600;  // the unit cannot be heard at 57600
    Probe p(config);
    EXPECT_FALSE(p.run());
    EXPECT_EQ(p.handle, 0u);
    EXPECT_EQ(p.rig.bridge().openHandles(), 0u);
    EXPECT_GE(p.clock.nowMs(), ConnectionProbe::kHeartbeatListenMs);
}

// A port that records how it was set up. `stale` bytes wait from the start;
// `live` ones come once the listen has begun (the second time-out setting).
class ScriptedPorts : public SerialPortApi {
public:
    std::vector<SerialTimeouts> timeouts;
    SerialState state;
    std::vector<std::uint8_t> stale;
    std::vector<std::uint8_t> live;

    std::unique_ptr<SerialPort> open(int) override { return std::make_unique<Port>(*this); }
    std::vector<int> enumerate() override { return {3}; }
    std::string describe(int) const override { return {}; }

private:
    class Port : public SerialPort {
    public:
        explicit Port(ScriptedPorts& owner) : owner_(owner), bytes_(owner.stale.begin(), owner.stale.end()) {}
        bool setTimeouts(const SerialTimeouts& t) override {
            owner_.timeouts.push_back(t);
            if (owner_.timeouts.size() == 2) {
                bytes_.insert(bytes_.end(), owner_.live.begin(), owner_.live.end());
            }
            return true;
        }
        bool getTimeouts(SerialTimeouts& t) override { return t = owner_.timeouts.back(), true; }
        bool getState(SerialState& s) override {
            s.baudRate = 9600;
            s.dtrEnabled = s.rtsEnabled = s.ctsFlow = true;
            return true;
        }
        bool setState(const SerialState& s) override { return owner_.state = s, true; }
        bool read(void* buffer, std::size_t n, std::size_t& got) override {
            got = 0;
            for (auto* out = static_cast<std::uint8_t*>(buffer); got < n && !bytes_.empty(); ++got) {
                out[got] = bytes_.front();
                bytes_.pop_front();
            }
            return true;
        }
        bool write(const void*, std::size_t n, std::size_t& written) override { return written = n, true; }
        bool purge(bool, bool) override { return true; }
        std::uint32_t lastError() const override { return 0; }

    private:
        ScriptedPorts& owner_;
        std::deque<std::uint8_t> bytes_;
    };
};

TEST(ConnectionProbe, SetsThePortUpAsTheUnitNeedsAndFindsAHeartbeatBehindNoise) {
    ManualClock clock;
    SimBridgeLibrary noBridges(clock);
    ScriptedPorts ports;
    const auto heartbeat = BuildCmd1(0, kModeSetup, kMenuVersion, 0);
    // A whole heartbeat among the stale bytes does not count: they are drained.
    ports.stale.assign(130, 0x00);
    ports.stale.insert(ports.stale.end(), heartbeat.begin(), heartbeat.end());
    ports.live = {0x41, 0x00, 0x17};  // a false start
    ConnectionProbe probe(ports, noBridges, clock);
    BridgeHandle handle = 0;
    int found = 0;
    EXPECT_FALSE(probe.ProbeComPort(3, 57600, handle, found));

    ports.timeouts.clear();
    ports.live.insert(ports.live.end(), heartbeat.begin(), heartbeat.end());
    EXPECT_TRUE(probe.ProbeComPort(3, 57600, handle, found));

    ASSERT_EQ(ports.timeouts.size(), 2u);
    EXPECT_EQ(ports.timeouts[0].readInterval, 0u);
    EXPECT_EQ(ports.timeouts[0].readTotalMultiplier, 0u);
    EXPECT_EQ(ports.timeouts[0].readTotalConstant, 10u);
    EXPECT_EQ(ports.timeouts[0].writeTotalMultiplier, 0u);
    EXPECT_EQ(ports.timeouts[0].writeTotalConstant, 10u);
    EXPECT_EQ(ports.timeouts[1].readTotalConstant, 100u);
    EXPECT_EQ(ports.state.baudRate, 57600u);
    EXPECT_FALSE(ports.state.dtrEnabled);
    EXPECT_FALSE(ports.state.rtsEnabled);
    EXPECT_FALSE(ports.state.ctsFlow);
    EXPECT_EQ(ports.state.dataBits, 8);
}

}  // namespace
}  // namespace corvane
