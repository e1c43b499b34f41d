// The heartbeat thread with an acquisition loop beside it, on a clock ten
// times faster than real time or on one that moves only while every thread
// waits. Assertions are about orders and counts: beats per clock second, and
// the limits a user would notice (a close that waits out a key press, a
// reader stalled past the silence limit).
#include <gtest/gtest.h>

#include <any>
#include <condition_variable>
#include <mutex>
#include <chrono>
#include <cstdint>
#include <thread>

#include "LinkTestSupport.h"
#include "TestClocks.h"
#include "VirtualClock.h"

namespace corvane {
namespace {

using test::AcquisitionLoop;
using test::LinkBench;
using test::ScaledClock;

constexpr double kSpeedup = 10.0;
// What the acquisition side treats as a lost link.
constexpr std::int64_t kSilenceLimitMs = 10000;

std::vector<LinkStats> postedStats(const test::RecordingPoster& poster) {
    std::vector<LinkStats> stats;
    for (const auto& m : poster.messages()) {
        if (m.msg == UserMsg::LinkStats) {
            stats.push_back(std::any_cast<LinkStats>(m.payload));
        }
    }
    return stats;
}

// Waits in real time for something the link does on its own threads.
template <class Pred>
bool eventually(Pred pred, std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(HeartbeatThread, SetupFirstThenAHeartbeatAtOnceAndEverySecondWithStatsPostedByValue) {
    // Time moves only while the link's threads and the loop all wait, so the
    // beats keep their period however busy the machine is.
    test::VirtualClock clock;
    LinkBench bench(clock);
    auto& link = bench.open(true);
    {
        AcquisitionLoop loop(link, clock);
        ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkStats, 6, std::chrono::seconds(20)));
    }
    bench.close();

    const auto& bridge = bench.rig.bridge();
    const auto beats = test::HeartbeatTimes(bridge);
    ASSERT_GE(beats.size(), 6u);
    // One beat in each clock second from the first: the period runs from the
    // moment the thread decides to beat, so a beat that waits for the write
    // lock still falls in its own second and does not move the next one.
    for (std::size_t i = 1; i < beats.size(); ++i) {
        EXPECT_EQ((beats[i] - beats.front()) / UvLink::kHeartbeatPeriodMs, static_cast<std::int64_t>(i))
            << "beat " << i;
    }
    // The thread's first act was to bring the unit to setup mode.
    const auto keyWrites = bridge.callsNamed("write");
    ASSERT_FALSE(keyWrites.empty());
    EXPECT_EQ(keyWrites[2].data[0], 1);
    EXPECT_LT(keyWrites[2].atMs, beats.front());
    EXPECT_EQ(bench.rig.kelvo()->pcHeartbeatsReceived(), static_cast<int>(beats.size()));

    // Each turn sends one heartbeat before it posts: the n-th block counts n.
    const auto stats = postedStats(bench.poster);
    for (std::size_t i = 0; i < stats.size(); ++i) {
        EXPECT_EQ(stats[i].heartbeatsTransmitted, static_cast<std::int32_t>(i + 1));
    }
    EXPECT_GT(stats.back().heartbeatsReceived, 3);
    EXPECT_EQ(stats.back().upperLimit, 1);  // the piston starts away from the switch
    ASSERT_TRUE(stats.back().lastCmd0);
    EXPECT_EQ(stats.back().lastCmd0->ucATODGain, 4);
}

TEST(HeartbeatThread, WarmUpIsPostedOnceAtTheFifteenthHeartbeatUnlessRecordingStarted) {
    for (const bool recording : {false, true}) {
        ScaledClock clock(kSpeedup);
        LinkBench bench(clock);
        auto& link = bench.open(true);
        link.SetRecordingStarted(recording);
        {
            AcquisitionLoop loop(link, clock);
            ASSERT_TRUE(eventually([&] { return link.heartbeatsReceived() >= 17; }));
        }
        bench.close();
        const auto messages = bench.poster.messages();
        const auto warm = std::find_if(messages.begin(), messages.end(),
                                       [](const auto& m) { return m.msg == UserMsg::WarmedUp; });
        if (recording) {
            EXPECT_EQ(warm, messages.end());
            continue;
        }
        ASSERT_NE(warm, messages.end());
        EXPECT_EQ(bench.poster.count(UserMsg::WarmedUp), 1);
        // The blocks around it count up to and past fifteen.
        const auto before = std::find_if(std::make_reverse_iterator(warm), messages.rend(),
                                         [](const auto& m) { return m.msg == UserMsg::LinkStats; });
        ASSERT_NE(before, messages.rend());
        EXPECT_LT(std::any_cast<LinkStats>(before->payload).heartbeatsReceived, 15);
    }
}

TEST(HeartbeatThread, WithoutABridgeTheThreadRunsOnAndTheLinkClosesPromptly) {
    ScaledClock clock(kSpeedup);
    SimRigConfig config;
    config.withKelvo = false;
    LinkBench bench(clock, config);
    auto& link = bench.open(true);
    EXPECT_FALSE(link.connected());
    ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkStats, 3, std::chrono::seconds(20)));
    const auto startMs = clock.nowMs();
    bench.close();
    EXPECT_LT(clock.nowMs() - startMs, UvLink::kHeartbeatPeriodMs * 2);

    for (const auto& stats : postedStats(bench.poster)) {
        EXPECT_EQ(stats.heartbeatsTransmitted, 0);
        EXPECT_EQ(stats.heartbeatsReceived, 0);
    }
    EXPECT_EQ(bench.poster.count(UserMsg::WarmedUp), 0);
    EXPECT_EQ(bench.rig.bridge().calls().size(), 1u);  // the empty listing
    EXPECT_EQ(test::KeyLogLines(bench.folder),
              (std::vector<std::string>{"entering setup mode.", "no current heartbeat"}));
}

TEST(HeartbeatThread, ClosingDuringAnUnansweredKeyPressDoesNotWaitItOut) {
    ScaledClock clock(kSpeedup);
    LinkBench bench(clock);
    auto& link = bench.open(true);
    ASSERT_TRUE(eventually([&] { return link.InSetupMode(0); }));
    bench.rig.kelvo()->setFaults(SimFaults{.ignoreKeys = true});

    std::atomic<bool> pressed{true};
    std::jthread presser([&] { pressed = link.PressKey(3); });
    ASSERT_TRUE(eventually([&] { return !test::KeysWritten(bench.rig.bridge()).empty() &&
                                        test::KeysWritten(bench.rig.bridge()).back() == 3; }));
    const auto startMs = clock.nowMs();
    bench.close();
    EXPECT_LT(clock.nowMs() - startMs, UvLink::kKeyAckMs);
    presser.join();
    EXPECT_FALSE(pressed);
    EXPECT_TRUE(bench.prompter.transcript().empty());
}

TEST(HeartbeatThread, KeyRequestFirmwareMismatchAndSettingsChangeWhileSamplesStream) {
    ScaledClock clock(kSpeedup);
    SimRigConfig config;
    config.kelvo.menuVersion = 12;
    LinkBench bench(clock, config);
    auto& link = bench.open(true);
    auto& unit = *bench.rig.kelvo();
    {
        AcquisitionLoop loop(link, clock);
        ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkStats, 3, std::chrono::seconds(20)));
        const int before = loop.packets();
        unit.requestKey1();
        ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkStats, 8, std::chrono::seconds(20)));
        // The answer was pressed from the heartbeat thread; the user-side
        // thread changes a setting through the heartbeat thread meanwhile.
        EXPECT_TRUE(link.SetPcPot(6));
        ASSERT_TRUE(bench.poster.waitFor(UserMsg::LinkStats, 12, std::chrono::seconds(20)));

        EXPECT_GT(loop.packets(), before + 20);
        EXPECT_LT(loop.longestGapMs(), kSilenceLimitMs);
    }
    bench.close();
    EXPECT_EQ(unit.acceptedKeys(), (std::vector<std::uint8_t>{1, 1}));  // setup entry, then the answer
    EXPECT_EQ(unit.settings().ucATODGain, 6);
    EXPECT_EQ(bench.prompter.transcript(),
              (std::vector<std::string>{
                  "notify: Warning: Tellmar software should be upgraded to match UV firmware!"}));
}

// A heartbeat thread that cannot run (a loaded machine) while a reader
// drains a backlog from the bridge: the reader waits for it instead of
// pushing unparsed heartbeats out of the ring.
TEST(HeartbeatThread, AReaderDrainingABacklogWaitsForTheHeartbeatParse) {
    // The window's queue: its first post holds the heartbeat thread.
    struct StallingWindow : WindowPoster {
        void post(UserMsg, std::int64_t, std::int64_t, std::any) override {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !held; });
        }
        void release() {
            {
                const std::scoped_lock lock(mutex);
                held = false;
            }
            changed.notify_all();
        }
        std::mutex mutex;
        std::condition_variable changed;
        bool held = true;
    };
    test::VirtualClock clock;
    SimRigConfig config;
    config.kelvo.powerOnMode = kModeSetup;
    LinkBench bench(clock, config);
    StallingWindow window;
    UvLink link(UvLinkSeams{bench.rig.bridge(), clock, bench.prompter, &window, true},
                bench.folder.path(), 3, 57600, 2, bench.sampleLock);
    auto& unit = *bench.rig.kelvo();
    // Four seconds of the settings stream, far more than the ring, wait in
    // the bridge.
    clock.sleepMs(4000);
    for (int i = 0; i < 200; ++i) {
        (void)link.ReadStreamedPacket();
    }
    EXPECT_EQ(link.traffic().droppedBytes, 0u);
    EXPECT_GT(unit.pendingBytes(), 0u);

    window.release();
    for (const Deadline d(clock, 3000); !d.expired();) {
        if (!link.ReadStreamedPacket()) {
            clock.sleepMs(1);
        }
    }
    EXPECT_EQ(link.traffic().droppedBytes, 0u);
    const auto beats = unit.packetsSent(SimKelvoUnit::PacketKind::Heartbeat).sent;
    EXPECT_GE(static_cast<std::uint64_t>(link.heartbeatsReceived()) + 1, beats);
}

}  // namespace
}  // namespace corvane
