#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "TempDir.h"
#include "runs/ProfileReaders.h"
#include "runs/ProfileText.h"

namespace corvane {
namespace {

const std::filesystem::path kFixtures = std::filesystem::path(CORVANE_FIXTURES_DIR) / "profiles";

std::string fixture(const char* name) { return test::readFile(kFixtures / name); }

Profile read(const ProfileFileResult& result) {
    EXPECT_TRUE(result.profile) << result.error;
    return result.profile.value_or(Profile{});
}

// The refusal, which must name what was wrong.
std::string refusal(const ProfileFileResult& result) {
    EXPECT_FALSE(result.profile);
    return result.error;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// plain.pks: 320 rows at 1/600 min, rack and tube 0 for rows 1-40 and 291-320,
// rack 1 tubes 1-10 of 25 rows each from row 41, row 150 reads 0 in tube 5,
// then the end marker (row 321: value 0, rack and tube 0).
TEST(PksProfile, ReadsRowsByPositionWithMarksAtEachTubeAndDropsOnlyTheEndMarker) {
    const Profile p = read(readPksProfile(fixture("plain.pks")));
    EXPECT_EQ(p.format, ProfileFormat::Pks);
    EXPECT_EQ(p.xUnit, "min");
    EXPECT_EQ(p.yUnit, "detector units");
    EXPECT_EQ(p.channel, "Val");
    ASSERT_EQ(p.size(), 320U);  // the rows of rack and tube 0 at both ends are data
    EXPECT_DOUBLE_EQ(p.x[0], 0.001667);
    EXPECT_DOUBLE_EQ(p.y[0], 2.0025);
    EXPECT_EQ(p.y[149], 0.0);  // a real zero inside a tube is data
    EXPECT_DOUBLE_EQ(p.x[319], 0.533333);
    ASSERT_EQ(p.marks.size(), 11U);
    EXPECT_EQ(p.marks.front(), (ProfileMark{0.068333, "1/1"}));
    EXPECT_EQ(p.marks[1], (ProfileMark{0.110000, "1/2"}));
    EXPECT_EQ(p.marks[10], (ProfileMark{0.485000, "0/0"}));  // back to no tube
}

TEST(PksProfile, ReadsCrLfTabsAndBooleansInTheRecordersLanguage) {
    // german_crlf.pks: "Falsch"/"Wahr", rack 1 tubes 1-10 and rack 2 tubes
    // 1-11 of 12 rows each, ten rows of rack and tube 0, the end marker.
    const Profile p = read(readPksProfile(fixture("german_crlf.pks")));
    ASSERT_EQ(p.size(), 260U);
    ASSERT_EQ(p.marks.size(), 22U);
    EXPECT_EQ(p.marks[0], (ProfileMark{0.001667, "1/1"}));  // collection starts with the first row
    EXPECT_EQ(p.marks[10], (ProfileMark{0.201667, "2/1"}));  // a new rack
    EXPECT_EQ(p.marks[21].label, "0/0");
    EXPECT_DOUBLE_EQ(p.y[259], 1.75);  // the last data row is kept, the marker after it is not
}

TEST(PksProfile, ReadsAFileWrittenBackByAStatisticsProgram) {
    // statistics.pks: quoted header with "El Tm" split in two, quoted row
    // names, decimal points, a trailing NA column, rows 3, 10, 17, ... and
    // 100-109 dropped.
    const Profile p = read(readPksProfile(fixture("statistics.pks")));
    ASSERT_EQ(p.size(), 249U);
    EXPECT_DOUBLE_EQ(p.x[0], 0.001667);
    EXPECT_DOUBLE_EQ(p.x[2], 0.006667);  // row 4: row 3 was dropped, so x is not evenly spaced
    EXPECT_DOUBLE_EQ(p.y[0], 1.502);
    ASSERT_FALSE(p.marks.empty());
    EXPECT_EQ(p.marks[0], (ProfileMark{0.035, "1/1"}));
}

TEST(PksProfile, OnlyTheLastZeroRowIsTheEndMarker) {
    const std::string header = "#   El Tm   Val   Rack  Tube  Peak  Waste\n";
    // Leading zero rows of rack and tube 0 are data; a last row with a value is data.
    const Profile kept = read(readPksProfile(header + "1 0,001667 0,0 0 0 False False\n"
                                                      "2 0,003333 0,0 0 0 False False\n"
                                                      "3 0,005000 1,5 0 0 False False\n"));
    EXPECT_EQ(kept.size(), 3U);
    EXPECT_TRUE(kept.marks.empty());
    const Profile marker = read(readPksProfile(header + "1 0,001667 0,0 0 0 False False\n"
                                                        "2 0,003333 1,5 1 1 False False\n"
                                                        "3 0,005000 0,0 0 0 False False"));
    EXPECT_EQ(marker.size(), 2U);
    ASSERT_EQ(marker.marks.size(), 1U);  // the marker's change to no tube goes with it
    EXPECT_EQ(marker.marks[0].label, "1/1");
    // An English recorder's decimal points, and the rows without collector columns.
    const Profile english = read(readPksProfile("# El Tm  Val\r\n1 0.001667 12.5\r\n2 0.003333 13.5\r\n"));
    EXPECT_EQ(english.y, (std::vector<double>{12.5, 13.5}));
}

TEST(PksProfile, RefusesWhatItCannotReadNamingTheLineAndTheField) {
    const std::string header = "# El Tm Val Rack Tube Peak Waste\n";
    const std::string row = "1 0,001667 1,5 1 1 False False\n";
    EXPECT_TRUE(contains(refusal(readPksProfile("El Tm Val\n1 0,1 2,0\n")), "no .pks header line"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header + row + "2 0,003333 1,5 1\n")),
                         "line 3 has 4 fields where the rows above have 7"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header + row + "2 0,00x 1,5 1 1 False False\n")),
                         "line 3: El Tm \"0,00x\" is not a number"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header + row + "2 0.003333 1,5 1 1 False False\n")),
                         "line 3: decimal points and decimal commas both"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header + "1 0,1 1,5 1 1 False False 7\n")), "line 2 has 8 fields"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header + "x 0,1 1,5 1 1 False False\n")), "line 2: the row number \"x\" is not a whole number"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header + "1 0,1 1,5 -1 1 False False\n")), "line 2: Rack \"-1\" is not a whole number"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header)), "no data rows"));
    EXPECT_TRUE(contains(refusal(readPksProfile("\"X.\" \"El\" \"Tm\" \"Val\" \"Rack\" \"Tube\" \"Peak\" \"Waste\"\n"
                                                "\"1\" 1 0.1 1.5 1 1 FALSE FALSE 12\n")),
                         "only NA is expected there"));
    EXPECT_TRUE(contains(refusal(readPksProfile(header + std::string(ProfileLines::kMaxLine + 10, '1'))),
                         "line 2 is longer than 1 MB"));
    EXPECT_TRUE(contains(refusal(readPksProfile(std::string("# El Tm Val\n\x01\x02\x00", 15))), "binary data"));
}

// fractions.asc: 300 rows of 0.04 ml, absorbance in mAu, twelve fractions
// starting at 0.5 ml every 0.9 ml, labels "1" to "12", a last row of blank
// cells without a line end.
TEST(AscProfile, ReadsVolumeAndAbsorbanceInAuWithAFractionMarkEach) {
    const Profile p = read(readAscProfile(fixture("fractions.asc")));
    EXPECT_EQ(p.format, ProfileFormat::Asc);
    EXPECT_EQ(p.channel, "UV1_260nm");
    EXPECT_EQ(p.xUnit, "ml");
    EXPECT_EQ(p.yUnit, "AU (mAU / 1000)");
    ASSERT_EQ(p.size(), 300U);
    EXPECT_DOUBLE_EQ(p.x[1], 0.04);
    EXPECT_DOUBLE_EQ(p.y[0], 0.05);  // 50,000 mAu
    ASSERT_EQ(p.marks.size(), 12U);
    EXPECT_EQ(p.marks[0], (ProfileMark{0.5, "1"}));
    EXPECT_EQ(p.marks[11], (ProfileMark{10.4, "12"}));
}

TEST(AscProfile, ReadsWithoutAFractionListAndKeepsAnUnknownUnit) {
    const Profile p = read(readAscProfile("1\n\tSignal\nml\t%\n0,0\t12,5\n0,1\t13,5\n"));
    EXPECT_EQ(p.channel, "Signal");
    EXPECT_EQ(p.yUnit, "%");
    EXPECT_EQ(p.y, (std::vector<double>{12.5, 13.5}));
    EXPECT_TRUE(p.marks.empty());
    EXPECT_EQ(read(readAscProfile("1\nA\nmL\t\n0\t1\n")).yUnit, "detector units");
}

TEST(AscProfile, RefusesABrokenFractionListOrRowsItCannotPair) {
    const std::string head = "10\t\t10\r\nUV\t\tFr\t\r\nml\tmAu\tml\t(Fractions)\r\n";
    EXPECT_TRUE(contains(refusal(readAscProfile("10\t\t10\r\nUV\r\n")), "ends after 2"));
    EXPECT_TRUE(contains(refusal(readAscProfile("1\nA\nml\n0\t1\n")), "no tab-separated units"));
    EXPECT_TRUE(contains(refusal(readAscProfile(head + "0,0\t1,0\t0,0\t\"1\"\r\n0,1\t1,0\t\t\r\n0,2\t1,0\t1,0\t\"2\"\r\n")),
                         "line 6: a fraction after the end of the fraction list"));
    EXPECT_TRUE(contains(refusal(readAscProfile(head + "0,0\t1,0\t0,0\t\r\n")), "without its label"));
    EXPECT_TRUE(contains(refusal(readAscProfile(head + "0,0\t\t0,0\t\"1\"\r\n")), "a volume without an absorbance"));
    EXPECT_TRUE(contains(refusal(readAscProfile(head + "0,0\t1,0\t\t\r\n\t\t\t\r\n0,1\t1,0\t\t\r\n")),
                         "line 6: rows go on after a row of blank cells"));
    EXPECT_TRUE(contains(refusal(readAscProfile(head + "0,0\t1.5\t\t\r\n")), "decimal points and decimal commas"));
    EXPECT_TRUE(contains(refusal(readAscProfile(head)), "no rows of volume and absorbance"));
}

TEST(TableProfile, TellsSeparatorDecimalMarkHeaderAndUnitsFromTheText) {
    const Profile tsv = read(readTableProfile(fixture("volume.tsv")));
    EXPECT_EQ(tsv.format, ProfileFormat::Table);
    EXPECT_EQ(tsv.xName, "Volume (ml)");
    EXPECT_EQ(tsv.xUnit, "ml");
    EXPECT_EQ(tsv.channel, "A260 (mAU)");
    EXPECT_EQ(tsv.yUnit, "AU (mAU / 1000)");
    ASSERT_EQ(tsv.size(), 250U);
    EXPECT_DOUBLE_EQ(tsv.x[1], 0.05);
    EXPECT_DOUBLE_EQ(tsv.y[0], 0.04);  // 40.00 mAU

    // Semicolons, decimal commas, a byte-order mark, CR LF and preamble lines.
    const Profile semi = read(readTableProfile(fixture("semicolon_bom.csv")));
    EXPECT_EQ(semi.xName, "Zeit [min]");
    EXPECT_EQ(semi.xUnit, "min");
    EXPECT_EQ(semi.channel, "Extinktion");
    EXPECT_EQ(semi.yUnit, "detector units");
    ASSERT_EQ(semi.size(), 250U);
    EXPECT_DOUBLE_EQ(semi.x[3], 0.05);

    const Profile commas = read(readTableProfile(fixture("comma.csv")));
    EXPECT_EQ(commas.xUnit, "min");
    EXPECT_EQ(commas.yUnit, "AU");
    EXPECT_EQ(commas.size(), 250U);

    // Blanks between the columns, decimal commas, a comment line first.
    const Profile blanks = read(readTableProfile(fixture("whitespace.txt")));
    EXPECT_EQ(blanks.xName, "Distance");
    EXPECT_EQ(blanks.xUnit, "");
    EXPECT_EQ(blanks.channel, "Signal");
    EXPECT_DOUBLE_EQ(blanks.x[2], 0.2);
    EXPECT_EQ(blanks.size(), 250U);

    const Profile wide = read(readTableProfile(fixture("utf16.txt")));
    EXPECT_EQ(wide.xName, "Volumen (ml)");
    EXPECT_EQ(wide.channel, "A254 (mAU)");
    EXPECT_EQ(wide.size(), 250U);
}

TEST(TableProfile, ColumnsByNameWithOrWithoutUnitOrByNumber) {
    const std::string tsv = fixture("volume.tsv");
    EXPECT_EQ(read(readTableProfile(tsv, {RunChannel::AbsA, "", "A280"})).channel, "A280 (mAU)");
    EXPECT_EQ(read(readTableProfile(tsv, {RunChannel::AbsA, "", "a280 (mau)"})).channel, "A280 (mAU)");
    const Profile third = read(readTableProfile(tsv, {RunChannel::AbsA, "2", "3"}));
    EXPECT_EQ(third.xName, "A260 (mAU)");
    EXPECT_EQ(third.channel, "A280 (mAU)");
    const Profile conductivity = read(readTableProfile(fixture("semicolon_bom.csv"), {RunChannel::AbsA, "", "3"}));
    EXPECT_EQ(conductivity.yUnit, "mS/cm");

    EXPECT_TRUE(contains(refusal(readTableProfile(tsv, {RunChannel::AbsA, "", "4"})), "the table has 3 columns"));
    EXPECT_TRUE(contains(refusal(readTableProfile(tsv, {RunChannel::AbsA, "", "A300"})), "no column named \"A300\""));
    EXPECT_TRUE(contains(refusal(readTableProfile("x\tA (ml)\tA (AU)\n1\t2\t3\n", {RunChannel::AbsA, "", "a"})),
                         "columns 2 and 3 both match"));
    EXPECT_TRUE(contains(refusal(readTableProfile(tsv, {RunChannel::AbsA, "2", "2"})), "the same column"));
    EXPECT_TRUE(contains(refusal(readTableProfile("1\t2\n3\t4\n", {RunChannel::AbsA, "", "y"})), "no header line"));
}

TEST(TableProfile, ReadsHeaderlessRowsMissingCellsQuotesAndUtf16WithoutMark) {
    const Profile bare = read(readTableProfile("1;2\n3;4\n"));
    EXPECT_EQ(bare.channel, "column 2");
    EXPECT_EQ(bare.yUnit, "detector units");
    EXPECT_EQ(bare.x, (std::vector<double>{1, 3}));

    // Rows with a missing y are skipped; quoted names may hold the separator.
    const Profile gaps = read(readTableProfile("\"t, min\",\"A (AU)\",n\n1,0.5,7\n2,NA,8\n3,,9\n4,0.8,10\n"));
    EXPECT_EQ(gaps.xName, "t, min");
    EXPECT_EQ(gaps.x, (std::vector<double>{1, 4}));
    EXPECT_EQ(gaps.y, (std::vector<double>{0.5, 0.8}));

    std::string utf16be;
    for (const char c : std::string("ml\tmAU\n1\t250\n2\t500\n")) utf16be += std::string{'\0', c};
    const Profile wide = read(readTableProfile(utf16be));
    EXPECT_EQ(wide.xUnit, "ml");
    EXPECT_EQ(wide.y, (std::vector<double>{0.25, 0.5}));
}

TEST(TableProfile, RefusesAmbiguousOrUnreadableTables) {
    EXPECT_TRUE(contains(refusal(readTableProfile("a\tb\n1,5\t2\n1.5\t3\n")), "decimal points and decimal commas"));
    EXPECT_TRUE(contains(refusal(readTableProfile("a\tb\n1\t2\nend of data\n")), "no rows of numbers"));
    EXPECT_TRUE(contains(refusal(readTableProfile("time\tvalue\tnote\n1\t2\t3\n2\tx\t4\n3\t3\t5\n")),
                         "line 3: column 2 holds \"x\", not a number"));
    EXPECT_TRUE(contains(refusal(readTableProfile("Volume (ml) Absorbance (AU) Note\n1 2\n3 4\n")),
                         "line 1 has 5 columns where the rows below it (separated by blanks) have 2"));
    EXPECT_TRUE(contains(refusal(readTableProfile("just some notes\nnothing else\n")), "no rows of numbers"));
    EXPECT_TRUE(contains(refusal(readTableProfile("a\tb\tc\n1\t\t3\n2\tNA\t4\n")), "no row has both"));
}

// The rows are found from the end of the file: lines ended by LF, CR LF and
// a lone CR alike, blank lines among and after them, and the lines named in
// a message counted as they are from the start.
TEST(TableProfile, LineEndsOfEveryKindAndBlankLinesFromTheEnd) {
    const std::string preamble = "Exported\r\rrun 7\r\n\n";  // lines 1-4, the fourth blank
    const Profile mixed = read(readTableProfile(preamble + "t\tA\r\n1\t2\r3\t4\n\n5\t6\r\n\r\n\n\r"));
    EXPECT_EQ(mixed.xName, "t");
    EXPECT_EQ(mixed.x, (std::vector<double>{1, 3, 5}));
    EXPECT_EQ(mixed.y, (std::vector<double>{2, 4, 6}));
    // Header on line 5, rows on lines 6, 7 and 9: the text is on line 9.
    EXPECT_TRUE(contains(refusal(readTableProfile(preamble + "t\tA\tB\r\n1\t2\t0\r3\t4\t0\n\n5\tx\t0\r\n")),
                         "line 9: column 2 holds \"x\""));
    EXPECT_TRUE(contains(refusal(readTableProfile(preamble + "t A B C\r1 2\r\n3 4")),
                         "line 5 has 4 columns where the rows below it (separated by blanks) have 2"));
    const std::string endsOnly(1 << 16, '\n');
    EXPECT_TRUE(contains(refusal(readTableProfile(endsOnly)), "no rows of numbers"));
    EXPECT_EQ(read(readTableProfile(endsOnly + "1\t2\n" + endsOnly)).y, (std::vector<double>{2}));
    EXPECT_TRUE(contains(refusal(readTableProfile("1\t2\n" + std::string((1 << 20) + 1, ' ') + "\n3\t4\n")),
                         "line 2 is longer than 1 MB"));
}

// Numbers read from a decimal comma or point give exactly the double the
// standard library reads from the same text with a point.
TEST(ProfileText, NumbersReadAsTheLibraryReadsThemWithEitherDecimalMark) {
    std::uint64_t state = 12345;
    const auto next = [&] { return state = state * 6364136223846793005ULL + 1442695040888963407ULL; };
    for (int k = 0; k < 200000; ++k) {
        const int digits = 1 + static_cast<int>(next() >> 60);
        const int decimals = static_cast<int>(next() >> 61);
        std::string text = (next() >> 63) != 0 ? "-" : "";
        for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + (next() >> 33) % 10);
        if (decimals > 0 && decimals < digits) text.insert(text.size() - static_cast<std::size_t>(decimals), ".");
        double expected = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        for (const char mark : {'.', ','}) {
            std::string written = text;
            std::replace(written.begin(), written.end(), '.', mark);
            double value = -1.0;
            unsigned marks = 0;
            ASSERT_TRUE(parseProfileNumber(written, value, marks)) << written;
            ASSERT_EQ(value, expected) << written;
        }
    }
    double value = 0.0;
    unsigned marks = 0;
    for (const char* refused : {"", "-", "+", "+-1", "1,2,3", "1.5,2", "nan", "inf", "0x10", "12 ml", "1e999"}) {
        EXPECT_FALSE(parseProfileNumber(refused, value, marks)) << refused;
    }
    EXPECT_TRUE(parseProfileNumber("+1,5e-3", value, marks));
    EXPECT_EQ(value, 1.5e-3);
    EXPECT_EQ(marks, kDecimalComma);
}

}  // namespace
}  // namespace corvane
