// The connection window's steps against the simulated bench, on a clock
// that moves by itself: connecting, the warm-up countdown and its skip, the
// DE-1 box found instead of the unit, Retry, and the move to the upper limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "link/ConnectionFlow.h"
#include "sim/SimRig.h"

namespace corvane {
namespace {

using Lines = std::vector<std::string>;

// The window: every call as a line, and a hook to act on what it shows.
struct Window : ConnectionDisplay {
    Lines lines;
    std::function<void(const std::string&)> onShow = [](const std::string&) {};

    void show(const std::string& line) { lines.push_back(line), onShow(line); }
    void setTitle(const std::string& t) override { show("title: " + t); }
    void setMessage(const std::string& t) override { show("message: " + t); }
    void setContinueCaption(const std::string& t) override { show("caption: " + t); }
    void enableButtons(bool c, bool s) override { show(std::string("buttons: ") + "01"[c] + "01"[s]); }
    void finish(bool ok) override { show(ok ? "finish: OK" : "finish: Cancel"); }
    [[nodiscard]] Lines messages() const {
        Lines out;
        for (const auto& line : lines) {
            line.starts_with("message: ") ? out.push_back(line.substr(9)) : void();
        }
        return out;
    }
    [[nodiscard]] bool showed(const std::string& line) const { return std::ranges::count(lines, line) > 0; }
    [[nodiscard]] bool warmedUp() const {
        return std::ranges::any_of(lines, [](const auto& l) { return l.starts_with("message: Warming"); });
    }
};

// The bench and the main window: it owns the link and the DE-1 box's handle,
// as the acquisition object would. The link runs no heartbeat thread; with
// `toSetupOnFirstHeartbeat` the unit's first heartbeat puts it in setup mode,
// as that thread's first act would.
struct Bench : ConnectionHost, LinkHost, Cmd1Observer {
    test::ManualClock clock;
    SimRig rig;
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    Window window;
    int port = 3;
    Lines calls;
    SampleLock sampleLock;
    std::unique_ptr<UvLink> uvLink;
    BridgeHandle de1 = 0;
    bool reader = false;
    bool toSetupOnFirstHeartbeat = false;
    ConnectionFlow flow{ConnectionSeams{rig.ports(), rig.bridge(), clock, prompter, window, *this},
                        dir.path(), 3, 57600};

    explicit Bench(SimRigConfig config) : rig(clock, std::move(config)) {
        dir.write("prefs.cfg", "[prefs]\ncomport 3\nbaudrate 57600\n");
    }
    ~Bench() override { destroySampleReader(); }
    void connectAndIntroduce() {
        flow.connect();
        ASSERT_EQ(flow.state(), ConnectionState::IntroPending);
        flow.introClosed(IntroChoice{"ada", 0});
    }

    void onCmd1(const Cmd1&) override {
        std::exchange(toSetupOnFirstHeartbeat, false) ? rig.kelvo()->setMode(kModeSetup) : void();
    }
    void createSampleReader(bool useLink, BridgeHandle de1Handle) override {
        calls.push_back(std::string("create ") + (useLink ? "link" : "port") + (de1Handle ? " + DE-1" : ""));
        de1 = de1Handle;
        if (useLink) {
            uvLink = std::make_unique<UvLink>(UvLinkSeams{rig.bridge(), clock, prompter, nullptr, false},
                                              dir.path(), port, 57600, 2, sampleLock);
            uvLink->SetCmd1Observer(this);
        }
        reader = true;
    }
    void destroySampleReader() override {
        reader ? calls.push_back("destroy") : void();
        uvLink.reset();
        de1 ? (void)rig.bridge().close(std::exchange(de1, 0)) : void();
        reader = false;
    }
    bool hasSampleReader() const override { return reader; }
    UvLink* link() override { return uvLink.get(); }
    void setComPort(int comPort) override { port = comPort; }
    LinkHost& linkHost() override { return *this; }
    bool introPending() const override { return true; }
    void showPositionAndSpeed(double, double) override {}
    void setPositionOffset(double) override {}
    double pendingScanDistance() const override { return 0.0; }
    void clearPendingScanDistance() override {}
    bool sendSettings(const Cmd0Bytes&) override { return true; }
};

SimRigConfig Unit(double pistonMm, std::uint8_t powerOnMode = kModeNone) {
    SimRigConfig config;
    config.kelvo.pistonStartMm = pistonMm;
    config.kelvo.powerOnMode = powerOnMode;
    return config;
}

std::string Countdown(int seconds) {
    return "Warming up, time remaining = " + std::to_string(seconds) + " seconds, press any key to skip";
}

TEST(ConnectionFlow, ConnectsCountsTheWarmUpDownAndMovesThePistonOnContinue) {
    Bench b(Unit(12.0));  // just switched on: not in setup mode for its first heartbeat
    b.toSetupOnFirstHeartbeat = true;
    b.flow.connect();
    EXPECT_TRUE(b.rig.bridge().calls().empty());  // the unit answered: no bridge search
    EXPECT_EQ(b.window.lines, (Lines{"buttons: 00", "message: Connecting to Corvane...",
                                     "title: " + connectionTitle(false), "message: Connection established."}));
    b.flow.introClosed(IntroChoice{"ada", 0});

    EXPECT_EQ(b.calls, Lines{"create link"});
    Lines expected{"Connecting to Corvane...", "Connection established."};
    for (int left = 14; left >= 1; --left) {  // one heartbeat came before the first settings packet
        expected.push_back(Countdown(left));
    }
    expected.push_back("Warmup sequence completed.");
    EXPECT_EQ(b.window.messages(), expected);
    EXPECT_TRUE(b.window.showed("title: " + connectionTitle(true)));
    EXPECT_EQ(b.window.lines.back(), "title: " + connectionTitle(false));
    EXPECT_EQ(b.uvLink->heartbeatsReceived(), 15);

    b.window.lines.clear();
    b.flow.pressContinue();  // piston 12 mm down: it goes up, the window stays
    EXPECT_EQ(b.window.messages(),
              (Lines{"Moving piston to upper limit switch...", "Piston positioned to upper limit."}));
    EXPECT_TRUE(b.rig.kelvo()->atUpperLimit());
    EXPECT_FALSE(b.flow.result());
    b.flow.pressContinue();
    EXPECT_EQ(b.flow.result(), true);
    EXPECT_EQ(b.prompter.unscripted(), 0);
}

TEST(ConnectionFlow, AUnitInSetupModeAfterOneSecondNeedsNoWarmUp) {
    Bench b(Unit(0.0, kModeSetup));
    b.connectAndIntroduce();
    EXPECT_EQ(b.flow.result(), true);
    EXPECT_FALSE(b.window.warmedUp());
    EXPECT_FALSE(b.window.showed("title: " + connectionTitle(true)));
}

TEST(ConnectionFlow, AKeySkipsTheWarmUpOnlyOnceASettingsPacketHasArrived) {
    Bench b(Unit(0.0));
    b.toSetupOnFirstHeartbeat = true;
    b.window.onShow = [&](const std::string& line) {
        // The first press comes before the countdown shows: dropped.
        if (line == "title: " + connectionTitle(true) || line == "message: " + Countdown(12)) {
            b.flow.keyPressed();
        }
    };
    b.connectAndIntroduce();
    EXPECT_EQ(b.flow.result(), true);
    EXPECT_EQ(b.window.messages().back(), Countdown(12));
    EXPECT_EQ(b.window.lines[b.window.lines.size() - 2], "title: " + connectionTitle(false));
}

TEST(ConnectionFlow, ADe1BoxOnAnotherPortConnectsRewritesTheComPortAndSkipsTheWarmUp) {
    SimRigConfig boxOnly;
    boxOnly.withKelvo = false;
    boxOnly.withDe1 = true;
    Bench b(boxOnly);
    b.connectAndIntroduce();
    EXPECT_EQ(b.port, 4);
    const ConfigFile prefs(b.dir / "prefs.cfg");
    EXPECT_EQ(prefs.getInt("[prefs]", "comport"), 4);
    EXPECT_EQ(prefs.getInt("[prefs]", "baudrate"), 57600);
    EXPECT_EQ(b.calls, Lines{"create link + DE-1"});
    EXPECT_EQ(b.flow.result(), true);
    EXPECT_FALSE(b.uvLink->connected());  // the box is held: no unit behind the port
    EXPECT_EQ(b.rig.bridge().openHandles(), 1u);
    EXPECT_FALSE(b.window.warmedUp());
}

TEST(ConnectionFlow, RetryAfterAFailureTriesAgainWithThePlainPortMeanwhile) {
    Bench b(Unit(0.0, kModeSetup));
    b.rig.kelvo()->setFaults(SimFaults{.silent = true});
    b.flow.connect();
    EXPECT_EQ(b.flow.state(), ConnectionState::Failed);
    EXPECT_EQ(b.window.lines, (Lines{"buttons: 00", "message: Connecting to Corvane...",
                                     "title: " + connectionTitle(false), "message: Connection failed:",
                                     "caption: Retry", "buttons: 11"}));
    b.flow.pressContinue();  // still silent
    EXPECT_EQ(b.calls, Lines{"create port"});

    b.rig.kelvo()->setFaults(SimFaults{});
    b.flow.pressContinue();
    EXPECT_EQ(b.calls, (Lines{"create port", "destroy", "create link"}));
    EXPECT_EQ(b.flow.state(), ConnectionState::IntroPending);
    EXPECT_TRUE(b.window.showed("caption: Continue"));
    b.flow.introClosed(IntroChoice{"ada", 0});
    EXPECT_EQ(b.flow.result(), true);
}

TEST(ConnectionFlow, APistonThatDoesNotReachTheUpperLimitIsReportedAndContinueMayBePressedAgain) {
    Bench b(Unit(20.0, kModeSetup));
    b.rig.kelvo()->setFaults(SimFaults{.ignoreKeys = true});
    b.connectAndIntroduce();  // in setup mode at once: straight on to the move
    EXPECT_FALSE(b.flow.result());
    EXPECT_EQ(b.window.messages().back(), "Could not get piston to upper limit switch.");
    EXPECT_EQ(b.prompter.texts().back(), "Error, could not get piston to upper limit switch.");
    EXPECT_EQ(b.window.lines[b.window.lines.size() - 2], "buttons: 11");

    b.rig.kelvo()->setFaults(SimFaults{});
    b.flow.pressContinue();
    EXPECT_EQ(b.window.messages().back(), "Piston positioned to upper limit.");
    b.flow.pressContinue();
    EXPECT_EQ(b.flow.result(), true);
}

}  // namespace
}  // namespace corvane
