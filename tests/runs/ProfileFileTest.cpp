#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

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
    // Columns are a plain table's: a .pks file among tables keeps its one signal.
    const auto withColumns = profileFromBytes(pks, "a.pks", {RunChannel::AbsA, "", "3"});
    ASSERT_TRUE(withColumns.profile) << withColumns.error;
    EXPECT_EQ(withColumns.profile->channel, "Val");
}

// What each file would be read as, and a table's columns to choose from,
// told before it is read with a choice (a table whose second column is text
// is read with no choice at all).
TEST(ProfileFile, TellsAFilesFormatAndATablesColumnsWithoutReadingIt) {
    test::TempDir dir;
    const auto profiles = kFixtures / "profiles";
    EXPECT_EQ(profileFormatOf(kFixtures / "runs" / "two_channel.csv"), ProfileFormat::Corvane);
    EXPECT_EQ(profileFormatOf(kFixtures / "runs" / "no_header.csv"), ProfileFormat::Corvane);
    EXPECT_EQ(profileFormatOf(profiles / "statistics.pks"), ProfileFormat::Pks);
    EXPECT_EQ(profileFormatOf(profiles / "fractions.asc"), ProfileFormat::Asc);
    EXPECT_EQ(profileFormatOf(profiles / "utf16.txt"), ProfileFormat::Table);
    const auto notes = dir.write("notes.txt", "just some words\n");
    EXPECT_EQ(profileFormatOf(notes), ProfileFormat::Table) << "refused later, by the table reader";
    EXPECT_EQ(profileFormatOf(dir.path()), std::nullopt);
    EXPECT_EQ(profileFormatOf(dir / "gone.csv"), std::nullopt);
    EXPECT_EQ(profileFormatOf(dir.write("book.xlsx", "PK")), std::nullopt);

    using Names = std::vector<std::string>;
    EXPECT_EQ(tableColumnsOf(profiles / "volume.tsv"), (Names{"Volume (ml)", "A260 (mAU)", "A280 (mAU)"}));
    EXPECT_EQ(tableColumnsOf(profiles / "semicolon_bom.csv"),
              (Names{"Zeit [min]", "Extinktion", "Leitf\xC3\xA4higkeit [mS/cm]"}));
    const auto commented = dir.write("commented.csv", "Time,Note,A254\n0.0,start,0.1\n0.5,,0.2\n1.0,peak,0.9\n");
    EXPECT_EQ(tableColumnsOf(commented), (Names{"Time", "Note", "A254"}));
    EXPECT_FALSE(readProfileFile(commented).profile) << "its second column is text";
    const auto read = readProfileFile(commented, {RunChannel::AbsA, "", "3"});
    ASSERT_TRUE(read.profile) << read.error;
    EXPECT_EQ(read.profile->y, (std::vector<double>{0.1, 0.2, 0.9}));
    EXPECT_EQ(tableColumnsOf(dir.write("bare.txt", "1 2 3 4\n5 6 7 8\n")),
              (Names{"column 1", "column 2", "column 3", "column 4"}));
    for (const auto& other : {kFixtures / "runs" / "two_channel.csv", profiles / "plain.pks", profiles / "fractions.asc",
                              notes, dir / "gone.csv"}) {
        EXPECT_EQ(tableColumnsOf(other), std::nullopt) << other;
    }
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
