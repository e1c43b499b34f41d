#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <array>
#include <csignal>
#include <thread>

#include "TempDir.h"
#include "app/ConfigFile.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using test::TempDir;

constexpr const char* kPrefs = "[prefs]";

// Applies edit to a store of a file holding before; the bytes on disk after.
template <class Edit>
std::string afterEdit(const std::string& before, Edit edit) {
    TempDir dir;
    const auto path = dir.write("prefs.cfg", before);
    {
        ConfigFile file(path);
        edit(file);
    }
    return test::readFile(path);
}

TEST(ConfigFile, SetsPlaceEntriesWhereTheFileFormatPutsThem) {
    const std::string before = "[prefs]\nbaudrate 9600\ncomport 3\n[other]\nx 1\n";
    EXPECT_EQ(afterEdit(before, [](ConfigFile& f) { f.setInt(kPrefs, "comport", 12); }),
              "[prefs]\nbaudrate 9600\ncomport 12\n[other]\nx 1\n");
    EXPECT_EQ(afterEdit(before, [](ConfigFile& f) { f.setInt(kPrefs, "x", 5); }),
              "[prefs]\nx 5\nbaudrate 9600\ncomport 3\n[other]\nx 1\n")
        << "a key only a later section has is added first in this one";
    EXPECT_EQ(afterEdit(before, [](ConfigFile& f) { f.setInt("[new]", "k", -4); }),
              before + "[new]\nk -4\n");
    EXPECT_EQ(afterEdit("[prefs]\n\n\nb 1\n", [](ConfigFile& f) { f.setString(kPrefs, "u", "Ann"); }),
              "[prefs]\n\n\nu Ann\nb 1\n");
    EXPECT_EQ(afterEdit("[prefs] \nb 1\n", [](ConfigFile& f) { f.setInt(kPrefs, "b", 2); }),
              "[prefs] \nb 1\n[prefs]\nb 2\n")
        << "a header with a trailing blank is not the section";
}

TEST(ConfigFile, WritesEachTypeInItsOwnFormat) {
    const auto after = afterEdit("[prefs]\n", [](ConfigFile& f) {
        const std::array ints{1, -2, 30};
        const std::array doubles{1.5, -2.0};
        EXPECT_TRUE(f.setDouble(kPrefs, "range", 500.0));
        EXPECT_TRUE(f.setString(kPrefs, "lastuser", "Ann  Lee "));
        EXPECT_TRUE(f.setString(kPrefs, "empty", ""));
        EXPECT_TRUE(f.setIntArray(kPrefs, "ints", ints));
        EXPECT_TRUE(f.setDoubleArray(kPrefs, "doubles", doubles));
        EXPECT_TRUE(f.setDouble(kPrefs, "big", 1e30));
    });
    EXPECT_EQ(after,
              "[prefs]\nbig 1000000000000000019884624838656.000000\ndoubles 1.500000 -2.000000\n"
              "ints 1 -2 30\nempty \nlastuser Ann  Lee \nrange 500.000000\n");
}

TEST(ConfigFile, RefusedValuesLeaveTheFileAsItWas) {
    TempDir dir;
    const std::string before = "[prefs]\nymax 1.000000\nlastuser Ann\n";
    const auto path = dir.write("prefs.cfg", before);
    ConfigFile file(path);
    const std::array withHuge{1.0, 1e31};
    EXPECT_FALSE(file.setDouble(kPrefs, "ymax", 2e30));
    EXPECT_FALSE(file.setDouble(kPrefs, "ymax", std::nan("")));
    EXPECT_FALSE(file.setDoubleArray(kPrefs, "ymax", withHuge));
    EXPECT_FALSE(file.setString(kPrefs, "lastuser", "Ann\n[prefs]\ncomport 9"));
    EXPECT_FALSE(file.setString(kPrefs, "lastuser", std::string("Ann\0X", 5)));
    EXPECT_FALSE(file.setInt("[a]\n[b]", "k", 1));
    EXPECT_FALSE(file.setInt(kPrefs, "", 1));
    // A "[" ends the section for the reader: the value, and every key after
    // it, would be lost at the next load.
    EXPECT_FALSE(file.setString(kPrefs, "lastdatafolder", "/data[1]"));
    EXPECT_FALSE(file.setInt(kPrefs, "multi[1]", 1));
    EXPECT_EQ(file.save(), 0) << "nothing changed, nothing written";
    EXPECT_EQ(test::readFile(path), before);
}

TEST(ConfigFile, LookupMatchesWholeNamesOnlyWithinTheSection) {
    TempDir dir;
    const auto path = dir.write("rotors.txt",
                                "[Prefs]\nc 4\n"
                                "SW41\nA_Volume_Per_MM 1.25\nTabbed\t7\nName Ann Lee\nBare \n"
                                "SureSpin 630/38 20 109\nNote see [x]\nAfter 5\n"
                                "Volumes\nA_Volume 3\nLast");
    const ConfigFile file(path);
    EXPECT_EQ(file.getInt(kPrefs, "c"), 0) << "case-sensitive header";
    EXPECT_EQ(file.getDouble("SW41", "A_Volume"), 0.0) << "prefix of a longer key";
    EXPECT_EQ(file.getDouble("SW41", "A_Volume_Per_MM"), 1.25);
    EXPECT_EQ(file.getInt("SW41", "Tabbed"), 0) << "a tab does not separate";
    EXPECT_EQ(file.getString("SW41", "Name"), "Ann Lee");
    EXPECT_EQ(file.getString("SW41", "Bare"), "");
    EXPECT_EQ(file.getInt("SW41", "SureSpin 630/38"), 20) << "a key with a blank in it";
    EXPECT_EQ(file.getInt("SW41", "After"), 0) << "the '[' in a value ended the section";
    EXPECT_EQ(file.getInt("Volumes", "A_Volume"), 3);
    EXPECT_EQ(file.getString("Volumes", "Last"), std::nullopt) << "a key at the very end";
    EXPECT_EQ(file.getString("Volumes", "Missing"), std::nullopt);
}

TEST(ConfigFile, ReadsNumbersAsScanfWouldWithinTheLine) {
    TempDir dir;
    const ConfigFile file(dir.write("f.cfg",
                                    "[s]\nlead    +17xyz\njunk abc\nhuge 99999999999999\nexp 2.5e-3\n"
                                    "empty \n7 8\nthree 1 2 3\nlist 1.5 x 3\nmixed 4,5 6\n"));
    EXPECT_EQ(file.getInt("[s]", "lead"), 17);
    EXPECT_EQ(file.getInt("[s]", "junk"), 0);
    EXPECT_EQ(file.getInt("[s]", "huge"), 2147483647);
    EXPECT_DOUBLE_EQ(file.getDouble("[s]", "exp"), 0.0025);
    EXPECT_EQ(file.getInt("[s]", "empty"), 0) << "a value never comes from the next line";
    std::array<int, 4> ints{9, 9, 9, 9};
    EXPECT_EQ(file.getIntArray("[s]", "three", ints), 3);
    EXPECT_THAT(ints, ElementsAre(1, 2, 3, 0));
    EXPECT_EQ(file.getIntArray("[s]", "mixed", ints), 2);
    EXPECT_THAT(ints, ElementsAre(4, 6, 0, 0));
    std::array<double, 3> doubles{9, 9, 9};
    EXPECT_EQ(file.getDoubleArray("[s]", "list", doubles), 1) << "the first non-number ends it";
    EXPECT_THAT(doubles, ElementsAre(1.5, 0.0, 0.0));
}

TEST(ConfigFile, MissingFileGivesDefaultsAndIsNeverCreated) {
    TempDir dir;
    {
        ConfigFile file(dir / "prefs.cfg");
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(file.getString(kPrefs, "lastuser"), std::nullopt);
        EXPECT_TRUE(file.setInt(kPrefs, "baudrate", 57600));
        EXPECT_EQ(file.getInt(kPrefs, "baudrate"), 57600) << "sets change the memory copy";
        EXPECT_EQ(file.save(), 0);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ConfigFile, TextModeLineEndsAndUnendedLastLines) {
    EXPECT_EQ(afterEdit("[prefs]\r\nb 9600\r\nc 2\r\n",
                        [](ConfigFile& f) {
                            EXPECT_EQ(f.getString(kPrefs, "b"), "9600");
                            f.setInt(kPrefs, "c", 3);
                        }),
              "[prefs]\nb 9600\nc 3\n");
    EXPECT_EQ(afterEdit("[a]\nx 1", [](ConfigFile& f) { f.setInt("[b]", "y", 2); }),
              "[a]\nx 1\n[b]\ny 2\n")
        << "the last line keeps its section";
    EXPECT_EQ(afterEdit("[a]", [](ConfigFile& f) { f.setInt("[a]", "y", 2); }), "[a]\ny 2\n");
    EXPECT_EQ(afterEdit("", [](ConfigFile& f) { f.setInt(kPrefs, "b", 57600); }),
              "[prefs]\nb 57600\n")
        << "an empty file gets its first section from an integer too";
}

TEST(ConfigFile, RemoveKeyDeletesTheWholeLineAndAlwaysRewrites) {
    EXPECT_EQ(afterEdit("[prefs]\na 1\nb 2\n", [](ConfigFile& f) { f.removeKey(kPrefs, "a"); }),
              "[prefs]\nb 2\n");
    TempDir dir;
    ConfigFile file(dir.write("prefs.cfg", "[prefs]\na 1\n"));
    file.removeKey(kPrefs, "zzz");
    EXPECT_EQ(file.save(), 12);
    EXPECT_EQ(file.save(), 0) << "a second save does nothing";
}

TEST(ConfigFile, ResolvesARelativePathOnceAndNeverChangesDirectory) {
    TempDir dir;
    TempDir elsewhere;
    dir.write("prefs.cfg", "[prefs]\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    {
        ConfigFile file("prefs.cfg");
        std::filesystem::current_path(elsewhere.path());
        file.setInt(kPrefs, "comport", 5);
        EXPECT_GT(file.save(), 0);
        EXPECT_EQ(std::filesystem::current_path(), elsewhere.path());
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\ncomport 5\n");
}

TEST(ConfigFile, ThreadsEditingOneFileNeverLoseEachOthersKeys) {
    TempDir dir;
    const auto path = dir.write("prefs.cfg", "[prefs]\n");
    constexpr int kRounds = 100;
    auto editor = [&](const char* key) {
        for (int i = 0; i < kRounds; ++i) {
            ConfigFile file(path);
            file.setInt(kPrefs, key, file.getInt(kPrefs, key) + 1);
        }
    };
    std::thread first(editor, "first");
    std::thread second(editor, "second");
    first.join();
    second.join();
    const ConfigFile file(path);
    EXPECT_EQ(file.getInt(kPrefs, "first"), kRounds);
    EXPECT_EQ(file.getInt(kPrefs, "second"), kRounds);

    ConfigFile outer(path);  // a nested store on one thread must not deadlock
    ConfigFile(path).setInt(kPrefs, "inner", 1);
    outer.setInt(kPrefs, "outer", 1);
}

TEST(ConfigFile, SaveReplacesTheFileWholeOrNotAtAll) {
    TempDir dir;
    const std::string before = "[prefs]\nlastuser Ann\n";
    const auto path = dir.write("prefs.cfg", before);
    ::chmod(path.c_str(), 0640);
    {
        ConfigFile file(path);
        file.setString(kPrefs, "lastdatafolder", std::string(4000, 'd'));
        // A file size limit makes the write fail as a full disk would.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 1024;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        EXPECT_EQ(file.save(), -1) << "a failed write is told apart from nothing to write";
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
    }
    EXPECT_EQ(test::readFile(path), before);
    ConfigFile(path).setString(kPrefs, "lastuser", "Bob");
    EXPECT_EQ(test::readFile(path), "[prefs]\nlastuser Bob\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "the file keeps its permissions";
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_THAT(names, ElementsAre("prefs.cfg")) << "no sibling file left behind";
}

TEST(ConfigFile, OversizedFilesAreNeitherReadNorWritten) {
    TempDir dir;
    ConfigFile huge(dir.write("huge.cfg", "[prefs]\nk 1\n" + std::string(17u << 20, 'x')));
    EXPECT_FALSE(huge.isOpen()) << "far too big for a settings file";
    huge.setInt(kPrefs, "k", 2);
    EXPECT_EQ(huge.save(), 0);
}

}  // namespace
}  // namespace corvane
