// The page around the plot, built from the window's view of a run: which
// legends and blocks appear in which mode, and what they name.

#include <gtest/gtest.h>

#include <string>

#include "ModelGraph.h"
#include "RecordingPoster.h"
#include "ScriptedPrompter.h"
#include "TestClocks.h"
#include "base/TextFormat.h"
#include "compare/CompareSets.h"
#include "display/CompareSession.h"
#include "display/GraphCursors.h"
#include "display/GraphPageContent.h"
#include "display/GraphView.h"
#include "display/LiveFeed.h"
#include "runs/RunRecorder.h"

namespace corvane {
namespace {

// A two-channel run of n samples 0.1 mm apart, Abs A rising by 0.01 a sample.
RunDataFile twoChannelRun(int n) {
    std::string text = "Corvane Text Data File: a.csv\nVersion: 1\nDate: 2024-02-29\nTime: 08:05:09\n\n"
                       "Data Columns:\n"
                       "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < n; ++i) {
        text += formatText("%d, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.500000, %.2f, 2.000000\n", 1000 + i, 0.1 * i,
                           0.01 * i, 0.1 * i, 0.1 * i);
    }
    RunDataFile file;
    EXPECT_EQ(file.parse(text), RunDataFile::ReadStatus::Ok);
    return file;
}

class PageContent : public ::testing::Test {
protected:
    PageContent() {
        ViewSettings s;
        s.shown = {false, false, true, false, false, true, true};
        view.apply(s);
    }
    GraphPageContent page() { return graphPageContent(view, cursors, nullptr, colours); }

    test::ScriptedPrompter prompter;
    test::ManualClock clock;
    test::RecordingPoster poster;
    LiveFeed feed{clock, poster};
    test::ModelGraph graph;
    GraphView view{graph, feed};
    GraphCursors cursors{prompter, clock};
    std::array<Rgb, 6> colours{};
};

TEST_F(PageContent, ARunAloneHasItsHeaderAndNoLegends) {
    view.showFile(twoChannelRun(50), "/data/runs/a.csv");
    view.refresh();
    const GraphPageContent p = page();
    EXPECT_EQ(p.documentTitle, "a.csv");
    ASSERT_EQ(p.header.rows.size(), 1U);
    EXPECT_EQ(p.header.rows[0][0].text, "a.csv");
    EXPECT_EQ(p.header.rows[0][1].text, "2024-02-29");
    EXPECT_TRUE(p.overlayLegend.empty());
    EXPECT_TRUE(p.compareLegend.empty());
    EXPECT_TRUE(p.readouts.empty());  // no cursor, nothing to read
    EXPECT_TRUE(p.settingsBox.empty());
    EXPECT_TRUE(p.yyLabels);
}

TEST_F(PageContent, OverlayAndCursorsAddTheirLegendAndReadouts) {
    view.setXAxisType(XAxisType::Millimetres);
    view.showFile(twoChannelRun(50), "/data/runs/a.csv");
    view.setOverlay(twoChannelRun(40), "/data/other/b.csv");
    ASSERT_TRUE(view.offsets().setXOffset(1, 3.0));
    view.refresh();
    ASSERT_TRUE(cursors.add(2.0));
    ASSERT_TRUE(cursors.add(3.0));
    colours[3] = Rgb{9, 9, 9};

    const GraphPageContent p = page();
    EXPECT_EQ(p.xAxis, XAxisType::Millimetres);
    ASSERT_EQ(p.header.rows.size(), 2U);
    EXPECT_EQ(p.header.rows[1][0].text, "b.csv");
    EXPECT_EQ(p.header.rows[1][3].text, "3 samples");
    ASSERT_EQ(p.overlayLegend.rows.size(), 3U);
    EXPECT_EQ(*p.overlayLegend.rows[0][2].swatch, (Rgb{9, 9, 9}));
    EXPECT_TRUE(p.compareLegend.empty());

    // The readouts are at the main cursor, the last one added (3.0 mm):
    // sample 30 of the run, Abs A 0.30.
    ASSERT_EQ(p.readouts.size(), 2U);
    EXPECT_EQ(p.readouts[0][0], "CURRENT: runs\\a.csv");
    EXPECT_EQ(p.readouts[0][1], "Scan: 30");
    EXPECT_EQ(p.readouts[0][2], "Abs A: 0.3");
    EXPECT_EQ(p.readouts[1][0], "OVERLAY: other\\b.csv");
    ASSERT_EQ(p.cursorBlocks.size(), 2U);
    EXPECT_EQ(p.cursorBlocks[0][0], "Cursor: 2.00 mm");
    EXPECT_EQ(p.cursorBlocks[0][1], "Sample A: 1020");
}

TEST_F(PageContent, CompareSetsAreNamedInTheirLegendInsteadOfTheHeader) {
    GraphView compareView{graph};
    CompareSession session{compareView, prompter, std::filesystem::path()};
    const std::string runs = std::string(CORVANE_FIXTURES_DIR) + "/runs/";
    ASSERT_EQ(session.load({runs + "two_channel.csv", runs + "em1.csv", runs + "six_column.csv"}), "");
    session.show(kPlotAbsA, {255, 128 << 8, 255 << 16, 1 | 1 << 8 | 1 << 16}, {}, view.axes().settings(),
                 view.axes().xAxisType());
    ASSERT_TRUE(compareView.offsets().setXOffset(2, 300.0));
    ASSERT_TRUE(compareView.offsets().setYGain(1, 1.5));
    compareView.refresh();
    // The page takes each set's colour from the slot it is drawn in.
    colours = {Rgb{255, 0, 0}, Rgb{0, 128, 0}, Rgb{0, 0, 255}, Rgb{}, Rgb{}, Rgb{}};
    ASSERT_TRUE(cursors.add(1.0));

    const GraphPageContent p = graphPageContent(compareView, cursors, nullptr, colours);
    EXPECT_EQ(p.documentTitle, "two_channel.csv");
    EXPECT_TRUE(p.header.empty());
    EXPECT_TRUE(p.overlayLegend.empty());
    EXPECT_TRUE(p.readouts.empty());  // CURRENT and OVERLAY are the main window's
    ASSERT_EQ(p.compareLegend.rows.size(), 3U);
    EXPECT_EQ(p.compareLegend.columns[0].bottom, "Filenames");
    EXPECT_EQ(p.compareLegend.rows[1][0].text, "em1.csv");
    EXPECT_EQ(*p.compareLegend.rows[1][1].swatch, (Rgb{0, 128, 0}));
    EXPECT_EQ(p.compareLegend.rows[1][7].text, "1.50");
    EXPECT_EQ(p.compareLegend.rows[2][4].text, "300 samples");
    EXPECT_EQ(p.compareLegend.rows[0][4].text, "0 samples");
    // The cursors read the reference set.
    ASSERT_EQ(p.cursorBlocks.size(), 1U);
    EXPECT_GT(p.cursorBlocks[0].size(), 1U);
}

TEST_F(PageContent, De1RunGetsItsSettingsBox) {
    RunDataFile de1;
    ASSERT_EQ(de1.read(std::string(CORVANE_FIXTURES_DIR) + "/runs/em1.csv"), RunDataFile::ReadStatus::Ok);
    view.showFile(std::move(de1), "em1.csv");
    view.refresh();
    const GraphPageContent p = page();
    ASSERT_FALSE(p.settingsBox.empty());
    EXPECT_EQ(p.settingsBox[0], "Current Settings");
    EXPECT_EQ(p.settingsBox[1], "START MODE: Event with Delay");
    EXPECT_EQ(p.settingsBox[2], "User Name: Bo");
    EXPECT_EQ(p.settingsBox[3], "Rotor: TH-641");
    EXPECT_NE(std::find(p.settingsBox.begin(), p.settingsBox.end(), "AUFS: 0.5"), p.settingsBox.end());  // step 5: one decimal
    EXPECT_FALSE(p.yyLabels);  // the ratio channel holds the marks
}

TEST_F(PageContent, LiveDe1RunTakesItsBoxFromTheRecordingsDescription) {
    RunDescription description;
    description.em1.emplace();
    description.em1->settings.aufs = 1;
    description.em1->settings.delayType = Em1Settings::kOdSensingStart;
    description.runInfo.emplace();
    description.runInfo->userName = "Ada";

    // A live two-channel trace has no box, whatever the recording holds.
    EXPECT_TRUE(graphPageContent(view, cursors, nullptr, colours, &description).settingsBox.empty());

    view.setLiveRun({.de1Source = true});  // the live trace of a DE-1 box
    view.refresh();
    EXPECT_TRUE(page().settingsBox.empty());  // no description, nothing made up
    const GraphPageContent p = graphPageContent(view, cursors, nullptr, colours, &description);
    ASSERT_GT(p.settingsBox.size(), 3U);
    EXPECT_EQ(p.settingsBox[1], "START MODE: OD Sensing");
    EXPECT_EQ(p.settingsBox[2], "User Name: Ada");
    EXPECT_NE(std::find(p.settingsBox.begin(), p.settingsBox.end(), "AUFS: 0.02"), p.settingsBox.end());

    // A DE-1 file shown reads its own header, not the recording's.
    RunDataFile de1;
    ASSERT_EQ(de1.read(std::string(CORVANE_FIXTURES_DIR) + "/runs/em1.csv"), RunDataFile::ReadStatus::Ok);
    view.showFile(std::move(de1), "em1.csv");
    view.refresh();
    EXPECT_EQ(graphPageContent(view, cursors, nullptr, colours, &description).settingsBox[2], "User Name: Bo");
}

}  // namespace
}  // namespace corvane
