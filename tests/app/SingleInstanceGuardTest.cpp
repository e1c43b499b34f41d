#include <gtest/gtest.h>

#include <string>

#include "ChildProcess.h"
#include "TempDir.h"
#include "app/SingleInstanceGuard.h"

namespace corvane {
namespace {

const std::string kHolder = std::string(CORVANE_BINARY_DIR) + "/tests/app/corvane_guard_holder";

// A process that holds the guard of the folder until killed.
test::ChildProcess holder(const test::TempDir& dir) { return test::ChildProcess({kHolder, dir.str()}); }

// (PlatformFilesTest.cpp holds the guard within one process, on every system.)
TEST(SingleInstanceGuard, ASecondCopyIsRefusedUntilTheFirstDiesEvenByKill9) {
    test::TempDir dir;
    auto first = holder(dir);
    ASSERT_EQ(first.readLine(), "held");

    EXPECT_FALSE(SingleInstanceGuard::claim(dir.path())) << "this process is refused too";
    auto second = holder(dir);
    EXPECT_EQ(second.readLine(), "");
    EXPECT_EQ(second.wait(), 3);

    first.kill();
    auto third = holder(dir);
    EXPECT_EQ(third.readLine(), "held") << "a killed holder never blocks the next start";
}

}  // namespace
}  // namespace corvane
