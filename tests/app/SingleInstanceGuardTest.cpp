#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "TempDir.h"
#include "app/SingleInstanceGuard.h"

extern char** environ;

namespace corvane {
namespace {

const std::string kHolder = std::string(CORVANE_BINARY_DIR) + "/tests/app/corvane_guard_holder";

// A holder process with its standard output on a pipe.
struct Holder {
    pid_t pid = -1;
    int output = -1;

    explicit Holder(const std::filesystem::path& folder) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const std::string folderText = folder.string();
        char* argv[] = {const_cast<char*>(kHolder.c_str()), const_cast<char*>(folderText.c_str()),
                        nullptr};
        if (posix_spawn(&pid, kHolder.c_str(), &actions, nullptr, argv, environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        output = pipeFds[0];
    }
    ~Holder() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (output >= 0) {
            ::close(output);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    // What the holder printed before it ended or blocked: "held\n" or nothing.
    std::string firstLine() const {
        std::string line;
        char c = 0;
        while (::read(output, &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        return line;
    }
    // The exit code once it has ended; -1 if it was killed.
    int exitCode() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void killHard() {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

TEST(SingleInstanceGuard, ASecondCopyIsRefusedUntilTheFirstDiesEvenByKill9) {
    test::TempDir dir;
    Holder first(dir.path());
    ASSERT_EQ(first.firstLine(), "held");

    EXPECT_FALSE(SingleInstanceGuard::claim(dir.path())) << "this process is refused too";
    Holder second(dir.path());
    EXPECT_EQ(second.firstLine(), "");
    EXPECT_EQ(second.exitCode(), 3);

    first.killHard();
    Holder third(dir.path());
    EXPECT_EQ(third.firstLine(), "held") << "a killed holder never blocks the next start";
}

TEST(SingleInstanceGuard, ReleasedWhenTheGuardGoesAndSeparateNamesDoNotMeet) {
    test::TempDir dir;
    {
        auto guard = SingleInstanceGuard::claim(dir.path());
        ASSERT_TRUE(guard);
        EXPECT_FALSE(SingleInstanceGuard::claim(dir.path()));
        EXPECT_TRUE(SingleInstanceGuard::claim(dir.path(), "OTHER_NAME"));
        auto moved = std::move(*guard);
        guard.reset();
        EXPECT_FALSE(SingleInstanceGuard::claim(dir.path())) << "the moved-to guard still holds";
    }
    EXPECT_TRUE(SingleInstanceGuard::claim(dir.path()));
    EXPECT_FALSE(SingleInstanceGuard::claim(dir.path() / "no such folder"));
}

}  // namespace
}  // namespace corvane
