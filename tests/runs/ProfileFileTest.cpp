#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "TempDir.h"
#include "runs/ProfileFile.h"

namespace corvane {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(CORVANE_FIXTURES_DIR);

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(ProfileFile, OurRunsComeFirstThenEachFormatByContentOrExtension) {
    const auto run = readProfileFile(kFixtures / "runs" / "two_channel.csv", {RunChannel::AbsB, "", ""});
    ASSERT_TRUE(run.profile) << run.error;
    EXPECT_EQ(run.profile->format, ProfileFormat::Corvane);
    EXPECT_EQ(run.profile->channel, "absB");
    EXPECT_EQ(run.profile->name, "two_channel.csv");
    EXPECT_TRUE(contains(readProfileFile(kFixtures / "runs" / "export.csv").error, "export file of several runs"));
    EXPECT_EQ(readProfileFile(kFixtures / "runs" / "no_header.csv").error, kRunWithoutColumnHeader);

    const struct {
        const char* name;
        ProfileFormat format;
    } fixtures[] = {{"plain.pks", ProfileFormat::Pks},          {"statistics.pks", ProfileFormat::Pks},
                    {"fractions.asc", ProfileFormat::Asc},      {"volume.tsv", ProfileFormat::Table},
                    {"semicolon_bom.csv", ProfileFormat::Table}, {"utf16.txt", ProfileFormat::Table}};
    for (const auto& f : fixtures) {
        const auto read = readProfileFile(kFixtures / "profiles" / f.name);
        ASSERT_TRUE(read.profile) << f.name << ": " << read.error;
        EXPECT_EQ(read.profile->format, f.format) << f.name;
        EXPECT_EQ(read.profile->name, f.name);
    }

    // The content tells a .pks or .asc layout under another name; the name
    // .pks holds a file to that layout.
    test::TempDir dir;
    const std::string pks = test::readFile(kFixtures / "profiles" / "plain.pks");
    const std::string asc = test::readFile(kFixtures / "profiles" / "fractions.asc");
    EXPECT_EQ(profileFromBytes(pks, "export.txt").profile->format, ProfileFormat::Pks);
    EXPECT_EQ(profileFromBytes(asc, "trace.dat").profile->format, ProfileFormat::Asc);
    EXPECT_TRUE(contains(profileFromBytes("a\tb\n1\t2\n3\t4\n", "renamed.pks").error, "not a .pks profile: no .pks header"));
    EXPECT_TRUE(contains(profileFromBytes("x y z\n", "notes.txt").error, "not a table profile: no rows of numbers"));
    EXPECT_TRUE(contains(profileFromBytes(pks, "a.pks", {RunChannel::AbsA, "", "2"}).error,
                         "columns are chosen only in plain tables"));
}

TEST(ProfileFile, RefusesHostileFilesAtOnceWithAMessage) {
    test::TempDir dir;
    EXPECT_EQ(readProfileFile(dir.path()).error, "a folder, not a file");
    EXPECT_EQ(readProfileFile(dir / "gone.pks").error, "no such file");
    EXPECT_TRUE(contains(readProfileFile("/dev/zero").error, "not a regular file"));
    // A pipe with no writer would block a reader that opened it: it is refused unopened.
    ASSERT_EQ(::mkfifo((dir / "pipe.pks").c_str(), 0600), 0);
    EXPECT_TRUE(contains(readProfileFile(dir / "pipe.pks").error, "not a regular file"));

    EXPECT_TRUE(contains(readProfileFile(dir.write("long.txt", "x\t" + std::string(3 << 20, '7'))).error,
                         "line 1 is longer than 1 MB"));
    EXPECT_TRUE(contains(readProfileFile(dir.write("junk.pks", std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10))).error,
                         "binary data"));
    EXPECT_EQ(readProfileFile(dir.write("book.ods", "anything")).error, kSpreadsheetRefusal);
    EXPECT_EQ(readProfileFile(dir.write("book.csv", std::string("PK\x03\x04\x14\0\x06\0", 8))).error,
              kSpreadsheetRefusal);
    EXPECT_EQ(readProfileFile(dir.write("old.txt", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 rest")).error, kSpreadsheetRefusal);
    EXPECT_TRUE(contains(readProfileFile(dir.write("empty.csv", "")).error, "not a table profile"));
}

}  // namespace
}  // namespace corvane
