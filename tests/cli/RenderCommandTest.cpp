// corvane-cli render as a script calls it: a page file from a run file with
// no display, and clear refusals for what it cannot do.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"

namespace corvane {
namespace {

const std::string kCli = std::string(CORVANE_BINARY_DIR) + "/src/cli/corvane-cli";
const std::string kRuns = std::string(CORVANE_FIXTURES_DIR) + "/runs/";

test::Finished render(std::vector<std::string> args) {
    args.insert(args.begin(), {kCli, "render"});
    return test::runToEnd(std::move(args));
}

std::string head(const std::filesystem::path& path, std::size_t n) { return test::readFile(path).substr(0, n); }

TEST(RenderCommand, WritesEachKindWithoutADisplay) {
    test::TempDir dir;
    // No display at all: the command must bring its own platform.
    unsetenv("DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    const auto png = dir / "page.png";
    const auto done = render({"--x", "mm", "--cursor", "1.0", "--overlay", kRuns + "two_channel.csv", "-o",
                              png.string(), kRuns + "two_channel.csv"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(head(png, 4), "\x89PNG");
    EXPECT_EQ(render({"-o", (dir / "p.PDF").string(), kRuns + "em1.csv"}).exitCode, 0);
    EXPECT_EQ(head(dir / "p.PDF", 5), "%PDF-");
    EXPECT_EQ(render({"--dpi", "300", "--portrait", "-o", (dir / "p.svg").string(), kRuns + "em1.csv"}).exitCode, 0);
    EXPECT_NE(test::readFile(dir / "p.svg").find("<svg"), std::string::npos);
    EXPECT_EQ(render({"-o", (dir / "p.xyz").string(), kRuns + "two_channel.csv"}).exitCode, 0);
    EXPECT_EQ(head(dir / "p.xyz", 2), "BM");
}

TEST(RenderCommand, RefusesWhatItCannotReadWriteOrDo) {
    test::TempDir dir;
    const auto missing = render({"-o", (dir / "a.png").string(), (dir / "nope.csv").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("nope.csv"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.png"));

    const auto notRun = render({"-o", (dir / "a.png").string(), kRuns + "no_header.csv"});
    EXPECT_EQ(notRun.exitCode, 1);

    const auto unwritable = render({"-o", (dir / "no folder" / "a.png").string(), kRuns + "two_channel.csv"});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("corvane-cli render"), std::string::npos);

    const auto compare = render({"--compare", kRuns + "two_channel.csv", "-o", (dir / "c.png").string(),
                                 kRuns + "two_channel.csv"});
    EXPECT_EQ(compare.exitCode, 2);
    EXPECT_NE(compare.err.find("--compare"), std::string::npos);

    EXPECT_EQ(render({"--channels", "absA,bogus", "-o", (dir / "c.png").string(), kRuns + "two_channel.csv"}).exitCode,
              2);
    EXPECT_EQ(render({"--dpi", "0", "-o", (dir / "c.png").string(), kRuns + "two_channel.csv"}).exitCode, 2);
    EXPECT_EQ(render({kRuns + "two_channel.csv"}).exitCode, 2);
}

}  // namespace
}  // namespace corvane
