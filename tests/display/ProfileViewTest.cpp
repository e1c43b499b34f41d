// Profiles of other instruments shown as runs: File > Open, the overlay, the
// compare sets and the page, each on the x the profiles have (minutes, ml,
// point numbers), with their marks drawn as event marks; and the commands
// that would write a run of ours from a profile refuse it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "MainWindowFakes.h"
#include "ModelGraph.h"
#include "RecordingPoster.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "app/DialogFolders.h"
#include "base/TextFormat.h"
#include "compare/CompareSets.h"
#include "display/CompareSession.h"
#include "display/GraphCursors.h"
#include "display/GraphOverlays.h"
#include "display/GraphPageContent.h"
#include "display/GraphView.h"
#include "display/MainWindowLogic.h"
#include "display/RunFileScene.h"
#include "display/TraceLegend.h"
#include "runs/ProfileFile.h"

namespace corvane {
namespace {

using test::ModelGraph;

// Slots of a run shown alone: Abs A in 2, the ratio (a profile's marks) in 6.
constexpr int kSlotAbsA = 2;
constexpr int kSlotMarks = 6;

std::string decimalComma(double v, const char* format) {
    std::string text = formatText(format, v);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// n rows ten a second (x = i / 600 min), 100 + i detector units with a peak
// of 900 at row `peak`; the collector goes to rack 1 tube 1 at row 100 and to
// tube 2 at row 200; then the recorder's end marker.
std::string pksText(int n, int peak) {
    std::string text = "#        El Tm         Val   Rack   Tube    Peak   Waste\r\n";
    for (int i = 1; i <= n; ++i) {
        const int tube = i >= 200 ? 2 : i >= 100 ? 1 : 0;
        text += formatText("%d %s %s %d %d Falsch Falsch\r\n", i, decimalComma(i / 600.0, "%.6f").c_str(),
                           decimalComma(i == peak ? 900.0 : 100.0 + 0.01 * i, "%.4f").c_str(), tube > 0 ? 1 : 0,
                           tube);
    }
    text += formatText("%d %s 0 0 0 Falsch Falsch\r\n", n + 1, decimalComma((n + 1) / 600.0, "%.6f").c_str());
    return text;
}

// n rows 0.05 ml apart, 50 mAU with a peak of 950 mAU at row `peak`; a
// fraction every 1.5 ml from 0.5 ml, labelled "1", "2", ...
std::string ascText(int n, int peak, int fractions) {
    std::string text = "10\t\t10\r\nUV1_260nm\t\tFractions\t\r\nml\t mAu\tml\t(Fractions)\r\n";
    for (int i = 0; i < n; ++i) {
        text += decimalComma(0.05 * i, "%.3f") + "\t" + decimalComma(i == peak ? 950.0 : 50.0, "%.3f") + "\t";
        text += i < fractions ? decimalComma(0.5 + 1.5 * i, "%.2f") + formatText("\t\"%d\"\r\n", i + 1) : "\t\r\n";
    }
    return text;
}

// A table with no unit on x: shown by point number.
std::string tableText(int n, int peak) {
    std::string text = "Point,Signal\n";
    for (int i = 0; i < n; ++i) text += formatText("%d,%.3f\n", 1000 + i, i == peak ? 2.0 : 0.2);
    return text;
}

// A table of four columns: volume, a note ("-" for none; one "peak", so the
// first two columns are no profile), A260 with a peak of 900 mAU at row 30 and A280 with one
// of 800 mAU at row 60.
std::string wideText(int n) {
    std::string text = "Volume (ml)\tNote\tA260 (mAU)\tA280 (mAU)\n";
    for (int i = 0; i < n; ++i) {
        text += formatText("%.2f\t%s\t%.1f\t%.1f\n", 0.1 * i, i == 30 ? "peak" : "-", i == 30 ? 900.0 : 100.0,
                           i == 60 ? 800.0 : 50.0);
    }
    return text;
}

// Our run: n samples 0.1 mm apart, Abs A 1.0 at `peak` over 0.1, 0.5 ml per mm.
std::string runText(int n, int peak) {
    std::string text =
        "Corvane Text Data File: ours.csv\nVolume per mm: 0.5\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < n; ++i) {
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.5, 0, 1\n", 0.1 * i, i == peak ? 1.0 : 0.1,
                           0.1 * i);
    }
    return text;
}

class ProfileView : public ::testing::Test {
protected:
    ProfileView() {
        dir.write("rotors.txt", "Volumes\nA_Volume 1.5\nB_Volume 2.25\nC_Volume 3\nD_Volume_Per_MM 0.143\n");
        dir.write("prefs.cfg",
                  "[prefs]\nbaudrate 57600\ncomport 4\nshowRawA 0\nshowRefA 0\nshowAbsA 1\n"
                  "showRawB 0\nshowRefB 0\nshowAbsB 1\nshowADivB 0\nxaxissamplerange 500\n"
                  "xaxisposrange 100\nymin 0\nymax 2\nyy_min 0\nyy_max 2\nxautoscale 0\n"
                  "yautoscale 1\nyy_autoscale 1\n");
        pks = dir.write("old.pks", pksText(300, 150));
        asc = dir.write("fractions.asc", ascText(200, 120, 5));
        table = dir.write("points.csv", tableText(80, 40));
        ours = dir.write("ours.csv", runText(100, 60));
        EXPECT_TRUE(logic.loadPreferences());
    }
    GraphView& view() { return logic.view(); }
    const TraceSlot& slot(int s) const { return graph.model.slot(s); }
    // The x of each rise of a mark trace (a tick).
    std::vector<double> ticks(int s) const {
        std::vector<double> at;
        for (std::size_t i = 1; i < slot(s).x.size(); ++i) {
            if (slot(s).y[i] > slot(s).y[i - 1]) at.push_back(slot(s).x[i]);
        }
        return at;
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    DialogFolders folders{dir.path(), prompter};
    test::ManualClock clock;
    test::RecordingPoster poster;
    ModelGraph graph;
    MainWindowLogic logic{MainWindowLogic::Env{.startupFolder = dir.path(),
                                               .prompter = prompter,
                                               .folders = folders,
                                               .clock = clock,
                                               .window = poster,
                                               .graph = graph,
                                               .busy = [] { return false; },
                                               .link = []() -> LinkHost* { return nullptr; },
                                               .setTargetPosition = [](double) {},
                                               .raiseWindow = [] {}}};
    std::filesystem::path pks, asc, table, ours;
};

TEST_F(ProfileView, OpenOffersProfilesAndShowsOneOnItsOwnMinutesWithItsTubesAsMarks) {
    prompter.scriptFile(pks.string());
    ASSERT_TRUE(logic.files().openDataFile());
    EXPECT_NE(prompter.fileRequests().at(0).filter.find("Profiles from other instruments (*.pks;*.asc;"),
              std::string::npos);
    logic.refreshGraph();
    EXPECT_EQ(view().axes().xAxisType(), XAxisType::Minutes);
    ASSERT_EQ(slot(kSlotAbsA).count(), 300) << "the end marker is no point";
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).x[149], 0.25);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).y[149], 900.0);
    EXPECT_EQ(slot(1).count(), 0) << "a profile has no channel B";
    EXPECT_TRUE(slot(kSlotMarks).markStyle);
    const auto marks = ticks(kSlotMarks);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_NEAR(marks[0], 100 / 600.0, 1e-6);
    EXPECT_NEAR(marks[1], 200 / 600.0, 1e-6);
    EXPECT_NEAR(view().axes().xRange().min, 1 / 600.0, 1e-6);
    EXPECT_NEAR(view().axes().xRange().max, 0.5, 1e-6);
    EXPECT_FALSE(view().de1Mode()) << "no AUFS range for detector units";
    EXPECT_FALSE(view().axes().yAutoScale()) << "as stored";
    EXPECT_DOUBLE_EQ(view().axes().yRange().max, 900.0) << "fitted as it opens";
    EXPECT_EQ(profileValueTitle(*view().scene().setFile(0)), "detector units");

    // The cursor read-out is the nearest point.
    const auto at = view().sampleAt(0, 0.2501);
    ASSERT_TRUE(at);
    EXPECT_DOUBLE_EQ(at->absorbanceA, 900.0);

    // A profile has no mm: the switch to mm keeps its minutes; by point
    // number each mark sits on its point.
    view().setXAxisType(XAxisType::Millimetres);
    EXPECT_EQ(view().axes().xAxisType(), XAxisType::Minutes);
    view().setXAxisType(XAxisType::Seconds);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).x[149], 15.0);
    view().setXAxisType(XAxisType::SampleNumber);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).x[149], 149.0);
    EXPECT_EQ(ticks(kSlotMarks), (std::vector<double>{99.0, 199.0}));
}

TEST_F(ProfileView, MauIsShownInAuAndAnUnreadableFileSaysWhyItIsNoProfile) {
    ASSERT_TRUE(logic.files().showDataFile(asc));
    logic.refreshGraph();
    EXPECT_EQ(view().axes().xAxisType(), XAxisType::Millilitres);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).y[120], 0.95);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).x[120], 6.0);
    EXPECT_EQ(ticks(kSlotMarks), (std::vector<double>{0.5, 2.0, 3.5, 5.0, 6.5}));
    EXPECT_EQ(profileValueTitle(*view().scene().setFile(0)), "Absorbance (AU)");

    const auto junk = dir.write("junk.xlsx", std::string("PK\x03\x04 not text", 14));
    EXPECT_FALSE(logic.files().showDataFile(junk));
    EXPECT_EQ(prompter.texts().back(), "Invalid data header found in file: " + junk.string() + "; " +
                                           std::string(kSpreadsheetRefusal));
    EXPECT_EQ(view().scene().setPath(0), asc) << "the profile shown stays";
}

TEST_F(ProfileView, AnOverlayGoesWhereBothHaveTheirXAndOurRunsKeepTheirMm) {
    ASSERT_TRUE(logic.files().showDataFile(ours));
    view().setXAxisType(XAxisType::Millimetres);
    ASSERT_TRUE(logic.overlays().loadOverlay(pks));
    // Ours converts to minutes by its sample interval (the usual 50 ms here).
    EXPECT_EQ(view().axes().xAxisType(), XAxisType::Minutes);
    EXPECT_DOUBLE_EQ(slot(0).x[60], 60 * 0.05 / 60.0) << "our Abs A beside an overlay";
    // Detector units beside absorbances: on their own, the right, axis.
    EXPECT_DOUBLE_EQ(slot(5).x[149], 0.25) << "the profile's signal, dashed";
    EXPECT_DOUBLE_EQ(slot(5).y[149], 900.0);
    EXPECT_TRUE(slot(5).dashed);
    EXPECT_TRUE(graph.model.usesRightAxis(5));
    EXPECT_FALSE(graph.model.usesRightAxis(0));
    EXPECT_EQ(slot(3).count(), 0);
    EXPECT_EQ(view().rightAxisProfileTitle(), "detector units");
    // Our 100 samples last 5 s: the YY auto-scale takes the profile's first 50 points.
    EXPECT_NEAR(view().axes().yyRange().max, 100.5, 1e-9);
    EXPECT_DOUBLE_EQ(view().axes().yRange().max, 2.0) << "ours keep the left axis as typed";
    EXPECT_TRUE(slot(4).markStyle);
    EXPECT_EQ(ticks(4).size(), 2u);
    // Its tubes rise by 1 (not an automatic fraction's 2) drawn as tall as its values.
    EXPECT_EQ(*std::max_element(slot(4).y.begin(), slot(4).y.end()), 1.0);
    EXPECT_DOUBLE_EQ(slot(4).yGain, 900.0);

    // AUTO-ALIGN lines the profile's peak up with ours.
    ASSERT_TRUE(logic.overlays().startAutoAlign());
    ASSERT_TRUE(logic.overlays().finishAutoAlign(0.0, 0.3));
    // Offsets are whole samples: within half the profile's point spacing.
    const double halfStep = (slot(5).x[150] - slot(5).x[149]) / 2.0;
    EXPECT_NEAR(slot(5).x[149], slot(0).x[60], halfStep + 1e-9);

    // Taken off, our run is on mm again when asked.
    logic.overlays().toggleOverlay();
    view().setXAxisType(XAxisType::Millimetres);
    EXPECT_EQ(view().axes().xAxisType(), XAxisType::Millimetres);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).x[60], 6.0);

    // A table without a unit has only its points: both by sample number.
    ASSERT_TRUE(logic.overlays().loadOverlay(table));
    EXPECT_EQ(view().axes().xAxisType(), XAxisType::SampleNumber);
    EXPECT_DOUBLE_EQ(slot(5).x[40], 40.0);
    EXPECT_DOUBLE_EQ(slot(5).y[40], 2.0);

    // An .asc profile is in AU (its mAU over 1000): on the left beside ours.
    ASSERT_TRUE(logic.overlays().loadOverlay(asc));
    EXPECT_DOUBLE_EQ(slot(3).y[120], 0.95);
    EXPECT_EQ(view().rightAxisProfileTitle(), "");
}

class ProfileCompare : public ProfileView {
protected:
    void compare(const std::vector<std::filesystem::path>& files, XAxisType axis = XAxisType::SampleNumber) {
        ASSERT_EQ(session.load(files), "");
        ViewSettings s;
        s.yAutoScale = true;
        s.xAutoScale = true;
        session.show(kPlotAbsA, {255, 255 << 8, 255 << 16, 0}, {}, s, axis);
    }
    GraphView compareView{graph};
    CompareSession session{compareView, prompter, dir.path()};
    test::ManualClock cursorClock;
    GraphCursors cursors{prompter, cursorClock};
    GraphOverlays compareOverlays{GraphOverlays::Env{dir.path(), prompter, folders, compareView, {}}};
};

TEST_F(ProfileCompare, OursAndAnAscAreComparedInMlAndTheLegendSaysSo) {
    compare({ours, asc});
    EXPECT_EQ(compareView.axes().xAxisType(), XAxisType::Millilitres);
    EXPECT_DOUBLE_EQ(slot(0).x[60], 3.0) << "6 mm at 0.5 ml per mm";
    EXPECT_DOUBLE_EQ(slot(1).x[120], 6.0);
    EXPECT_DOUBLE_EQ(slot(1).y[120], 0.95);
    EXPECT_EQ(ticks(5).size(), 5u) << "the profile's fractions, in its own slot's mark slot";
    EXPECT_EQ(compareView.axes().yyRange(), (AxisRange{0.0, 1.0})) << "the marks' axis";
    EXPECT_EQ(session.channelLabel(), "Abs A against Volume (ml)");
    const auto page = graphPageContent(compareView, cursors, nullptr, {});
    EXPECT_EQ(page.compareLegend.columns.at(0).top, "x: Volume (ml)");
    EXPECT_EQ(page.compareLegend.rows.at(1).at(0).text, "fractions.asc");

    // AUTO-ALIGN moves the profile's peak (6 ml) onto ours (3 ml).
    ASSERT_TRUE(compareOverlays.startAutoAlign());
    ASSERT_TRUE(compareOverlays.finishAutoAlign(0.0, 9.9));
    // Offsets are whole samples: within half the profile's point spacing.
    EXPECT_NEAR(slot(1).x[120], 3.0, (slot(1).x[121] - slot(1).x[120]) / 2.0 + 1e-9);
    EXPECT_NEAR(compareView.offsets().xOffset(1), -60.0, 0.5) << "in the profile's own points";
    EXPECT_EQ(compareView.offsets().xOffset(1), std::round(compareView.offsets().xOffset(1)));
}

TEST_F(ProfileCompare, SetsWithoutACommonUnitGoBySampleNumberAndOursAloneKeepTheirAxis) {
    compare({pks, asc, table});
    EXPECT_EQ(compareView.axes().xAxisType(), XAxisType::SampleNumber);
    EXPECT_DOUBLE_EQ(slot(0).x[149], 149.0);
    EXPECT_DOUBLE_EQ(slot(2).y[40], 2.0);
    EXPECT_EQ(session.channelLabel(), "Abs A against Sample");
    EXPECT_EQ(graphPageContent(compareView, cursors, nullptr, {}).compareLegend.columns.at(0).top,
              "x: Sample Number");
    EXPECT_EQ(session.listLines().at(0), "old.pks, 300 samples");

    // The profile shown with ours: minutes where both have them.
    compare({ours, pks}, XAxisType::Millimetres);
    EXPECT_EQ(compareView.axes().xAxisType(), XAxisType::Minutes);

    // Our runs alone keep the axis asked for and no note.
    compare({ours, dir.write("ours2.csv", runText(90, 30))}, XAxisType::Millimetres);
    EXPECT_EQ(compareView.axes().xAxisType(), XAxisType::Millimetres);
    EXPECT_EQ(session.channelLabel(), "Abs A");
    EXPECT_EQ(graphPageContent(compareView, cursors, nullptr, {}).compareLegend.columns.at(0).top, "");
}

// Every dialog that opens runs to show starts on a filter that lists our
// runs and the profiles together.
TEST_F(ProfileCompare, EveryOpenDialogStartsOnAFilterListingRunsAndProfiles) {
    prompter.scriptFile(std::nullopt);
    EXPECT_FALSE(logic.files().openDataFile());
    prompter.scriptFile(std::nullopt);
    EXPECT_FALSE(logic.overlays().toggleOverlay());
    const auto requests = prompter.fileRequests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        const std::string first = request.filter.substr(0, request.filter.find('|', request.filter.find('|') + 1));
        for (const char* pattern : {"*.csv", "*.txt", "*.pks", "*.asc", "*.tsv"}) {
            EXPECT_NE(first.substr(first.find('|')).find(pattern), std::string::npos) << pattern << " in " << first;
        }
        EXPECT_NE(request.filter.find("|CSV Text Files (*.csv)|*.csv|"), std::string::npos) << "the others stay";
        EXPECT_TRUE(request.filter.ends_with("|All Files (*.*)|*.*||"));
    }
}

// A table of more than two columns is asked its columns when it is opened:
// in the main window, as the overlay and in the compare window, where a set
// keeps its columns when others are added. A cancel changes nothing.
TEST_F(ProfileCompare, ATableOfMoreColumnsIsAskedItsColumnsWhereverItIsOpened) {
    const auto wide = dir.write("wide.tsv", wideText(100));
    prompter.scriptColumns(ColumnChoice{0, 3});
    ASSERT_TRUE(logic.files().showDataFile(wide));
    ASSERT_EQ(prompter.columnRequests().size(), 1u);
    const auto request = prompter.columnRequests().front();
    EXPECT_EQ(request.fileName, "wide.tsv");
    EXPECT_EQ(request.columns, (std::vector<std::string>{"Volume (ml)", "Note", "A260 (mAU)", "A280 (mAU)"}));
    EXPECT_EQ(ColumnChoice(request.x, request.y), (ColumnChoice{0, 1})) << "the first two preselected";
    logic.refreshGraph();
    EXPECT_EQ(view().axes().xAxisType(), XAxisType::Millilitres);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).x[60], 6.0);
    EXPECT_DOUBLE_EQ(slot(kSlotAbsA).y[60], 0.8) << "A280 in AU";

    prompter.scriptColumns(std::nullopt);
    EXPECT_FALSE(logic.files().showDataFile(dir.write("other.tsv", wideText(50))));
    EXPECT_EQ(view().scene().setPath(0), wide) << "cancelled: the table shown stays";
    EXPECT_TRUE(prompter.texts().back().starts_with("other.tsv")) << "and no message follows";
    ASSERT_TRUE(logic.files().showDataFile(table));
    EXPECT_EQ(prompter.columnRequests().size(), 2u) << "two columns: nothing to ask";
    prompter.scriptColumns(ColumnChoice{2, 1});
    EXPECT_FALSE(logic.files().showDataFile(wide)) << "the Note column holds text";
    EXPECT_EQ(prompter.texts().back(), "Invalid data header found in file: " + wide.string() +
                                           "; not a table profile: line 32: column 2 holds \"peak\", not a number");

    ASSERT_TRUE(logic.files().showDataFile(ours));
    prompter.scriptColumns(ColumnChoice{0, 2});
    ASSERT_TRUE(logic.overlays().loadOverlay(wide));
    EXPECT_DOUBLE_EQ(slot(3).y[30], 0.9) << "the overlay's A260";

    prompter.scriptColumns(ColumnChoice{0, 3});
    ASSERT_TRUE(session.takeFiles({ours, wide}, kPlotAbsA, {255, 255 << 8, 255 << 16, 0}));
    EXPECT_DOUBLE_EQ(slot(1).y[60], 0.8);
    ASSERT_TRUE(session.takeFiles({ours, wide, asc}, kPlotAbsA, {255, 255 << 8, 255 << 16, 0}));
    EXPECT_EQ(prompter.columnRequests().size(), 5u) << "a set shown is not asked again";
    EXPECT_DOUBLE_EQ(slot(1).y[60], 0.8) << "and keeps its columns";
    prompter.scriptColumns(std::nullopt);
    EXPECT_FALSE(session.takeFiles({ours, dir / "other.tsv"}, kPlotAbsA, {255, 255 << 8, 255 << 16, 0}));
    EXPECT_EQ(session.sets().size(), 3u) << "cancelled: the sets stay";
    EXPECT_EQ(prompter.unscripted(), 0);
}

// A profile drawn on the right in the ratio's slot: the legend and the
// page name it by its unit and its marks as marks, never as a ratio; the
// page reads a profile's one channel only.
TEST_F(ProfileView, TheLegendAndThePageNameAProfileByWhatIsDrawn) {
    ASSERT_TRUE(logic.files().showDataFile(ours));
    ASSERT_TRUE(logic.overlays().loadOverlay(pks));
    const GraphLegend drawn = traceLegend(view(), graph.model);
    std::vector<std::string> names;
    for (const LegendEntry& e : drawn) names.push_back(e.name + "|" + e.file);
    EXPECT_EQ(names, (std::vector<std::string>{"Abs A|ours.csv", "Abs B|ours.csv", "Mark|old.pks",
                                               "detector units|old.pks"}));
    EXPECT_TRUE(drawn[2].marks);
    EXPECT_TRUE(drawn[3].dashed);
    EXPECT_EQ(drawn[3].colour, slot(5).colour);

    PageSource source;
    source.drawn = drawn;
    const GraphPageContent page = graphPageContent(view(), logic.cursors(), &logic.overlays(), {}, nullptr, source);
    std::vector<std::string> rows;
    for (const auto& row : page.overlayLegend.rows) rows.push_back(row[0].text);
    EXPECT_EQ(rows, (std::vector<std::string>{"(Abs A)", "(Abs B)", "(Mark)", "(detector units)"}));
    EXPECT_EQ(page.yyTitle, "detector units");

    // The profile alone, read at a cursor: its value, nothing of a channel B.
    ASSERT_TRUE(logic.files().showDataFile(pks));
    ASSERT_TRUE(logic.cursors().add(0.25));
    const GraphPageContent alone = graphPageContent(view(), logic.cursors(), &logic.overlays(), {});
    ASSERT_FALSE(alone.readouts.empty());
    for (const std::string& line : alone.readouts[0]) {
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
        EXPECT_EQ(line.find("Abs B"), std::string::npos) << line;
    }
    EXPECT_EQ(alone.readouts[0].size(), 3U);
    EXPECT_EQ(traceLegend(view(), graph.model).at(0).name, "detector units");
}

TEST_F(ProfileView, CommandsThatWriteARunOfOursFromTheFileShownRefuseAProfile) {
    ASSERT_TRUE(logic.files().showDataFile(pks));
    logic.files().saveGraphDataAs();
    EXPECT_TRUE(prompter.fileRequests().empty()) << "refused before the save dialog";
    EXPECT_EQ(prompter.texts().back(), "Error, " + pks.string() +
                                           " is a profile of another instrument (pks): profiles are read-only, and "
                                           "Save Graph Data As takes only run files of ours.");

    prompter.scriptFile(asc.string());
    EXPECT_FALSE(logic.overlays().chooseRunForStandard());
    EXPECT_EQ(prompter.texts().back(), "Error, " + asc.string() +
                                           " is a profile of another instrument (asc): profiles are read-only, and "
                                           "Create Standard Run takes only run files of ours.");
    // A run of ours without a plan keeps the message it always had.
    const auto broken = dir.write("broken.csv", "not a run at all\n");
    prompter.scriptFile(broken.string());
    EXPECT_FALSE(logic.overlays().chooseRunForStandard());
    EXPECT_EQ(prompter.texts().back(), "Error, could not load file: " + broken.string());
}

}  // namespace
}  // namespace corvane
