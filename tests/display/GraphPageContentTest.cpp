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
#include "display/TraceLegend.h"
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
    // The overlay legend comes from the traces as drawn (see the legend tests).
    EXPECT_TRUE(p.overlayLegend.empty());
    EXPECT_TRUE(p.compareLegend.empty());

    // The readouts are at the main cursor, the last one added (3.0 mm):
    // sample 30 of the run, Abs A 0.30; the overlay is 3 samples later.
    ASSERT_EQ(p.readouts.size(), 2U);
    EXPECT_EQ(p.readouts[0][0], "CURRENT: " + (std::filesystem::path("runs") / "a.csv").string());
    EXPECT_EQ(p.readouts[0][1], "Scan: 30");
    EXPECT_EQ(p.readouts[0][2], "Abs A: 0.3");
    EXPECT_EQ(p.readouts[1][0], "OVERLAY: " + (std::filesystem::path("other") / "b.csv").string());
    EXPECT_EQ(p.readouts[1][1], "Scan: 27");
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

// The legend: every drawn trace by name, file, colour and style; the
// current run's channels move to slots 0 to 2 beside an overlay, and the
// legend, the channel lines and the page follow the slots, not the channels.
TEST_F(PageContent, TheLegendNamesEachDrawnTraceInTheColourItIsDrawnIn) {
    view.showFile(twoChannelRun(50), "/data/runs/a.csv");
    view.refresh();
    GraphLegend alone = traceLegend(view, graph.model);
    ASSERT_EQ(alone.size(), 3U);
    EXPECT_EQ(alone[0], (LegendEntry{"Abs A", "a.csv", graph.model.slot(2).colour, false, false, 0}));
    EXPECT_EQ(alone[1].name, "Abs B");
    EXPECT_EQ(alone[1].colour, graph.model.slot(5).colour);
    EXPECT_EQ(alone[2].name, "AbsA/AbsB");
    EXPECT_EQ(slotOfChannel(view, 0, kChannelAbsA), 2);
    EXPECT_EQ(slotOfChannel(view, 1, kChannelAbsA), -1);

    view.setOverlay(twoChannelRun(40), "/data/other/b.csv");
    view.refresh();
    const GraphLegend both = traceLegend(view, graph.model);
    ASSERT_EQ(both.size(), 6U);
    for (int k = 0; k < 6; ++k) {
        const LegendEntry& e = both[static_cast<std::size_t>(k)];
        SCOPED_TRACE(k);
        EXPECT_EQ(e.colour, graph.model.slot(k).colour) << "the slot's colour, not the channel's";
        EXPECT_EQ(e.set, k < 3 ? 0 : 1);
        EXPECT_EQ(e.file, k < 3 ? "a.csv" : "b.csv");
        EXPECT_EQ(e.dashed, k >= 3);
        EXPECT_EQ(e.name, (std::array<const char*, 3>{"Abs A", "Abs B", "AbsA/AbsB"}[static_cast<std::size_t>(k % 3)]));
    }
    EXPECT_NE(both[0].colour, alone[0].colour) << "Abs A beside an overlay is drawn in slot 0's colour";
    EXPECT_EQ(slotOfChannel(view, 0, kChannelAbsA), 0);
    EXPECT_EQ(slotOfChannel(view, 1, kChannelRatio), 5);
    EXPECT_EQ(slotOfChannel(view, 0, kChannelSampleA), -1);

    // A channel switched off leaves the legend.
    view.setChannelShown(kChannelAbsB, false);
    EXPECT_EQ(traceLegend(view, graph.model).size(), 4U);
    view.setChannelShown(kChannelAbsB, true);

    // The page: the legend as a table, and the overlay legend a row per
    // name with the current run's and the overlay's swatches.
    PageSource source;
    source.drawn = both;
    GraphPageContent p = graphPageContent(view, cursors, nullptr, colours, nullptr, source);
    ASSERT_EQ(p.legend.rows.size(), 6U);
    EXPECT_EQ(p.legend.rows[3][0].text, "Abs A");
    EXPECT_EQ(p.legend.rows[3][1].text, "b.csv");
    EXPECT_TRUE(p.legend.rows[3][0].line);
    EXPECT_TRUE(p.legend.rows[3][0].dashed);
    EXPECT_EQ(*p.legend.rows[3][0].swatch, graph.model.slot(3).colour);
    ASSERT_EQ(p.overlayLegend.rows.size(), 3U);
    EXPECT_EQ(p.overlayLegend.rows[2][0].text, "(AbsA/AbsB)");
    EXPECT_EQ(*p.overlayLegend.rows[2][1].swatch, graph.model.slot(2).colour);
    EXPECT_EQ(*p.overlayLegend.rows[2][2].swatch, graph.model.slot(5).colour);
    // View > Legend off: the page has none either.
    source.legendShown = false;
    EXPECT_TRUE(graphPageContent(view, cursors, nullptr, colours, nullptr, source).legend.empty());
}

TEST_F(PageContent, ALivePageNamesItsRunAndStartAndReadsSampleNumbersInMm) {
    view.setXAxisType(XAxisType::Millimetres);
    view.refresh();
    // Before the first sample the live channels switched on are listed.
    const GraphLegend waiting = traceLegend(view, graph.model, "temp_run_2026.csv");
    ASSERT_EQ(waiting.size(), 3U);
    EXPECT_EQ(waiting[0].file, "temp_run_2026.csv");
    EXPECT_EQ(waiting[0].name, "Abs A");

    // Samples 0.25 mm apart from 10 mm: the cursor at 12.5 mm is sample 10.
    for (int i = 0; i < 40; ++i) {
        SampleRecord r;
        r.absorbanceA = 0.01 * i;
        r.absorbanceB = 0.5;
        r.positionA = 10.0 + 0.25 * i;
        r.positionB = r.positionA;
        feed.add(r);
    }
    feed.liveDataTaken();
    view.syncLive();
    ASSERT_TRUE(cursors.add(12.5));

    PageSource source;
    source.liveName = "temp_run_2026.csv";
    source.liveStarted = CalendarTime{2026, 12, 7, 9, 30, 5};
    const GraphPageContent p = graphPageContent(view, cursors, nullptr, colours, nullptr, source);
    EXPECT_EQ(p.documentTitle, "temp_run_2026.csv");
    ASSERT_EQ(p.header.rows.size(), 1U);
    EXPECT_EQ(p.header.rows[0][0].text, "temp_run_2026.csv");
    EXPECT_EQ(p.header.rows[0][1].text, "2026-12-07");
    EXPECT_EQ(p.header.rows[0][2].text, "09:30:05");
    ASSERT_FALSE(p.readouts.empty());
    ASSERT_GT(p.readouts[0].size(), 2U);
    EXPECT_EQ(p.readouts[0][1], "Scan: 10") << "the sample number, not the 12 of 12.5 mm";
    EXPECT_EQ(p.readouts[0][2], "Abs A: 0.1");
}

TEST_F(PageContent, ThePageCarriesTheScreensYTitles) {
    view.showFile(twoChannelRun(50), "/data/runs/a.csv");
    view.refresh();
    GraphPageContent p = page();
    EXPECT_EQ(p.yTitle, "Absorbance (AU)");
    EXPECT_EQ(p.yyTitle, "Abs A / Abs B");
    view.setChannelShown(kChannelSampleA, true);
    view.setChannelShown(kChannelRatio, false);
    p = page();
    EXPECT_EQ(p.yTitle, "Counts / Absorbance (AU)");
    EXPECT_EQ(p.yyTitle, "");
}

}  // namespace
}  // namespace corvane
