// Collecting by peaks: the settings' checks, where they are kept (prefs,
// the user's file per rotor, presets), and the "[fractions]" block of a run
// file, which every reader of run files must pass over as before.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TempDir.h"
#include "app/ConfigFile.h"
#include "runs/Em1SettingsStore.h"
#include "runs/OverlayPlanBlock.h"
#include "runs/PeakCollection.h"
#include "runs/PresetRunFile.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

PeakCollection usable() {
    PeakCollection p;
    p.enabled = true;
    p.startLevel = 0.05;
    p.endLevel = 0.03;
    p.startSlope = 0.2;
    p.endSlope = 0.01;
    p.minWidthMm = 0.5;
    p.perPeak = 3;
    p.betweenEveryMm = 4.0;
    p.delayVolumeMl = 0.25;
    return p;
}

TEST(PeakCollectionSettings, ChecksNameTheFieldAndItsLimits) {
    EXPECT_EQ(peakCollectionProblem(usable()), "");
    auto p = usable();
    p.startLevel = 0.0;
    p.startSlope = 0.0;
    EXPECT_EQ(peakCollectionProblem(p), "A peak needs a start level or a start slope.");
    p = usable();
    p.startLevel = 4.01;
    EXPECT_EQ(peakCollectionProblem(p),
              "Invalid peak level. A level must be above 0 and at most 4.00 AU above the baseline.");
    p = usable();
    p.endSlope = -1.0;
    EXPECT_EQ(peakCollectionProblem(p), "Invalid peak slope. A slope must be above 0 and at most 10.00 AU/mm.");
    p = usable();
    p.endLevel = 0.06;
    EXPECT_EQ(peakCollectionProblem(p), "The end level must not be above the start level.");
    p = usable();
    p.perPeak = 0;
    EXPECT_EQ(peakCollectionProblem(p), "Invalid number of fractions per peak. It must be between 1 and 20.");
    p.perPeak = 21;
    EXPECT_NE(peakCollectionProblem(p), "");
    p = usable();
    p.minWidthMm = 99.5;
    EXPECT_EQ(peakCollectionProblem(p), "Invalid minimum peak width. It must be between 0.00 and 99.00 mm.");
    p = usable();
    p.betweenEveryMm = 0.05;
    EXPECT_NE(peakCollectionProblem(p), "");
    p = usable();
    p.delayVolumeMl = std::nan("");
    EXPECT_EQ(peakCollectionProblem(p),
              "Invalid delay volume. It must be between 0.00 and 10.00 ml (0: the tubing's dead volume).");
    // A slope alone starts and ends peaks; without an end rule the start's ends them.
    p = PeakCollection{};
    p.startSlope = 0.3;
    EXPECT_EQ(peakCollectionProblem(p), "");
    EXPECT_EQ(p.endSlopeUsed(), 0.3);
    EXPECT_EQ(p.endLevelUsed(), 0.0);
    p.startLevel = 0.1;
    EXPECT_EQ(p.endLevelUsed(), 0.1);
    EXPECT_EQ(p.endSlopeUsed(), 0.0);

    double every = -1.0;
    EXPECT_TRUE(parseBetween("one", every));
    EXPECT_EQ(every, 0.0);
    EXPECT_TRUE(parseBetween("every:2.5", every));
    EXPECT_EQ(every, 2.5);
    for (const char* bad : {"every:", "every:-1", "every:2mm", "two", "every:nan", ""}) {
        EXPECT_FALSE(parseBetween(bad, every)) << bad;
    }
}

TEST(PeakCollectionSettings, KeptInPrefsPerRotorAndInPresets) {
    test::TempDir dir;
    Em1Settings s;
    s.peaks = usable();
    ConfigFile prefs(dir.write("prefs.cfg", "[prefs]\n"));
    storeEm1Settings(prefs, s);
    EXPECT_EQ(loadEm1Settings(prefs).peaks, s.peaks);

    ConfigFile user(dir.write("settings.txt", "[user_settings]\n"));
    ASSERT_TRUE(storeUserEm1Settings(user, 1, 2, s));
    Em1Settings other;
    ASSERT_TRUE(loadUserEm1Settings(user, 1, 2, other));
    EXPECT_EQ(other.peaks, s.peaks);
    Em1Settings rotor3;
    ASSERT_TRUE(loadUserEm1Settings(user, 1, 3, rotor3));
    EXPECT_FALSE(rotor3.peaks.enabled);

    // Turning it off is remembered; settings that never collected by peaks write no peak keys.
    s.peaks.enabled = false;
    storeEm1Settings(prefs, s);
    EXPECT_FALSE(loadEm1Settings(prefs).peaks.enabled);
    ConfigFile fresh(dir.write("fresh.cfg", "[prefs]\n"));
    storeEm1Settings(fresh, Em1Settings{});
    EXPECT_FALSE(fresh.getString(kEm1Section, "peaks").has_value());

    PresetRun preset;
    preset.em1 = Em1Settings{};
    preset.em1->peaks = usable();
    const auto path = dir.path() / "preset.txt";
    ASSERT_TRUE(writePresetRun(path, preset));
    const auto back = readPresetRun(path);
    ASSERT_TRUE(back && back->em1);
    EXPECT_EQ(back->em1->peaks, usable());
    preset.em1->peaks.enabled = false;
    EXPECT_EQ(presetEm1Lines(*preset.em1).find("peak"), std::string::npos);
}

FractionTable table() {
    FractionTable t;
    t.settings = usable();
    t.delayMm = 1.75;
    t.fractions = {{1, 0.0, 9.5, 0}, {2, 9.5, 11.25, 1}, {3, 11.25, 12.0, 1}, {4, 12.0, 30.0, 0}};
    return t;
}

constexpr const char* kRun =
    "Corvane Text Data File: r.csv\n"
    "Version: 1\n"
    "Date: 2026-01-02\n"
    "Time: 03:04:05\n"
    "\n"
    "Absorbance Units Full Scale (AUFS): 1.00\n"
    "Event Mark-triggered gradient; (with distance; auto start and stop)\n"
    "Delay: No Delay\n"
    "Distance: 2.00 mm\n"
    "Number: 5\n"
    "\n"
    "[overlay plan]\n"
    "numzones 1\n"
    "zone001 0.00 10.00 2\n"
    "autofrac 0\n"
    "\n"
    "Data Columns:\n"
    "Distance(mm), Absorbance, Fraction Number, Fraction Volume(ml)\n"
    "0.00, 0.010000, 0, 0.000\n"
    "0.03, 0.011000, , \n"
    "0.06, 0.012000, 1, 0.004\n";

TEST(FractionTableBlock, WrittenIntoTheHeaderReadBackAndPassedOverByEveryReader) {
    const auto text = withFractionTable(kRun, table());
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("autofrac 0\n\n[fractions]\nstart_level 0.050000\n"), std::string::npos);
    EXPECT_NE(text->find("fraction002 9.50 11.25 1\nfraction003 11.25 12.00 1\n"), std::string::npos);
    EXPECT_NE(text->find("fraction004 12.00 30.00 0\n\nData Columns:\n"), std::string::npos);
    const auto back = readFractionTable(*text);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, table());

    // Written again: one block, the new one.
    auto shorter = table();
    shorter.fractions.resize(2);
    const auto again = withFractionTable(*text, shorter);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->find("[fractions]"), again->rfind("[fractions]"));
    EXPECT_EQ(readFractionTable(*again)->fractions.size(), 2u);
    EXPECT_EQ(again->size(), text->size() - 2 * std::string("fraction003 11.25 12.00 1\n").size());

    // The run file's own readers see what they saw before.
    RunDataFile before;
    RunDataFile after;
    ASSERT_EQ(before.parse(kRun), RunDataFile::ReadStatus::Ok);
    ASSERT_EQ(after.parse(*text), RunDataFile::ReadStatus::Ok);
    EXPECT_EQ(after.layout(), RunFileLayout::Em1);
    EXPECT_EQ(after.em1Samples(), before.em1Samples());
    ASSERT_TRUE(after.header().em1);
    EXPECT_EQ(after.header().em1->settings, before.header().em1->settings);
    EXPECT_EQ(readOverlayPlan(*text).plan.zones.size(), 1u);
    EXPECT_FALSE(readFractionTable(kRun));

    // CR LF files keep their line ends; a text without the data marker gets no block.
    std::string crlf;
    for (const char c : std::string(kRun)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const auto crlfText = withFractionTable(crlf, table());
    ASSERT_TRUE(crlfText);
    EXPECT_NE(crlfText->find("[fractions]\r\nstart_level"), std::string::npos);
    EXPECT_EQ(readFractionTable(*crlfText)->fractions, table().fractions);
    EXPECT_FALSE(withFractionTable("Corvane Text Data File: x\n", table()));
}

TEST(FractionTableBlock, ReadsWhatItCanAndNothingBelowTheData) {
    const std::string broken =
        "[fractions]\nstart_level 0.1\nnumfractions 3\nfraction001 0.00 2.00 0\nfraction002 2.00 x 1\n"
        "fraction003 3.00 4.00 0\n\nData Columns:\n";
    const auto read = readFractionTable(broken);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->settings.startLevel, 0.1);
    ASSERT_EQ(read->fractions.size(), 1u);  // a line that does not read ends the list
    EXPECT_FALSE(readFractionTable("Data Columns:\n[fractions]\nfraction001 0 1 0\n"));
    // Negative peaks read as between; a thousand fractions stop at the 999 the keys can name.
    FractionTable big;
    for (int i = 0; i < 1200; ++i) big.fractions.push_back({i + 1, i * 1.0, i + 1.0, -4});
    const auto many = readFractionTable(fractionTableBlock(big));
    ASSERT_TRUE(many);
    EXPECT_EQ(many->fractions.size(), 999u);
    EXPECT_EQ(many->fractions[5].peak, 0);
}

}  // namespace
}  // namespace corvane
