// The POSIX side of the rules of every whole-file rewrite: through links,
// never over a read-only file or a device (PlatformFilesTest.cpp has what
// holds on every system).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <iterator>

#include "FullDisk.h"
#include "TempDir.h"
#include "app/ConfigFile.h"
#include "app/FileReplace.h"
#include "base/FileHandle.h"
#include "base/WriterLock.h"

namespace corvane {
namespace {

using test::TempDir;

unsigned modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}


TEST(FileReplace, ALinkIsWrittenThroughAndStaysALink) {
    TempDir dir;
    const auto real = dir.write("data/real.cfg", "old\n");
    ::chmod(real.c_str(), 0640);
    const auto link = dir.path() / "link.cfg";
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(replaceFile(link, "new\n"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::readFile(real), "new\n");
    EXPECT_EQ(modeOf(real), 0640u);

    // A finished file from another file system, put in place the same way.
    const TempDir other;  // in the system's temporary folder
    std::error_code error;
    const auto shm = std::filesystem::path("/dev/shm");
    const auto scratch = std::filesystem::is_directory(shm) ? shm / ("corvane-" + std::to_string(::getpid()))
                                                            : other.path() / "scratch";
    {
        auto out = openFile(scratch, "wb");
        ASSERT_TRUE(out);
        std::fputs("newer\n", out.get());
    }
    EXPECT_TRUE(replaceFileWith(link, scratch, error)) << error.message();
    EXPECT_FALSE(std::filesystem::exists(scratch));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::readFile(real), "newer\n");
    EXPECT_EQ(modeOf(real), 0640u);

    const auto dangling = dir.path() / "dangling.cfg";
    std::filesystem::create_symlink(dir.path() / "nothing.cfg", dangling);
    EXPECT_FALSE(replaceFile(dangling, "x\n"));
    EXPECT_FALSE(replaceProblem(dangling).empty());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "nothing.cfg"));
}

TEST(FileReplace, PipesAreRefusedAndLeftAsTheyWere) {
    TempDir dir;
    // Opening a pipe for reading would wait for a writer that never comes.
    const auto pipe = dir.path() / "pipe.cfg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    EXPECT_FALSE(readWholeFile(pipe, 1024).has_value());
    EXPECT_FALSE(openRegularFile(pipe));
    EXPECT_FALSE(ConfigFile(pipe).isOpen());
    EXPECT_FALSE(replaceProblem(pipe).empty());
    EXPECT_FALSE(replaceFile(pipe, "x\n"));
    EXPECT_EQ(fileKindOf(pipe), FileKind::Other);
}

std::size_t filesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(FileReplace, AWholeFileWriteThatRunsOutOfRoomLeavesTheEarlierFileAndNothingElse) {
    TempDir dir;
    const std::string earlier(4000, 'e');
    const auto page = dir.write("page.svg", earlier);
    std::error_code error;
    {
        const test::FullDisk full(6000);
        EXPECT_FALSE(writeWholeFile(page, std::string(9000, 'n'), ExistingTarget::Replace, error));
        EXPECT_EQ(error, std::errc::file_too_large);
        EXPECT_FALSE(writeWholeFile(dir.path() / "new.svg", std::string(9000, 'n'), ExistingTarget::Keep, error));
    }
    EXPECT_EQ(test::readFile(page), earlier);
    EXPECT_EQ(filesIn(dir.path()), 1U);

    // With room: replaced, or placed where the name is free and only there.
    ASSERT_TRUE(writeWholeFile(page, "new page", ExistingTarget::Replace, error));
    EXPECT_EQ(test::readFile(page), "new page");
    EXPECT_FALSE(writeWholeFile(page, "another", ExistingTarget::Keep, error));
    EXPECT_EQ(error, std::errc::file_exists);
    ASSERT_TRUE(writeWholeFile(dir.path() / "new.svg", "placed", ExistingTarget::Keep, error));
    EXPECT_EQ(modeOf(dir.path() / "new.svg"), 0644U);
    EXPECT_EQ(filesIn(dir.path()), 2U);
}

// A file that is held (a recording) is refused by a replacing write after
// the wait, and is deleted as a copied source only while it is the very
// file that was read, unchanged.
TEST(FileReplace, AHeldOrChangedFileIsNeitherReplacedNorDeleted) {
    TempDir dir;
    const auto run = dir.write("run.csv", "rows\n");
    const auto state = [&] {
        const auto file = openRegularFile(run);
        return fileStateOf(::fileno(file.get()));
    };
    const auto read = state();
    {
        const auto recording = openFile(run, "ab");
        ASSERT_TRUE(claimForWriting(recording.get()));
        const EditLock waited(run, 50);
        EXPECT_TRUE(waited.refused());
        std::error_code error;
        EXPECT_FALSE(writeWholeFile(run, "gone", ExistingTarget::Replace, error));
        EXPECT_EQ(error, std::errc::device_or_resource_busy);
        EXPECT_FALSE(removeIfUnchanged(run, read));
        std::fputs("one more row\n", recording.get());
    }
    EXPECT_EQ(test::readFile(run), "rows\none more row\n");
    EXPECT_FALSE(removeIfUnchanged(run, read)) << "it grew since it was read";
    EXPECT_TRUE(std::filesystem::exists(run));
    EXPECT_TRUE(removeIfUnchanged(run, state()));
    EXPECT_FALSE(std::filesystem::exists(run));
    // A missing file is no refusal: there is nothing to lose.
    EXPECT_FALSE(EditLock(run).refused());
}

}  // namespace
}  // namespace corvane
