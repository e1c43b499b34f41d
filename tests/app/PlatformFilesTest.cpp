// What the file seams promise on every system, so the Windows back ends
// (ReplaceFileW and MoveFileExW, LockFileEx, named mutexes) are held to the
// same rules as the POSIX ones: a rewrite is whole or nothing and leaves no
// work file, a file being written is known as such and never cleared away,
// a new file never takes the place of an existing one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "TempDir.h"
#include "app/ConfigFile.h"
#include "app/FileReplace.h"
#include "app/SingleInstanceGuard.h"
#include "base/FileHandle.h"
#include "base/WriterLock.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using test::namesIn;
using test::TempDir;

// What the platform's text mode writes for "\n".
#ifdef _WIN32
constexpr const char* kLineEnd = "\r\n";
#else
constexpr const char* kLineEnd = "\n";
#endif

void age(const std::filesystem::path& path) {
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1));
}

TEST(PlatformFiles, ARewriteIsWholeLeavesNoWorkFileAndReachesAReaderHoldingTheOldFile) {
    TempDir dir;
    const auto prefs = dir.write("prefs.cfg", "[prefs]\nk 1\n");
    age(prefs);
    auto reader = openRegularFile(prefs);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(replaceFile(prefs, "[prefs]\nk 2\n")) << "a reader holding the file does not stop it";
    EXPECT_EQ(test::readBytes(prefs), "[prefs]\nk 2\n");
    char old[16] = {};
    EXPECT_EQ(std::fread(old, 1, sizeof old - 1, reader.get()), 12u);
    EXPECT_STREQ(old, "[prefs]\nk 1\n") << "what was open reads as it was";
    // On Windows the old file may keep a work file's name while the reader
    // holds it; once let go, the next replacement in the folder clears it.
    reader.reset();

    ASSERT_TRUE(replaceFile(dir / "new.cfg", "made\n"));
    EXPECT_EQ(test::readBytes(dir / "new.cfg"), "made\n");
    EXPECT_FALSE(replaceFile(dir / "no such folder" / "x.cfg", "x\n"));
    EXPECT_THAT(namesIn(dir.path()), ElementsAre("new.cfg", "prefs.cfg"));
}

TEST(PlatformFiles, ReadOnlyFilesAndFoldersAreRefusedAndLeftAsTheyWere) {
    TempDir dir;
    const auto locked = dir.write("prefs.cfg", "[prefs]\nk 1\n");
    // No write permission for anyone: the read-only attribute on Windows.
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    EXPECT_EQ(replaceProblem(locked), "Error, the file is read-only; it was not changed: " + locked.string());
    EXPECT_FALSE(replaceFile(locked, "changed\n"));
    {
        ConfigFile file(locked);
        ASSERT_TRUE(file.isOpen());
        file.setInt("[prefs]", "k", 2);
        EXPECT_EQ(file.save(), -1) << "the write is refused";
    }
    EXPECT_EQ(test::readFile(locked), "[prefs]\nk 1\n");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);

    const auto folder = dir / "Users";
    std::filesystem::create_directory(folder);
    EXPECT_EQ(replaceProblem(folder),
              "Error, not a regular file (a folder, a device or a pipe); it was not changed: " + folder.string());
    EXPECT_FALSE(readWholeFile(folder, 1024).has_value());
    EXPECT_FALSE(openRegularFile(folder));
    EXPECT_EQ(fileKindOf(folder), FileKind::Folder);
    EXPECT_EQ(fileKindOf(locked), FileKind::Regular);
    EXPECT_EQ(fileKindOf(dir / "none"), FileKind::Missing);
}

TEST(PlatformFiles, AFinishedFileTakesThePlaceOfAnotherOrOfNone) {
    TempDir dir;
    const auto run = dir.write("run.csv", "old\n");
    auto replacement = createReplacement(run);
    ASSERT_FALSE(replacement.path.empty());
    std::fputs("new\nrows\n", replacement.file.get());
    ASSERT_EQ(std::fclose(replacement.file.release()), 0);
    std::error_code error;
    ASSERT_TRUE(replaceFileWith(run, replacement.path, error)) << error.message();
    EXPECT_EQ(test::readBytes(run), std::string("new") + kLineEnd + "rows" + kLineEnd)
        << "written in the platform's text mode";

    // A name that must not exist yet is never taken from another file.
    const auto first = dir.write("a.part", "first\n");
    const auto second = dir.write("b.part", "second\n");
    ASSERT_TRUE(placeNewFile(first, dir / "saved.csv", error)) << error.message();
    EXPECT_FALSE(placeNewFile(second, dir / "saved.csv", error));
    EXPECT_EQ(error, std::errc::file_exists);
    EXPECT_EQ(dir.read("saved.csv"), "first\n");
    EXPECT_THAT(namesIn(dir.path()), ElementsAre("b.part", "run.csv", "saved.csv"));
}

TEST(PlatformFiles, ExclusiveCreateSyncAndStamps) {
    TempDir dir;
    const auto path = dir / "new.csv";
    auto file = openFile(path, "wbxe");
    ASSERT_TRUE(file);
    EXPECT_FALSE(openFile(path, "wbx"));
    EXPECT_EQ(errno, EEXIST);
    const auto before = stampOf(file.get());
    ASSERT_TRUE(before);
    EXPECT_EQ(before->size, 0u);
    std::fputs("row\n", file.get());
    EXPECT_TRUE(syncToDisk(file.get()));
    const auto after = stampOf(file.get());
    ASSERT_TRUE(after);
    EXPECT_EQ(after->size, 4u) << "binary mode: the bytes as written";
    EXPECT_NE(*before, *after);
}

TEST(PlatformFiles, AFileBeingWrittenIsKnownAsSuchAndStaysReadable) {
    TempDir dir;
    const auto path = dir / "temp_run.csv";
    {
        auto writer = openFile(path, "ab");
        ASSERT_TRUE(writer);
        ASSERT_TRUE(claimForWriting(writer.get()));
        std::fputs("row 1\n", writer.get());
        std::fflush(writer.get());
        EXPECT_TRUE(isBeingWritten(path));
        auto second = openFile(path, "ab");
        EXPECT_FALSE(claimForWriting(second.get())) << "one writer at a time";
        EXPECT_EQ(readWholeFile(path, 1024).value_or(""), "row 1\n") << "the mark blocks no reader";
        EXPECT_FALSE(removeIfAbandoned(path));
        const EditLock edit(path, 20);
        EXPECT_FALSE(edit.held()) << "an edit waits for the writer, then goes on without";
    }
    EXPECT_FALSE(isBeingWritten(path)) << "the mark goes with the writer's handle";
    EXPECT_TRUE(EditLock(path, 0).held());
}

TEST(PlatformFiles, LeftoversOfAKilledRewriteGoButNeverOneBeingWrittenOrTheUsers) {
    TempDir dir;
    const auto prefs = dir.write("prefs.cfg", "[prefs]\n");
    const auto leftover = dir.write(".prefs.cfg.replacing-AbC123", "[prefs]\nhalf");
    const auto busy = dir.write(".prefs.cfg.replacing-XyZ789", "[prefs]\n");
    const auto fresh = dir.write(".prefs.cfg.replacing-Fresh1", "");
    const auto users = dir.write(".prefs.cfg.backup", "[prefs]\nmine\n");
    // A killed rewrite of another file in the folder, which may never be
    // rewritten again, and names that only look like work files.
    const auto other = dir.write(".other.cfg.replacing-AbC123", "");
    const auto shortName = dir.write(".other.cfg.replacing-AbC12", "");
    const auto visible = dir.write("other.cfg.replacing-AbC123", "");
    for (const auto& file : {leftover, busy, users, other, shortName, visible}) {
        age(file);
    }
    const auto writer = openFile(busy, "ab");
    ASSERT_TRUE(claimForWriting(writer.get()));

    ASSERT_TRUE(replaceFile(prefs, "[prefs]\nk 1\n"));
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_TRUE(std::filesystem::exists(busy)) << "another process is still writing it";
    EXPECT_TRUE(std::filesystem::exists(fresh)) << "may have been created a moment ago";
    EXPECT_TRUE(std::filesystem::exists(users));
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_TRUE(std::filesystem::exists(shortName));
    EXPECT_TRUE(std::filesystem::exists(visible));
}

TEST(PlatformFiles, OneGuardPerNameAndFolderUntilItGoes) {
    TempDir dir;
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
