// Finding the instrument: a heartbeat on the configured port, else a DE-1
// interface box among the bridge devices.

#include <gtest/gtest.h>

#include <vector>

#include "TestClocks.h"
#include "link/ConnectionProbe.h"
#include "sim/SimRig.h"

namespace corvane {
namespace {

SimRigConfig Bench(bool kelvo, bool de1) {
    SimRigConfig config;
    config.withKelvo = kelvo;
    config.withDe1 = de1;
    return config;
}

struct Probe {
    test::ManualClock clock;
    SimRig rig;
    ConnectionProbe probe{rig.ports(), rig.bridge(), clock};
    BridgeHandle handle = 0;
    int foundPort = 0;

    explicit Probe(SimRigConfig config) : rig(clock, std::move(config)) {}
    bool run() { return probe.ProbeComPort(3, 57600, handle, foundPort); }
};

TEST(ConnectionProbe, AUnitIsFoundByItsHeartbeatWithoutASearch) {
    Probe p(Bench(true, true));
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.handle, 0u);
    EXPECT_TRUE(p.rig.bridge().calls().empty());
    EXPECT_FALSE(p.rig.kelvo()->claimed());  // the port is closed again

    SimRigConfig deaf;
    deaf.kelvo.baudRate = 9600;  // cannot be heard at 57600, and no box
    Probe nothing(deaf);
    EXPECT_FALSE(nothing.run());
    EXPECT_EQ(nothing.rig.bridge().openHandles(), 0u);
    EXPECT_GE(nothing.clock.nowMs(), ConnectionProbe::kHeartbeatListenMs);
}

TEST(ConnectionProbe, ADe1BoxAnswersWhenTheConfiguredPortHasNoUnit) {
    for (const bool silentUnit : {false, true}) {
        Probe p(Bench(silentUnit, true));
        if (silentUnit) {
            p.rig.kelvo()->setFaults(SimFaults{.silent = true});
        }
        ASSERT_TRUE(p.run());
        EXPECT_NE(p.handle, 0u);
        EXPECT_EQ(p.foundPort, 4);
        EXPECT_EQ(p.rig.bridge().openHandles(), 1u);  // the unit's device was closed again

        std::vector<std::string> box;
        for (const auto& call : p.rig.bridge().calls()) {
            if (call.handle == p.handle && call.name != "open" && call.name != "getComPortNumber") {
                box.push_back(call.text());
            }
        }
        const auto h = std::to_string(p.handle);
        EXPECT_EQ(box, (std::vector<std::string>{"setTimeouts(" + h + ", 100, 100)",
                                                 "setBaudRate(" + h + ", 115200)", "purge(" + h + ", 1)",
                                                 "write(" + h + ", 1, 1)", "read(" + h + ", 256, 33)"}));
        (void)p.rig.bridge().close(p.handle);
    }
}

}  // namespace
}  // namespace corvane
