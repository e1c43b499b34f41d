// The analysis window's logic: areas and ratios that follow a dragged
// valley, the baseline and the smoothing at once; the table and its CSV;
// the marks laid on the graph and dragged with the mouse.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "ModelGraph.h"
#include "SyntheticProfiles.h"
#include "analysis/Regions.h"
#include "base/TextFormat.h"
#include "display/AnalysisLayer.h"
#include "display/AnalysisState.h"
#include "display/GraphView.h"
#include "display/RunTraces.h"
#include "display/Scene.h"

namespace corvane {
namespace {

using test::Bump;
using test::ModelGraph;

using test::polysomeBumps;
using test::polysomeProfile;
constexpr double kFloor = 0.05;
constexpr double kStep = 0.05;

// The exact area of the bumps (above the floor) from x a to x b.
double bumpArea(double a, double b) {
    double area = 0.0;
    for (const auto& bump : polysomeBumps()) {
        const auto phi = [&](double x) { return 0.5 * std::erfc(-(x - bump.centre) / (bump.width * std::sqrt(2.0))); };
        area += bump.area() * (phi(b) - phi(a));
    }
    return area;
}

AnalysisSource sourceOf(Profile p, std::string name, std::string group = {}) {
    return {std::move(name), std::move(group), std::nullopt, std::move(p)};
}

const RegionArea& region(const AnalysisState& s, int set, const std::string& name) {
    const RegionArea* r = findRegion(s.analysis(set).regions, name);
    EXPECT_NE(r, nullptr) << name;
    static const RegionArea none;
    return r != nullptr ? *r : none;
}

int boundaryIndex(const AnalysisState& s, int set, double position) {
    const auto edges = s.boundaries(set);
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (std::abs(edges[k] - position) < 1e-9) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

class AnalysisOfOneProfile : public ::testing::Test {
protected:
    AnalysisOfOneProfile() {
        token = state.listen([this] { ++notices; });
        state.setSources({sourceOf(polysomeProfile(), "a.pks")});
    }
    AnalysisState state;
    ChangeNotice::Token token;
    int notices = 0;
};

TEST_F(AnalysisOfOneProfile, DraggingTheValleyBetween60SAnd80SMovesAreaFromOneToTheOther) {
    ASSERT_TRUE(state.analysis(0).ok()) << state.analysis(0).problem;
    const Profile& p = state.source(0).profile;
    const Region s60 = region(state, 0, "60S").region;
    const Region s80 = region(state, 0, "80S").region;
    ASSERT_DOUBLE_EQ(s60.to, s80.from);
    const double total = region(state, 0, "total").area;
    const double polysomes = region(state, 0, "polysomes").area;

    const int k = boundaryIndex(state, 0, s60.to);
    ASSERT_GE(k, 0);
    const int before = notices;
    const double moved = s60.to + 30.5;  // 1.525 mm further, between two samples
    ASSERT_TRUE(state.moveBoundary(0, k, moved));
    EXPECT_EQ(notices, before + 1);
    EXPECT_TRUE(state.userBoundaries(0));

    // The areas follow the boundary: against the bumps' closed form.
    const double x60 = xAtPosition(p.x, s60.from);
    const double xValley = xAtPosition(p.x, moved);
    const double x80 = xAtPosition(p.x, s80.to);
    EXPECT_NEAR(region(state, 0, "60S").area, bumpArea(x60, xValley), 0.005 * bumpArea(x60, xValley));
    EXPECT_NEAR(region(state, 0, "80S").area, bumpArea(xValley, x80), 0.005 * bumpArea(xValley, x80));
    EXPECT_NEAR(region(state, 0, "total").area, total, 1e-9 * total);
    EXPECT_NEAR(region(state, 0, "polysomes").area, polysomes, 1e-9 * polysomes);
    ASSERT_TRUE(state.analysis(0).ratios.pm.value);
    EXPECT_NEAR(*state.analysis(0).ratios.pm.value, polysomes / region(state, 0, "80S").area, 1e-9);
}

TEST_F(AnalysisOfOneProfile, ABoundaryStopsShortOfItsNeighboursAndKeepsItsPlaceInTheOrder) {
    const auto edges = state.boundaries(0);
    ASSERT_GE(edges.size(), 4u);
    ASSERT_TRUE(state.moveBoundary(0, 2, edges[3] + 500.0));
    const auto after = state.boundaries(0);
    ASSERT_EQ(after.size(), edges.size());
    EXPECT_LT(after[2], edges[3]);
    EXPECT_GT(after[2], edges[3] - 1.0);
    EXPECT_DOUBLE_EQ(after[3], edges[3]);
    // Nothing beyond the list, and nothing that is not a number.
    EXPECT_FALSE(state.moveBoundary(0, static_cast<int>(edges.size()), 10.0));
    EXPECT_FALSE(state.moveBoundary(0, 1, std::nan("")));
    EXPECT_FALSE(state.moveBoundary(1, 1, 10.0));
}

TEST_F(AnalysisOfOneProfile, ABaselineRaisedTakesItsHeightTimesTheWidthFromEveryRegionAndKeepsDraggedBoundaries) {
    const Region s80 = region(state, 0, "80S").region;
    ASSERT_TRUE(state.moveBoundary(0, boundaryIndex(state, 0, s80.to), s80.to - 10.0));
    const Profile& p = state.source(0).profile;
    const RegionArea before = region(state, 0, "80S");
    const double level = state.analysis(0).baseline.level;
    const int notices0 = notices;
    state.setBaselineLevel(level + 0.02);
    EXPECT_EQ(notices, notices0 + 1);
    const RegionArea after = region(state, 0, "80S");
    EXPECT_DOUBLE_EQ(after.region.to, before.region.to);  // the dragged boundary stayed
    const double width = xAtPosition(p.x, after.region.to) - xAtPosition(p.x, after.region.from);
    EXPECT_NEAR(after.area, before.area - 0.02 * width, 1e-9);
    EXPECT_EQ(state.analysis(0).baseline.kind, BaselineKind::Constant);

    state.automaticRegions(0);
    EXPECT_FALSE(state.userBoundaries(0));
    EXPECT_NE(region(state, 0, "80S").region.to, before.region.to);
}

TEST_F(AnalysisOfOneProfile, SmoothingChangesWhereFeaturesAreFoundNotTheAreasOfGivenRegions) {
    const auto edges = state.boundaries(0);
    ASSERT_TRUE(state.moveBoundary(0, 1, edges[1] + 4.0));
    const double area = region(state, 0, "40S").area;
    Smoothing none;
    none.kind = SmoothingKind::None;
    const int before = notices;
    state.setSmoothing(none);
    EXPECT_EQ(notices, before + 1);
    EXPECT_EQ(state.analysis(0).smoothing.kind, SmoothingKind::None);
    EXPECT_DOUBLE_EQ(region(state, 0, "40S").area, area);  // areas are of the recorded values
}

TEST(AnalysisTableAndCsv, ARowPerProfileAndTheGroupsMeanAndSdAsAnalyzeWritesThem) {
    AnalysisState state;
    // The same pattern at three loads: P/M is the same in each, 60S/40S too.
    Profile b = polysomeProfile();
    Profile c = polysomeProfile();
    for (std::size_t i = 0; i < b.y.size(); ++i) {
        b.y[i] = kFloor + 2.0 * (b.y[i] - kFloor);
        c.y[i] = kFloor + 0.5 * (c.y[i] - kFloor) + (i % 2 == 0 ? 1e-4 : -1e-4);
    }
    state.setSources({sourceOf(polysomeProfile(), "a.pks", "wt"), sourceOf(b, "b.pks", "wt"),
                      sourceOf(c, "c,odd.txt", "wt"), sourceOf(polysomeProfile(), "d.pks", "ko")});
    const auto groups = state.groups();
    ASSERT_EQ(groups.size(), 1u);  // "ko" has one profile: no spread
    EXPECT_EQ(groups[0].analysed, 3u);
    const double pm = *state.analysis(0).ratios.pm.value;
    EXPECT_NEAR(groups[0].ratios.pm.mean, pm, 0.01 * pm);
    EXPECT_LT(groups[0].ratios.pm.sd, 0.01 * pm);

    const AnalysisTable table = analysisTable(state);
    ASSERT_EQ(table.rows.size(), 4u + 2u);
    EXPECT_EQ(table.header.front(), "profile");
    EXPECT_EQ(table.rows[4][0], "wt mean (n=3)");
    EXPECT_EQ(table.rows[5][0], "wt SD (n=3)");
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(table.header.begin(), table.header.end(), name) - table.header.begin());
    };
    EXPECT_NEAR(std::stod(table.rows[0][column("P/M")]), pm, 1e-4 * pm);
    const double area80 = region(state, 0, "80S").area;
    EXPECT_NEAR(std::stod(table.rows[0][column("80S")]), area80, 1e-4 * area80);
    EXPECT_NEAR(std::stod(table.rows[4][column("P/M")]), groups[0].ratios.pm.mean, 1e-4 * pm);

    // The CSV as analyze writes it: same columns, a name holding a comma
    // quoted.
    const std::string plain = state.csv();
    EXPECT_EQ(plain.rfind("file,group,format,channel,samples,x_unit,smooth,baseline,baseline_value,", 0), 0u);
    EXPECT_NE(plain.find("\"c,odd.txt\",wt,"), std::string::npos);
    EXPECT_NE(plain.find("\n,wt,"), std::string::npos);  // the group's row
    EXPECT_NE(plain.find(reportNumber(pm)), std::string::npos);
}

TEST(AnalysisTableAndCsv, AProfileThatCannotBeAnalysedIsARowWithItsReason) {
    AnalysisState state;
    Profile tiny;
    tiny.x = {0.0, 1.0};
    tiny.y = {0.1, 0.2};
    state.setSources({sourceOf(tiny, "tiny.txt"), sourceOf(polysomeProfile(), "a.pks")});
    EXPECT_FALSE(state.analysis(0).ok());
    const AnalysisTable table = analysisTable(state);
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_NE(table.rows[0].back().find("too few samples"), std::string::npos);
    EXPECT_TRUE(table.warned[0]);
    EXPECT_TRUE(state.boundaries(0).empty());
    EXPECT_FALSE(state.moveBoundary(0, 0, 1.0));
}

// --- On the graph ---

std::string runTextOf(const Profile& p) { return test::runFileText(p); }

class AnalysisOnTheGraph : public ::testing::Test {
protected:
    AnalysisOnTheGraph() {
        RunDataFile file;
        EXPECT_EQ(file.parse(runTextOf(polysomeProfile())), RunDataFile::ReadStatus::Ok);
        view.showFile(std::move(file), "/runs/run1.csv");
        view.setXAxisType(XAxisType::Millimetres);
        view.refresh();
    }
    PlotFrame plot() const { return {1100, 500, view.axes().xRange(), view.axes().yRange()}; }

    ModelGraph graph;
    GraphView view{graph};
    AnalysisState state;
};

TEST_F(AnalysisOnTheGraph, TheRunsRegionsValleysAndBaselineAreDrawnOnItsAxisAndGoWithTheLayer) {
    {
        AnalysisLayer layer(state, view, graph);
        ASSERT_EQ(state.size(), 1);
        EXPECT_EQ(state.source(0).name, "run1.csv");
        const GraphAnnotations& marks = graph.model.annotations();
        ASSERT_FALSE(marks.regions.empty());
        const Region s80 = region(state, 0, "80S").region;
        const auto shaded = std::find_if(marks.regions.begin(), marks.regions.end(),
                                         [](const ShadedRegion& r) { return r.name == "80S"; });
        ASSERT_NE(shaded, marks.regions.end());
        EXPECT_NEAR(shaded->from, s80.from * kStep, 1e-6);  // mm on a mm axis
        EXPECT_EQ(std::count_if(marks.regions.begin(), marks.regions.end(),
                                [](const ShadedRegion& r) { return r.name == "total"; }),
                  0);
        ASSERT_EQ(marks.baseline.size(), 2u);
        EXPECT_NEAR(marks.baseline[0].second, kFloor, 0.002);

        // By sample number the same marks sit at the samples.
        view.setXAxisType(XAxisType::SampleNumber);
        const auto again = std::find_if(graph.model.annotations().regions.begin(),
                                        graph.model.annotations().regions.end(),
                                        [](const ShadedRegion& r) { return r.name == "80S"; });
        EXPECT_NEAR(again->from, s80.from, 1e-6);
    }
    EXPECT_TRUE(graph.model.annotations().empty());
}

TEST_F(AnalysisOnTheGraph, AProfileAddedToTheTableStaysWhenAnotherRunIsShownAndIsNotDrawn) {
    AnalysisLayer layer(state, view, graph);
    AnalysisSource imported = sourceOf(polysomeProfile(), "other.pks");
    state.addSource(imported);
    ASSERT_EQ(state.size(), 2);
    EXPECT_TRUE(state.analysis(1).ok());
    const GraphAnnotations runMarks = graph.model.annotations();

    layer.setShownSet(1);
    EXPECT_TRUE(graph.model.annotations().empty());
    EXPECT_FALSE(layer.press({500, 250}, plot()));

    RunDataFile other;
    ASSERT_EQ(other.parse(runTextOf(polysomeProfile(0.2))), RunDataFile::ReadStatus::Ok);
    view.showFile(std::move(other), "/runs/run2.csv");
    view.refresh();
    ASSERT_EQ(state.size(), 2);
    EXPECT_EQ(state.source(0).name, "run2.csv");
    EXPECT_EQ(state.source(1).name, "other.pks");
    EXPECT_EQ(layer.shownSet(), 0);
    EXPECT_FALSE(graph.model.annotations().empty());
    EXPECT_NEAR(graph.model.annotations().baseline[0].second, 0.2, 0.002);
    EXPECT_EQ(graph.model.annotations().regions.size(), runMarks.regions.size());
}

TEST_F(AnalysisOnTheGraph, TheMouseDragsAValleyAndTheBaselineAndLeavesTheRestToTheGraph) {
    AnalysisLayer layer(state, view, graph);
    const PlotFrame frame = plot();
    const Region s80 = region(state, 0, "80S").region;
    const int k = boundaryIndex(state, 0, s80.from);
    ASSERT_GE(k, 0);
    const int px = frame.pxOf(layer.marks().boundaries[static_cast<std::size_t>(k)]);
    const int row = frame.height / 2;

    // Far from every mark the press is the graph's.
    EXPECT_FALSE(layer.press({px + 3 * AnalysisLayer::kGrabPixels, row - 200}, frame));
    EXPECT_FALSE(layer.release({px + 3 * AnalysisLayer::kGrabPixels, row - 200}, frame));

    EXPECT_FALSE(layer.move({px + 2, row}, frame));  // hovering lights it up
    EXPECT_EQ(graph.model.annotations().activeBoundary, k);
    ASSERT_TRUE(layer.press({px + 2, row}, frame));
    EXPECT_TRUE(layer.move({px - 20, row}, frame));
    EXPECT_TRUE(layer.release({px - 20, row}, frame));
    const double x = frame.xAt(px - 20);
    EXPECT_NEAR(xAtPosition(state.source(0).profile.x, region(state, 0, "80S").region.from), x, kStep);
    EXPECT_NEAR(graph.model.annotations().boundaries[static_cast<std::size_t>(k)], x, kStep);

    // The baseline: grabbed on its row between the valleys, dragged up.
    const int baselineRow = static_cast<int>(std::lround(frame.height - (kFloor - frame.y.min) /
                                                                            (frame.y.max - frame.y.min) * frame.height));
    const int freeColumn = frame.pxOf(27.0);  // the 80S peak, far from every valley
    ASSERT_TRUE(layer.press({freeColumn, baselineRow + 1}, frame));
    EXPECT_TRUE(layer.release({freeColumn, baselineRow - 20}, frame));
    EXPECT_NEAR(state.analysis(0).baseline.level, frame.yAt(baselineRow - 20), 1e-9);
    EXPECT_NEAR(graph.model.annotations().baseline[0].second, frame.yAt(baselineRow - 20), 1e-9);
}

// A sloping baseline stays a line however it is dragged: by an end (the
// other stays where it was) or whole from its middle (its slope stays), the
// point held following the mouse.
TEST_F(AnalysisOnTheGraph, ASlopingBaselineDraggedByAnEndOrWholeStaysALine) {
    AnalysisLayer layer(state, view, graph);
    BaselineChoice line;
    line.kind = BaselineKind::Line;
    line.windows = {0, 3, 50, 55};
    state.setBaseline(line);
    const PlotFrame frame = plot();
    const Profile& p = state.source(0).profile;
    const auto rowOf = [&](double value) {
        return static_cast<int>(
            std::lround(frame.height - (value - frame.y.min) / (frame.y.max - frame.y.min) * frame.height));
    };
    const auto levelAt = [&](double x) { return state.analysis(0).baseline.at(0, x); };
    const auto drag = [&](double x, int by) {
        const int column = frame.pxOf(x);
        const int row = rowOf(levelAt(frame.xAt(column)));
        EXPECT_TRUE(layer.press({column, row}, frame)) << x;
        EXPECT_TRUE(layer.move({column, row + by / 2}, frame));
        EXPECT_TRUE(layer.release({column, row + by}, frame));
        return std::pair{frame.xAt(column), frame.yAt(row + by)};
    };
    const double x0 = p.x.front();
    const double x1 = p.x.back();

    // By its left end, between the 40S valley and the top peak: the right end stays.
    const double rightBefore = levelAt(x1);
    const auto [heldX, heldY] = drag(12.0, -30);
    ASSERT_EQ(state.analysis(0).baseline.kind, BaselineKind::Line);
    EXPECT_NEAR(levelAt(x1), rightBefore, 1e-12);
    EXPECT_NEAR(levelAt(heldX), heldY, 1e-9) << "the point held is under the mouse";
    EXPECT_GT(levelAt(x0), 0.05);

    // By its right end, after the polysomes: the left end stays.
    const double leftBefore = levelAt(x0);
    const auto [endX, endY] = drag(50.0, 25);
    EXPECT_NEAR(levelAt(x0), leftBefore, 1e-12);
    EXPECT_NEAR(levelAt(endX), endY, 1e-9);

    // Whole, from its middle: up by the drag, slope kept.
    const double slope = (levelAt(x1) - levelAt(x0)) / (x1 - x0);
    const double middleBefore = levelAt(27.0);
    const auto [midX, midY] = drag(27.0, -40);
    EXPECT_NEAR((levelAt(x1) - levelAt(x0)) / (x1 - x0), slope, 1e-12);
    EXPECT_NEAR(levelAt(midX), midY, 1e-9);
    EXPECT_GT(levelAt(27.0), middleBefore);

    // The marks follow: the drawn ends are the line's.
    const auto& drawn = graph.model.annotations().baseline;
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_NEAR(drawn.front().second, levelAt(x0), 1e-12);
    EXPECT_NEAR(drawn.back().second, levelAt(x1), 1e-12);

    // A level dragged stays a level.
    state.setBaselineLevel(0.05);
    drag(27.0, -10);
    EXPECT_EQ(state.analysis(0).baseline.kind, BaselineKind::Constant);
}

// The page a command draws takes the analysis's x on its own axis: by
// sample number where the axis counts samples (as analyze --x index), else on
// the run's own x (as --x native), the regions and a line's windows given in
// the axis's unit. On a run whose x is uneven the two differ, and the page
// must show what analyze reports for each.
TEST_F(AnalysisOnTheGraph, SettingsGivenOnThePageAxisGiveWhatAnalyzeGivesByIndexOrOnTheRunsX) {
    Profile uneven = polysomeProfile();
    for (std::size_t i = 0; i < uneven.size(); ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(uneven.size() - 1);
        uneven.x[i] = 55.0 * std::pow(t, 1.3);
        uneven.y[i] = kFloor + 0.002 * uneven.x[i];
        for (const auto& b : polysomeBumps()) uneven.y[i] += b.at(uneven.x[i]);
    }
    RunDataFile file;
    ASSERT_EQ(file.parse(runTextOf(uneven)), RunDataFile::ReadStatus::Ok);
    const Profile run = *profileFromRun(file, "run.csv", RunChannel::AbsA);
    view.showFile(std::move(file), "/runs/run.csv");
    struct Case {
        XAxisType axis;
        bool bySample;
        double unit;  // the axis's unit per unit of the analysis's x
    };
    const double mlPerMm = xUnitsOf(*view.scene().setFile(0), XAxisType::Millilitres).scale;
    for (const Case c : {Case{XAxisType::SampleNumber, true, 1.0}, Case{XAxisType::Millimetres, false, 1.0},
                         Case{XAxisType::Millilitres, false, mlPerMm}}) {
        view.setXAxisType(c.axis);
        view.refresh();
        // What analyze --x index|native --smooth sg:21:3 --region ... --baseline line:... is given.
        AnalysisSettings own;
        own.smoothing = *parseSmoothing("sg:21:3");
        own.baseline.kind = BaselineKind::Line;
        own.baseline.windows = c.bySample ? std::array<double, 4>{0, 60, 1000, 1100}
                                          : std::array<double, 4>{0, 3, 50, 55};
        own.regions = {{"a", c.bySample ? 300.0 : 15.0, c.bySample ? 500.0 : 25.0},
                       {"b", c.bySample ? 500.0 : 25.0, c.bySample ? 700.0 : 35.0}};
        AnalysisSettings onPage = own;
        for (auto& r : onPage.regions) {
            r.fromX *= c.unit;
            r.toX *= c.unit;
        }
        for (double& w : onPage.baseline.windows) w *= c.unit;

        setSettingsOnGraph(state, onPage, placementOf(view.scene(), view.axes(), 0));
        AnalysisLayer layer(state, view, graph);
        Profile analysed = run;
        if (c.bySample) {
            for (std::size_t i = 0; i < analysed.size(); ++i) analysed.x[i] = static_cast<double>(i);
        }
        const ProfileAnalysis expected = analyseProfile(analysed, own);
        const ProfileAnalysis& drawn = state.analysis(0);
        ASSERT_TRUE(drawn.ok()) << drawn.problem;
        ASSERT_EQ(drawn.regions.size(), expected.regions.size());
        for (std::size_t k = 0; k < expected.regions.size(); ++k) {
            EXPECT_NEAR(drawn.regions[k].region.from, expected.regions[k].region.from, 1e-9);
            EXPECT_NEAR(drawn.regions[k].region.to, expected.regions[k].region.to, 1e-9);
            EXPECT_NEAR(drawn.regions[k].area, expected.regions[k].area, 1e-9);
        }
        EXPECT_NEAR(drawn.baseline.level, expected.baseline.level, 1e-12);
        EXPECT_NEAR(drawn.baseline.toLevel, expected.baseline.toLevel, 1e-12);
        EXPECT_NEAR(drawn.baseline.fromX, expected.baseline.fromX, 1e-9);
        EXPECT_NEAR(drawn.baseline.toX, expected.baseline.toX, 1e-9);
        // The line drawn under the first and last samples is the one analysed.
        const auto& line = graph.model.annotations().baseline;
        ASSERT_EQ(line.size(), 2u);
        EXPECT_NEAR(line[0].second, expected.baseline.at(0, analysed.x.front()), 1e-12);
        EXPECT_NEAR(line[1].second, expected.baseline.at(analysed.size() - 1, analysed.x.back()), 1e-12);
        EXPECT_EQ(analysisTable(state).rows.size(), 1u);
    }
}

}  // namespace
}  // namespace corvane
