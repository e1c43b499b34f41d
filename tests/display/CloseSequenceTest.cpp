// Closing the main window, turn by turn, on every path: no link, a link
// that is idle, a recording with its save question, the exit confirmed on
// the INTRO page, the answer No, a device job still running.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "MainWindowFakes.h"
#include "ScriptedPrompter.h"
#include "display/CloseSequence.h"
#include "recording/DeviceJobs.h"

namespace corvane {
namespace {

using test::FakeRecording;
using test::FakeSession;
using test::ScriptedPrompter;

constexpr const char* kAskedYes = "question: Are you sure you wish to exit? -> Yes";

class Closing : public ::testing::Test {
protected:
    Closing() {
        closing.bind(&recording, &session);
        closing.setHooks({[this] { ++aborts; }, [this] { ++resumes; }, [this] { ++modelessGone; }});
    }

    // Turns until the sequence stops asking for more, the way the window
    // does: again after a job has ended, again on a reposted close.
    CloseStep closeUntilSettled() {
        for (;;) {
            const CloseStep step = closing.turn();
            if (step == CloseStep::WaitForJob) {
                waitForJobs();
                continue;
            }
            if (step != CloseStep::RepostClose) {
                return step;
            }
        }
    }
    void waitForJobs() {
        std::unique_lock lock(mutex_);
        ended_.wait(lock, [this] { return !jobs.busy(); });
    }

    ScriptedPrompter prompter;
    FakeRecording recording;
    FakeSession session;
    std::mutex mutex_;
    std::condition_variable ended_;
    DeviceJobs jobs{[this] {
        const std::scoped_lock lock(mutex_);
        ended_.notify_all();
    }};
    CloseSequence closing{prompter, jobs};
    int aborts = 0;
    int resumes = 0;
    int modelessGone = 0;
};

TEST_F(Closing, WithoutALinkTheWindowClosesWithoutAQuestion) {
    EXPECT_EQ(closing.turn(), CloseStep::Close);
    EXPECT_TRUE(prompter.transcript().empty());
    EXPECT_EQ(session.stops, 1);
    EXPECT_EQ(session.destroyed, 1);
    EXPECT_TRUE(jobs.closed());  // no job starts on what is going
    EXPECT_EQ(modelessGone, 1);
}

TEST_F(Closing, AnIdleLinkAsksOnceThenWaitsForTheReceiveThread) {
    session.active = true;
    session.threadTurnsLeft = 2;
    prompter.answerYes();
    EXPECT_EQ(closing.turn(), CloseStep::RepostClose);
    EXPECT_EQ(session.stops, 1);
    EXPECT_EQ(closing.turn(), CloseStep::RepostClose);
    EXPECT_EQ(closing.turn(), CloseStep::Close);
    EXPECT_EQ(prompter.transcript(), std::vector<std::string>{kAskedYes});
    EXPECT_EQ(session.destroyed, 1);
    EXPECT_EQ(aborts, 1);
}

TEST_F(Closing, NoLeavesTheLinkAndTheRecordingRunning) {
    session.active = true;
    recording.recording = true;
    prompter.answerNo();
    EXPECT_EQ(closing.turn(), CloseStep::Stay);
    EXPECT_EQ(prompter.unscripted(), 0);
    EXPECT_TRUE(session.active);
    EXPECT_TRUE(recording.recording);
    EXPECT_EQ(session.stops, 0);
    EXPECT_EQ(recording.stops, 0);
    EXPECT_EQ(aborts, 0);
    EXPECT_EQ(modelessGone, 0);
    EXPECT_FALSE(jobs.closed());
    // The next close asks again.
    prompter.answerYes();
    EXPECT_EQ(closeUntilSettled(), CloseStep::Close);
    EXPECT_EQ(prompter.transcript().back(), kAskedYes);
}

TEST_F(Closing, ARunningRecordingIsStoppedAfterTheYesWithItsSaveQuestion) {
    session.active = true;
    session.threadTurnsLeft = 1;
    recording.recording = true;
    prompter.answerYes();
    // The stop (and its save question, the controller's) runs on the worker.
    EXPECT_EQ(closing.turn(), CloseStep::WaitForJob);
    EXPECT_TRUE(closing.waitingForJob());
    EXPECT_EQ(prompter.transcript(), std::vector<std::string>{kAskedYes});
    waitForJobs();
    EXPECT_EQ(recording.stops, 1);
    EXPECT_EQ(session.stops, 0);  // the link outlives the stop of its run
    EXPECT_EQ(closeUntilSettled(), CloseStep::Close);
    EXPECT_EQ(recording.stops, 1);
    EXPECT_FALSE(session.active);
    EXPECT_EQ(session.destroyed, 1);
    EXPECT_EQ(prompter.transcript().size(), 1u);
}

TEST_F(Closing, AnExitConfirmedOnTheIntroPageIsNotAskedAgain) {
    session.active = true;
    closing.setExitConfirmed();
    EXPECT_EQ(closeUntilSettled(), CloseStep::Close);
    EXPECT_TRUE(prompter.transcript().empty());
    EXPECT_EQ(session.stops, 1);
}

TEST_F(Closing, AJobThatRunsIsWaitedForAndLongWorkIsAskedToEnd) {
    std::mutex gate;
    std::condition_variable opened;
    bool open = false;
    ASSERT_TRUE(jobs.submit([&] {
        std::unique_lock lock(gate);
        opened.wait(lock, [&] { return open; });
    }));
    EXPECT_EQ(closing.turn(), CloseStep::WaitForJob);
    EXPECT_EQ(aborts, 1);  // a warm-up or a meniscus search ends at once
    EXPECT_EQ(session.stops, 0);
    EXPECT_EQ(closing.turn(), CloseStep::WaitForJob);
    EXPECT_EQ(aborts, 1);
    {
        const std::scoped_lock lock(gate);
        open = true;
    }
    opened.notify_all();
    waitForJobs();
    EXPECT_EQ(closing.turn(), CloseStep::Close);
    EXPECT_EQ(session.stops, 1);
}

TEST_F(Closing, ALinkThatMayNotCloseKeepsTheWindowAndEverythingResumes) {
    session.active = true;
    session.mayCloseNow = false;
    prompter.answerYes();
    EXPECT_EQ(closing.turn(), CloseStep::Stay);
    EXPECT_EQ(resumes, 1);
    EXPECT_FALSE(jobs.closed());
    EXPECT_FALSE(closing.started());
    EXPECT_EQ(session.stops, 0);
}

}  // namespace
}  // namespace corvane
