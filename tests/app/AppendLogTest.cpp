#include <gtest/gtest.h>

#include "TempDir.h"
#include "app/AppendLog.h"

namespace corvane {
namespace {

std::tm at(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(AppendLog, EachAppendAddsATimestampLineAndTheTextUnchanged) {
    test::TempDir dir;
    dir.write("pressKeyLog.txt", "older\n");
    std::tm now = at(2024, 3, 7, 9, 5, 2);
    AppendLog log(dir / "pressKeyLog.txt", [&] { return now; });
    ASSERT_TRUE(log.append("ucKey = 5\n"));
    now = at(2024, 12, 31, 23, 59, 59);
    ASSERT_TRUE(log.append("no line end"));
    EXPECT_EQ(dir.read("pressKeyLog.txt"),
              "older\n2024-03-07   09:05:02\nucKey = 5\n2024-12-31   23:59:59\nno line end");
    EXPECT_FALSE(AppendLog(dir / "missing" / "log.txt").append("x\n"));
}

}  // namespace
}  // namespace corvane
