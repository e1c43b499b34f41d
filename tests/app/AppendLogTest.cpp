#include <gtest/gtest.h>

#include <thread>
#include <vector>

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
    std::tm now = at(2024, 3, 7, 9, 5, 2);
    AppendLog log(dir / "pressKeyLog.txt", [&] { return now; });
    ASSERT_TRUE(log.append("ucKey = 5\n"));
    now = at(2024, 12, 31, 23, 59, 59);
    ASSERT_TRUE(log.append("no kelvo response.\n"));
    ASSERT_TRUE(log.append("text without a line end"));
    EXPECT_EQ(dir.read("pressKeyLog.txt"),
              "2024-03-07   09:05:02\nucKey = 5\n"
              "2024-12-31   23:59:59\nno kelvo response.\n"
              "2024-12-31   23:59:59\ntext without a line end");
}

TEST(AppendLog, KeepsWhatIsThereAndKeepsConcurrentEntriesWhole) {
    test::TempDir dir;
    dir.write("pressKeyLog.txt", "older\n");
    AppendLog log(dir / "pressKeyLog.txt", [] { return at(2024, 1, 1, 0, 0, 0); });
    constexpr int kPerThread = 200;
    std::vector<std::thread> writers;
    for (const char* text : {"entering setup mode.\n", "ucKey = 3\n"}) {
        writers.emplace_back([&log, text] {
            for (int i = 0; i < kPerThread; ++i) {
                log.append(text);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const auto content = dir.read("pressKeyLog.txt");
    ASSERT_TRUE(content.starts_with("older\n"));
    std::size_t entries = 0;
    for (std::size_t pos = 6; pos < content.size(); ++entries) {
        ASSERT_EQ(content.compare(pos, 22, "2024-01-01   00:00:00\n"), 0) << "at byte " << pos;
        pos = content.find('\n', pos + 22) + 1;
    }
    EXPECT_EQ(entries, 2u * kPerThread);
}

TEST(AppendLog, ReportsAFolderThatIsNotThere) {
    test::TempDir dir;
    AppendLog log(dir / "missing" / "pressKeyLog.txt");
    EXPECT_FALSE(log.append("x\n"));
}

}  // namespace
}  // namespace corvane
