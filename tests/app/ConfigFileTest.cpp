#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Applies edit to a store of a file holding before and returns the bytes on disk after.
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
              "[prefs]\nbaudrate 9600\ncomport 12\n[other]\nx 1\n")
        << "an existing key keeps its line";
    EXPECT_EQ(afterEdit(before, [](ConfigFile& f) { f.setInt(kPrefs, "x", 5); }),
              "[prefs]\nx 5\nbaudrate 9600\ncomport 3\n[other]\nx 1\n")
        << "a key of a later section only is added as the first entry of this one";
    EXPECT_EQ(afterEdit(before, [](ConfigFile& f) { f.setInt("[new]", "k", -4); }),
              before + "[new]\nk -4\n");
    EXPECT_EQ(afterEdit("[prefs]\n\n\nbaudrate 1\n",
                        [](ConfigFile& f) { f.setString(kPrefs, "lastuser", "Ann"); }),
              "[prefs]\n\n\nlastuser Ann\nbaudrate 1\n")
        << "blank lines under the header stay above the new entry";
    EXPECT_EQ(afterEdit("[prefs]\n[next]\n", [](ConfigFile& f) { f.setInt(kPrefs, "a", 1); }),
              "[prefs]\na 1\n[next]\n");
}

TEST(ConfigFile, WritesEachTypeInItsOwnFormat) {
    const auto after = afterEdit("[prefs]\n", [](ConfigFile& f) {
        EXPECT_TRUE(f.setDouble(kPrefs, "xaxissamplerange", 500.0));
        EXPECT_TRUE(f.setDouble(kPrefs, "ymin", -0.0125));
        EXPECT_TRUE(f.setString(kPrefs, "lastuser", "Ann  Lee "));
        EXPECT_TRUE(f.setString(kPrefs, "empty", ""));
        const std::array ints{1, -2, 30};
        EXPECT_TRUE(f.setIntArray(kPrefs, "ints", ints));
        const std::array doubles{1.5, -2.0};
        EXPECT_TRUE(f.setDoubleArray(kPrefs, "doubles", doubles));
        EXPECT_TRUE(f.setDouble(kPrefs, "big", 1e30));
    });
    EXPECT_EQ(after,
              "[prefs]\n"
              "big 1000000000000000019884624838656.000000\n"
              "doubles 1.500000 -2.000000\n"
              "ints 1 -2 30\n"
              "empty \n"
              "lastuser Ann  Lee \n"
              "ymin -0.012500\n"
              "xaxissamplerange 500.000000\n");
}

TEST(ConfigFile, RefusedValuesLeaveTheFileAsItWas) {
    const std::string before = "[prefs]\nymax 1.000000\nlastuser Ann\n";
    TempDir dir;
    const auto path = dir.write("prefs.cfg", before);
    ConfigFile file(path);
    EXPECT_FALSE(file.setDouble(kPrefs, "ymax", 2e30));
    EXPECT_FALSE(file.setDouble(kPrefs, "ymax", -2e30));
    EXPECT_FALSE(file.setDouble(kPrefs, "ymax", std::nan("")));
    const std::array withHuge{1.0, 1e31};
    EXPECT_FALSE(file.setDoubleArray(kPrefs, "ymax", withHuge));
    EXPECT_FALSE(file.setString(kPrefs, "lastuser", "Ann\n[prefs]\ncomport 9"));
    EXPECT_FALSE(file.setString(kPrefs, "lastuser", "Ann\rX"));
    EXPECT_FALSE(file.setString(kPrefs, "lastuser", std::string("Ann\0X", 5)));
    EXPECT_FALSE(file.setInt(kPrefs, "two words", 1));
    EXPECT_FALSE(file.setInt("[a]\n[b]", "k", 1));
    EXPECT_FALSE(file.setInt(kPrefs, "", 1));
    EXPECT_EQ(file.getDouble(kPrefs, "ymax"), 1.0);
    EXPECT_EQ(file.save(), 0) << "nothing changed, nothing written";
    EXPECT_EQ(test::readFile(path), before);
}

TEST(ConfigFile, HeadersMatchOnlyExactlyAndAlone) {
    TempDir dir;
    const auto path = dir.write("prefs.cfg", "[prefs] \nbaudrate 9600\n[Prefs]\ncomport 4\n");
    {
        ConfigFile file(path);
        EXPECT_EQ(file.getInt(kPrefs, "baudrate"), 0) << "trailing blank after the header";
        EXPECT_EQ(file.getInt(kPrefs, "comport"), 0) << "header matching is case-sensitive";
        EXPECT_EQ(file.getInt("[Prefs]", "comport"), 4);
        EXPECT_TRUE(file.setInt(kPrefs, "baudrate", 57600));
    }
    EXPECT_EQ(test::readFile(path),
              "[prefs] \nbaudrate 9600\n[Prefs]\ncomport 4\n[prefs]\nbaudrate 57600\n");
}

TEST(ConfigFile, KeysMatchOnlyWholeAndFollowedByOneBlank) {
    TempDir dir;
    const auto path = dir.write("rotors.txt",
                                "SW41\n"
                                "A_Volume_Per_MM 1.25\n"
                                "Tabbed\t7\n"
                                "Name Ann Lee\n"
                                "Bare \n"
                                "Note see [x]\n"
                                "After 5\n"
                                "Volumes\n"
                                "A_Volume 3\n"
                                "Last");
    ConfigFile file(path);
    EXPECT_EQ(file.getDouble("SW41", "A_Volume"), 0.0) << "prefix of a longer key";
    EXPECT_EQ(file.getDouble("SW41", "A_Volume_Per_MM"), 1.25);
    EXPECT_EQ(file.getInt("SW41", "Tabbed"), 0) << "a tab does not separate";
    EXPECT_EQ(file.getString("SW41", "Name"), "Ann Lee");
    EXPECT_EQ(file.getString("SW41", "Bare"), "");
    EXPECT_EQ(file.getString("SW41", "Missing"), std::nullopt);
    EXPECT_EQ(file.getInt("SW41", "After"), 0) << "the '[' in a value ended the section";
    EXPECT_EQ(file.getInt("Volumes", "A_Volume"), 3);
    EXPECT_EQ(file.getString("Volumes", "Last"), std::nullopt) << "key at the very end";
    EXPECT_EQ(file.getInt("volumes", "A_Volume"), 0);
}

TEST(ConfigFile, ReadsNumbersAsScanfWouldWithinTheLine) {
    TempDir dir;
    const auto path = dir.write("f.cfg",
                                "[s]\n"
                                "neg -42\n"
                                "lead    +17xyz\n"
                                "junk abc\n"
                                "huge 99999999999999\n"
                                "exp 2.5e-3\n"
                                "empty \n"
                                "7 8\n"
                                "three 1 2 3\n"
                                "list 1.5 x 3\n"
                                "mixed 4,5 6\n");
    ConfigFile file(path);
    EXPECT_EQ(file.getInt("[s]", "neg"), -42);
    EXPECT_EQ(file.getInt("[s]", "lead"), 17);
    EXPECT_EQ(file.getInt("[s]", "junk"), 0);
    EXPECT_EQ(file.getInt("[s]", "huge"), 2147483647);
    EXPECT_DOUBLE_EQ(file.getDouble("[s]", "exp"), 0.0025);
    EXPECT_EQ(file.getInt("[s]", "empty"), 0) << "a value never comes from the next line";

    std::array<int, 4> ints{9, 9, 9, 9};
    EXPECT_EQ(file.getIntArray("[s]", "three", ints), 3);
    EXPECT_THAT(ints, ElementsAre(1, 2, 3, 0));
    std::array<double, 3> doubles{9, 9, 9};
    EXPECT_EQ(file.getDoubleArray("[s]", "list", doubles), 1) << "the first non-number ends it";
    EXPECT_THAT(doubles, ElementsAre(1.5, 0.0, 0.0));
    EXPECT_EQ(file.getIntArray("[s]", "mixed", ints), 2);
    EXPECT_THAT(ints, ElementsAre(4, 6, 0, 0));
    EXPECT_EQ(file.getIntArray("[s]", "missing", ints), 0);
    EXPECT_THAT(ints, ElementsAre(0, 0, 0, 0));
}

TEST(ConfigFile, MissingFileGivesDefaultsAndIsNeverCreated) {
    TempDir dir;
    const auto path = dir / "prefs.cfg";
    {
        ConfigFile file(path);
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(file.getInt(kPrefs, "baudrate"), 0);
        EXPECT_EQ(file.getString(kPrefs, "lastuser"), std::nullopt);
        EXPECT_TRUE(file.setInt(kPrefs, "baudrate", 57600));
        EXPECT_EQ(file.getInt(kPrefs, "baudrate"), 57600) << "sets change the memory copy";
        EXPECT_EQ(file.save(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ConfigFile, LoadsTextModeLineEndsAndRepairsAnUnendedLastLine) {
    EXPECT_EQ(afterEdit("[prefs]\r\nbaudrate 9600\r\ncomport 2\r\n",
                        [](ConfigFile& f) {
                            EXPECT_EQ(f.getInt(kPrefs, "comport"), 2);
                            EXPECT_EQ(f.getString(kPrefs, "baudrate"), "9600");
                            f.setInt(kPrefs, "comport", 3);
                        }),
              "[prefs]\nbaudrate 9600\ncomport 3\n");
    EXPECT_EQ(afterEdit("[a]\nx 1", [](ConfigFile& f) { f.setInt("[b]", "y", 2); }),
              "[a]\nx 1\n[b]\ny 2\n")
        << "the last line keeps its section";
    EXPECT_EQ(afterEdit("[a]", [](ConfigFile& f) { f.setInt("[a]", "y", 2); }), "[a]\ny 2\n");
    EXPECT_EQ(afterEdit("[a]\nx 1", [](ConfigFile& f) { f.setInt("[a]", "x", 7); }), "[a]\nx 7\n");
    EXPECT_EQ(afterEdit("", [](ConfigFile& f) { f.setInt(kPrefs, "baudrate", 57600); }),
              "[prefs]\nbaudrate 57600\n")
        << "an empty file gets its first section from an integer too";
}

TEST(ConfigFile, RemoveKeyDeletesTheWholeLine) {
    EXPECT_EQ(afterEdit("[prefs]\na 1\nb 2\nc 3\n", [](ConfigFile& f) { f.removeKey(kPrefs, "b"); }),
              "[prefs]\na 1\nc 3\n");
    EXPECT_EQ(afterEdit("[prefs]\na 1\nb", [](ConfigFile& f) { f.removeKey(kPrefs, "b"); }),
              "[prefs]\na 1\n");
    TempDir dir;
    const auto path = dir.write("prefs.cfg", "[prefs]\na 1\n");
    ConfigFile file(path);
    file.removeKey(kPrefs, "zzz");
    EXPECT_EQ(file.save(), 12) << "a remove always rewrites the file, unchanged here";
    EXPECT_EQ(file.save(), 0) << "a second save does nothing";
    EXPECT_FALSE(file.isOpen());
}

TEST(ConfigFile, ResolvesARelativePathOnceAtConstruction) {
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
        EXPECT_EQ(std::filesystem::current_path(), elsewhere.path()) << "the store never chdirs";
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\ncomport 5\n");
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
}

TEST(ConfigFile, ThreadsEditingOneFileNeverLoseEachOthersKeys) {
    TempDir dir;
    const auto path = dir.write("prefs.cfg", "[prefs]\n");
    constexpr int kRounds = 200;
    auto editor = [&](const char* key) {
        for (int i = 1; i <= kRounds; ++i) {
            ConfigFile file(path);
            file.setInt(kPrefs, key, file.getInt(kPrefs, key) + 1);
        }
    };
    std::thread first(editor, "first");
    std::thread second(editor, "second");
    first.join();
    second.join();
    ConfigFile file(path);
    EXPECT_EQ(file.getInt(kPrefs, "first"), kRounds);
    EXPECT_EQ(file.getInt(kPrefs, "second"), kRounds);
}

TEST(ConfigFile, NestedStoreOfTheSameFileOnOneThreadDoesNotDeadlock) {
    TempDir dir;
    const auto path = dir.write("prefs.cfg", "[prefs]\n");
    ConfigFile outer(path);
    outer.setInt(kPrefs, "outer", 1);
    {
        ConfigFile inner(path);
        inner.setInt(kPrefs, "inner", 2);
    }
    EXPECT_GT(outer.save(), 0);
    EXPECT_EQ(dir.read("prefs.cfg"), "[prefs]\nouter 1\n") << "the outer save wins";
}

// A file size limit makes every write beyond it fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(ConfigFile, SaveReplacesTheFileWholeOrNotAtAll) {
    TempDir dir;
    const std::string before = "[prefs]\nlastuser Ann\n";
    const auto path = dir.write("prefs.cfg", before);
    ::chmod(path.c_str(), 0640);
    {
        ConfigFile file(path);
        file.setString(kPrefs, "lastdatafolder", std::string(4000, 'd'));
        const FileSizeLimit full(1024);
        EXPECT_EQ(file.save(), 0);
    }
    EXPECT_EQ(test::readFile(path), before);
    {
        ConfigFile file(path);
        file.setString(kPrefs, "lastuser", "Bob");
        EXPECT_EQ(file.save(), 21);
    }
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

TEST(ConfigFile, HostileBytesLoadAndAnswerSafely) {
    std::string junk;
    for (int i = 0; i < 70000; ++i) {
        junk.push_back(static_cast<char>((i * 7919) % 256));
    }
    junk += std::string("\n[prefs]\nk\0v 5\nlastuser A\0B\n", 27);
    const auto after = afterEdit(junk, [](ConfigFile& f) {
        EXPECT_TRUE(f.isOpen());
        EXPECT_EQ(f.getString(kPrefs, "lastuser"), "A") << "a NUL ends a string value";
        EXPECT_EQ(f.getInt(kPrefs, std::string_view("k\0v", 3)), 5);
        EXPECT_TRUE(f.setInt(kPrefs, "comport", 1));
    });
    EXPECT_NE(after.find("[prefs]\ncomport 1\nk"), std::string::npos);

    TempDir dir;
    const auto huge = dir.write("huge.cfg", "[prefs]\nk 1\n" + std::string(17u << 20, 'x'));
    ConfigFile file(huge);
    EXPECT_FALSE(file.isOpen()) << "far too big for a settings file";
    file.setInt(kPrefs, "k", 2);
    EXPECT_EQ(file.save(), 0);
}

}  // namespace
}  // namespace corvane
