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

using test::ManualClock;
using test::ScriptedPrompter;
using test::TempDir;

// The window: every call as a line, and a hook to act on what it shows.
struct Window : ConnectionDisplay {
    std::vector<std::string> lines;
    std::function<void(const std::string&)> onShow;

    void show(const std::string& line) {
        lines.push_back(line);
        if (onShow) {
            onShow(line);
        }
    }
    void setTitle(const std::string& title) override { show("title: " + title); }
    void setMessage(const std::string& text) override { show("message: " + text); }
    void setContinueCaption(const std::string& caption) override { show("caption: " + caption); }
    void enableButtons(bool c, bool s) override {
        show(std::string("buttons: ") + (c ? "1" : "0") + (s ? "1" : "0"));
    }
    void finish(bool ok) override { show(ok ? "finish: OK" : "finish: Cancel"); }

    [[nodiscard]] std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& line : lines) {
            if (line.starts_with("message: ")) {
                out.push_back(line.substr(9));
            }
        }
        return out;
    }
    [[nodiscard]] bool showed(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// The main window: owns the link and the DE-1 box's handle, as the
// acquisition object would. Its link runs no heartbeat thread; when
// `unitToSetupOnFirstHeartbeat` is set, the unit's first heartbeat puts it in
// setup mode, as that thread's first act would.
struct MainWindow : ConnectionHost, LinkHost, Cmd1Observer {
    SimRig& rig;
    Clock& clock;
    Prompter& prompter;
    std::filesystem::path folder;
    int port;
    bool intro = true;
    std::vector<std::string> calls;
    SampleLock sampleLock;
    std::unique_ptr<UvLink> uvLink;
    BridgeHandle de1 = 0;
    bool reader = false;
    bool unitToSetupOnFirstHeartbeat = false;

    MainWindow(SimRig& r, Clock& c, Prompter& p, std::filesystem::path f, int comPort)
        : rig(r), clock(c), prompter(p), folder(std::move(f)), port(comPort) {}
    ~MainWindow() override { destroySampleReader(); }

    void onCmd1(const Cmd1&) override {
        if (std::exchange(unitToSetupOnFirstHeartbeat, false)) {
            rig.kelvo()->setMode(kModeSetup);
        }
    }

    void createSampleReader(bool useLink, BridgeHandle de1Handle) override {
        calls.push_back(std::string("create ") + (useLink ? "link" : "port") +
                        (de1Handle ? " + DE-1" : ""));
        de1 = de1Handle;
        if (useLink) {
            uvLink = std::make_unique<UvLink>(UvLinkSeams{rig.bridge(), clock, prompter, nullptr, false},
                                              folder, port, 57600, 2, sampleLock);
            uvLink->SetCmd1Observer(this);
        }
        reader = true;
    }
    void destroySampleReader() override {
        if (reader) {
            calls.push_back("destroy");
        }
        uvLink.reset();
        if (de1) {
            (void)rig.bridge().close(std::exchange(de1, 0));
        }
        reader = false;
    }
    bool hasSampleReader() const override { return reader; }
    UvLink* link() override { return uvLink.get(); }
    void setComPort(int comPort) override { port = comPort; }
    LinkHost& linkHost() override { return *this; }
    bool introPending() const override { return intro; }

    void showPositionAndSpeed(double, double) override {}
    void setPositionOffset(double) override {}
    double pendingScanDistance() const override { return 0.0; }
    void clearPendingScanDistance() override {}
    bool sendSettings(const Cmd0Bytes&) override { return true; }
};

struct Bench {
    ManualClock clock;
    SimRig rig;
    TempDir dir;
    ScriptedPrompter prompter;
    Window window;
    MainWindow main;
    ConnectionFlow flow;

    explicit Bench(SimRigConfig config)
        : rig(clock, std::move(config)),
          main(rig, clock, prompter, dir.path(), 3),
          flow(ConnectionSeams{rig.ports(), rig.bridge(), clock, prompter, window, main}, dir.path(), 3,
               57600) {
        dir.write("prefs.cfg", "[prefs]\ncomport 3\nbaudrate 57600\n");
    }
    void connectAndIntroduce() {
        flow.connect();
        ASSERT_EQ(flow.state(), ConnectionState::IntroPending);
        flow.introClosed(IntroChoice{"ada", 0});
    }
};

// A unit just switched on: its mode is none until the link's first act puts
// it in setup mode, so its first heartbeats do not report setup mode.
SimRigConfig JustSwitchedOn(double pistonMm = 0.0) {
    SimRigConfig config;
    config.kelvo.pistonStartMm = pistonMm;
    return config;
}

std::string Countdown(int seconds) {
    return "Warming up, time remaining = " + std::to_string(seconds) +
           " seconds, press any key to skip";
}

TEST(ConnectionFlow, AUnitOnTheConfiguredPortConnectsWithoutABridgeSearch) {
    Bench b(JustSwitchedOn());
    b.flow.connect();
    EXPECT_EQ(b.flow.state(), ConnectionState::IntroPending);
    EXPECT_TRUE(b.flow.connected());
    EXPECT_TRUE(b.rig.bridge().calls().empty());
    const std::vector<std::string> expected{"buttons: 00", "message: Connecting to Corvane...",
                                            "title: " + connectionTitle(false),
                                            "message: Connection established."};
    EXPECT_EQ(b.window.lines, expected);
}

TEST(ConnectionFlow, TheWarmUpCountsDownFifteenHeartbeatsThenMovesThePistonOnContinue) {
    Bench b(JustSwitchedOn(12.0));
    b.main.unitToSetupOnFirstHeartbeat = true;
    b.connectAndIntroduce();

    EXPECT_EQ(b.main.calls, std::vector<std::string>{"create link"});
    // One heartbeat came before the first settings packet.
    std::vector<std::string> expected;
    for (int left = 14; left >= 1; --left) {
        expected.push_back(Countdown(left));
    }
    expected.push_back("Warmup sequence completed.");
    auto messages = b.window.messages();
    messages.erase(messages.begin(), messages.begin() + 2);  // connecting, established
    EXPECT_EQ(messages, expected);
    EXPECT_TRUE(b.window.showed("title: " + connectionTitle(true)));
    EXPECT_EQ(b.window.lines.back(), "title: " + connectionTitle(false));
    EXPECT_EQ(b.flow.state(), ConnectionState::Ready);
    EXPECT_EQ(b.main.uvLink->heartbeatsReceived(), 15);
    EXPECT_EQ(b.flow.introChoice()->userName, "ada");

    b.window.lines.clear();
    b.flow.pressContinue();  // piston 12 mm down: it goes up, the window stays
    EXPECT_EQ(b.window.messages(), (std::vector<std::string>{"Moving piston to upper limit switch...",
                                                             "Piston positioned to upper limit."}));
    EXPECT_TRUE(b.rig.kelvo()->atUpperLimit());
    EXPECT_FALSE(b.flow.result());
    b.flow.pressContinue();
    EXPECT_EQ(b.flow.result(), true);
    EXPECT_EQ(b.window.lines.back(), "finish: OK");
    EXPECT_EQ(b.prompter.unscripted(), 0);
}

TEST(ConnectionFlow, AUnitInSetupModeAfterOneSecondNeedsNoWarmUp) {
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeSetup;
    config.kelvo.pistonStartMm = 0.0;
    Bench b(config);
    b.connectAndIntroduce();
    EXPECT_EQ(b.flow.result(), true);
    for (const auto& text : b.window.messages()) {
        EXPECT_FALSE(text.starts_with("Warming up")) << text;
    }
    EXPECT_FALSE(b.window.showed("title: " + connectionTitle(true)));
}

TEST(ConnectionFlow, AKeySkipsTheWarmUpOnlyOnceASettingsPacketHasArrived) {
    Bench b(JustSwitchedOn());
    b.main.unitToSetupOnFirstHeartbeat = true;
    b.window.onShow = [&](const std::string& line) {
        // Pressed before the countdown shows: too early, dropped.
        if (line == "title: " + connectionTitle(true) || line == "message: " + Countdown(12)) {
            b.flow.keyPressed();
        }
    };
    b.connectAndIntroduce();
    EXPECT_EQ(b.flow.result(), true);
    const auto messages = b.window.messages();
    EXPECT_EQ(messages.back(), Countdown(12));
    EXPECT_FALSE(b.window.showed("message: Warmup sequence completed."));
    EXPECT_EQ(b.window.lines[b.window.lines.size() - 2], "title: " + connectionTitle(false));
}

TEST(ConnectionFlow, ADe1BoxOnAnotherPortConnectsRewritesTheComPortAndSkipsTheWarmUp) {
    SimRigConfig config;
    config.withKelvo = false;
    config.withDe1 = true;
    Bench b(config);
    b.connectAndIntroduce();

    EXPECT_TRUE(b.flow.de1Found());
    EXPECT_EQ(b.main.port, 4);
    EXPECT_EQ(ConfigFile(b.dir / "prefs.cfg").getInt("[prefs]", "comport"), 4);
    EXPECT_EQ(ConfigFile(b.dir / "prefs.cfg").getInt("[prefs]", "baudrate"), 57600);
    EXPECT_EQ(b.main.calls, std::vector<std::string>{"create link + DE-1"});
    EXPECT_EQ(b.flow.result(), true);
    EXPECT_NE(b.main.de1, 0u);
    EXPECT_FALSE(b.main.uvLink->connected());  // the box is held: no unit behind the port
    EXPECT_EQ(b.rig.bridge().openHandles(), 1u);
    for (const auto& text : b.window.messages()) {
        EXPECT_FALSE(text.starts_with("Warming up")) << text;
    }
}

TEST(ConnectionFlow, RetryAfterAFailureTriesAgainWithThePlainPortMeanwhile) {
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeSetup;
    config.kelvo.pistonStartMm = 0.0;
    Bench b(config);
    b.rig.kelvo()->setFaults(SimFaults{.silent = true});

    b.flow.connect();
    EXPECT_EQ(b.flow.state(), ConnectionState::Failed);
    EXPECT_EQ(b.window.lines.back(), "buttons: 11");
    EXPECT_TRUE(b.window.showed("caption: Retry"));
    EXPECT_EQ(b.window.messages().back(), "Connection failed:");
    EXPECT_TRUE(b.main.calls.empty());

    b.flow.pressContinue();  // still silent
    EXPECT_EQ(b.flow.state(), ConnectionState::Failed);
    EXPECT_EQ(b.main.calls, std::vector<std::string>{"create port"});

    b.rig.kelvo()->setFaults(SimFaults{});
    b.window.lines.clear();
    b.flow.pressContinue();
    EXPECT_EQ(b.main.calls, (std::vector<std::string>{"create port", "destroy", "create link"}));
    EXPECT_EQ(b.flow.state(), ConnectionState::IntroPending);
    EXPECT_TRUE(b.window.showed("caption: Continue"));
    EXPECT_EQ(b.window.messages().back(), "Connection established.");

    b.flow.introClosed(IntroChoice{"ada", 0});
    EXPECT_EQ(b.flow.result(), true);
}

TEST(ConnectionFlow, APistonThatDoesNotReachTheUpperLimitIsReportedAndContinueMayBePressedAgain) {
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeSetup;
    config.kelvo.pistonStartMm = 20.0;
    Bench b(config);
    b.rig.kelvo()->setFaults(SimFaults{.ignoreKeys = true});
    b.connectAndIntroduce();  // in setup mode at once: straight on to the move

    EXPECT_FALSE(b.flow.result());
    EXPECT_EQ(b.window.messages().back(), "Could not get piston to upper limit switch.");
    EXPECT_EQ(b.prompter.texts().back(), "Error, could not get piston to upper limit switch.");
    EXPECT_EQ(b.window.lines[b.window.lines.size() - 2], "buttons: 11");
    EXPECT_EQ(b.flow.state(), ConnectionState::Ready);

    b.rig.kelvo()->setFaults(SimFaults{});
    b.flow.pressContinue();
    EXPECT_EQ(b.window.messages().back(), "Piston positioned to upper limit.");
    b.flow.pressContinue();
    EXPECT_EQ(b.flow.result(), true);
}

TEST(ConnectionFlow, CancellingTheIntroPageClosesTheWindowWithCancel) {
    Bench b(JustSwitchedOn());
    b.flow.connect();
    b.flow.introClosed(std::nullopt);
    EXPECT_EQ(b.flow.result(), false);
    EXPECT_EQ(b.window.lines.back(), "finish: Cancel");
    EXPECT_TRUE(b.main.calls.empty());
}

}  // namespace
}  // namespace corvane
