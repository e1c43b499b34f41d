// The fractions a run collected by peaks was cut into, numbered on the
// graph as a standard run's zones are: a saved run's from the table in its
// header (on the mm and the ml axis, marks labelled with the fraction they
// end), and a live run's as they are cut.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelGraph.h"
#include "RecordingPoster.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "base/TextFormat.h"
#include "display/GraphView.h"
#include "display/LiveFeed.h"
#include "graph/GraphGeometry.h"
#include "runs/PeakCollection.h"

namespace corvane {
namespace {

using ::testing::ElementsAre;
using test::ModelGraph;

constexpr int kWidth = 400;
constexpr int kHeight = 200;

// A DE-1 run of 0.1 mm samples from 0 to 20 mm, 0.5 ml per mm, its marks at
// `marks` and, when given, a fractions block.
std::string de1Run(const std::vector<double>& marks, const std::vector<CollectedFraction>& fractions) {
    std::string text =
        "Corvane Text Data File: peaks.csv\nVersion: 1\n\nUV Unit: DE-1\nVolume per mm: 0.500 ml/mm\n\n"
        "Absorbance Units Full Scale (AUFS): 2.00\nSamples / sec: 10 Hz\nEM1 Speed: 0.30 mm/sec\n"
        "Dead Volume: 0.000000 ml; Distance due to Dead Volume: 0.00 mm\n\n";
    if (!fractions.empty()) {
        PeakCollection settings;
        settings.enabled = true;
        settings.startLevel = 0.05;
        text += fractionTableBlock({settings, 0.0, fractions}) + "\n";
    }
    text += "Data Columns:\nDistance(mm), Absorbance, Fraction Number, Fraction Volume(ml)\n";
    int mark = 0;
    for (int i = 0; i <= 200; ++i) {
        const double mm = 0.1 * i;
        const bool marked = mark < static_cast<int>(marks.size()) && std::abs(marks[mark] - mm) < 1e-9;
        if (marked) {
            ++mark;
            text += formatText("%.2f, 0.100000, %d, 1.000\n", mm, mark);
        } else {
            text += formatText("%.2f, 0.100000, , \n", mm);
        }
    }
    return text;
}

// Between, peak 1, a part of peak 1 begun by hand, between.
const std::vector<CollectedFraction> kCut = {
    {1, 0.0, 5.0, 0}, {2, 5.0, 8.0, 1}, {3, 8.0, 8.5, 1, true}, {4, 8.5, 20.0, 0}};

struct Numbers {
    std::vector<int> columns;
    std::vector<std::string> labels;
};

Numbers boundaryNumbers(const GraphModel& model, std::optional<int> lastTick = std::nullopt) {
    std::vector<double> scratch;
    std::vector<BoundaryTick> ticks;
    GraphGeometry(model, kWidth, kHeight).boundaryTicks(lastTick, scratch, ticks);
    Numbers out;
    for (const auto& t : ticks) {
        // The number stands just left of its tick (a tick on the right edge is not drawn).
        out.columns.push_back(t.label.rect.right + 1);
        out.labels.emplace_back(t.label.text.data());
    }
    return out;
}

Numbers markNumbers(const GraphModel& model) {
    std::optional<int> last;
    std::vector<MarkTick> ticks;
    GraphGeometry(model, kWidth, kHeight).markTicks(kSlotRatio, last, ticks);
    Numbers out;
    for (const auto& t : ticks) {
        out.columns.push_back(t.line->from.x);
        out.labels.emplace_back(t.label.text.data());
    }
    return out;
}

class FractionNumbers : public ::testing::Test {
protected:
    FractionNumbers() {
        ViewSettings s;
        s.shown = {false, false, true, false, false, true, true};
        s.xAutoScale = true;
        view.apply(s);
    }
    void show(const std::string& name, const std::string& text) {
        const auto path = dir.write(name, text);
        RunDataFile file;
        ASSERT_EQ(file.parse(text), RunDataFile::ReadStatus::Ok);
        view.showFile(std::move(file), path);
        view.refresh();
    }
    int column(double x) const {
        const auto& m = graph.model;
        return static_cast<int>((x - m.xMin()) / (m.xMax() - m.xMin()) * kWidth);
    }

    test::TempDir dir;
    test::ManualClock clock;
    test::RecordingPoster poster;
    LiveFeed feed{clock, poster};
    ModelGraph graph;
    GraphView view{graph, feed};
};

TEST_F(FractionNumbers, ASavedRunNumbersItsFractionsAtTheirEndsAndItsMarksByTheFractionTheyEnd) {
    show("peaks.csv", de1Run({5.0, 8.0, 8.5}, kCut));
    // By sample number (the rows are 0.1 mm apart): the rows the ends fall on.
    ASSERT_EQ(view.axes().xAxisType(), XAxisType::SampleNumber);
    const auto bySample = boundaryNumbers(graph.model);
    EXPECT_THAT(bySample.labels, ElementsAre("1", "2", "3", "4"));
    ASSERT_EQ(bySample.columns.size(), 4u);
    EXPECT_EQ(bySample.columns[1], column(80.0));
    EXPECT_EQ(bySample.columns[2], column(85.0));

    view.setXAxisType(XAxisType::Millimetres);
    ASSERT_EQ(graph.model.xMin(), 0.0);
    ASSERT_EQ(graph.model.xMax(), 20.0);
    const auto ends = boundaryNumbers(graph.model);
    EXPECT_THAT(ends.labels, ElementsAre("1", "2", "3", "4"));
    ASSERT_EQ(ends.columns.size(), 4u);
    EXPECT_EQ(ends.columns[0], column(5.0));
    EXPECT_EQ(ends.columns[1], column(8.0));
    EXPECT_EQ(ends.columns[2], column(8.5));
    EXPECT_EQ(ends.columns[3], column(20.0));  // the run's end, on the plot's right edge
    const auto marks = markNumbers(graph.model);
    EXPECT_THAT(marks.labels, ElementsAre("1", "2", "3"));
    EXPECT_THAT(marks.columns, ElementsAre(column(5.0), column(8.0), column(8.5)));

    // On the volume axis the same ends, at 0.5 ml per mm.
    view.setXAxisType(XAxisType::Millilitres);
    ASSERT_DOUBLE_EQ(graph.model.xMax(), 10.0);
    const auto ml = boundaryNumbers(graph.model);
    EXPECT_THAT(ml.labels, ElementsAre("1", "2", "3", "4"));
    EXPECT_EQ(ml.columns[1], column(4.0));
    EXPECT_EQ(ml.columns[2], column(4.25));
    EXPECT_THAT(markNumbers(graph.model).labels, ElementsAre("1", "2", "3"));
}

TEST_F(FractionNumbers, ARunCutAnyOtherWayShowsNoNumbersAndLeavesNoneBehind) {
    show("peaks.csv", de1Run({5.0, 8.0, 8.5}, kCut));
    ASSERT_NE(graph.model.fractionPlan(), nullptr);
    show("plain.csv", de1Run({5.0, 8.0}, {}));
    EXPECT_EQ(graph.model.fractionPlan(), nullptr);
    EXPECT_TRUE(boundaryNumbers(graph.model).labels.empty());
    // Its marks carry no numbers of the run before.
    const auto marks = markNumbers(graph.model);
    ASSERT_EQ(marks.labels.size(), 2u);
    EXPECT_EQ(marks.labels[0], "");
}

TEST_F(FractionNumbers, ALiveRunNumbersTheFractionsCutSoFarAndTheWholeTableAtItsEnd) {
    std::vector<CollectedFraction> cut = {{1, 0.0, 5.0, 0}, {2, 5.0, 5.5, 1}};
    LiveRunState run;
    run.de1Source = true;
    run.recording = true;
    run.collectedFractions = [&] { return cut; };
    view.setLiveRun(run);
    view.change([](AxisState& axes) { axes.setXAxisType(XAxisType::Millimetres, AxisRange{0.0, 20.0}); });
    for (int i = 1; i <= 60; ++i) {
        SampleRecord r;
        r.positionA = r.positionB = 0.1 * i;
        r.absorbanceA = 0.1;
        feed.add(r);
    }
    view.refresh();
    view.syncLive();
    // The open fraction's end is not known yet: only the first is numbered.
    EXPECT_THAT(boundaryNumbers(graph.model).labels, ElementsAre("1"));
    const int before = graph.rebuilds;

    // The peak ends: a new number, painted whole.
    cut.back().to = 5.5;
    cut.push_back({3, 5.5, 5.8, 0});
    view.syncLive();
    EXPECT_THAT(boundaryNumbers(graph.model).labels, ElementsAre("1", "2"));
    EXPECT_GT(graph.rebuilds, before);
    const int after = graph.rebuilds;
    view.syncLive();
    EXPECT_EQ(graph.rebuilds, after) << "nothing new, nothing painted whole";

    // Stopped: the table is whole, its last fraction numbered too.
    run.recording = false;
    view.setLiveRun(run);
    view.refresh();
    EXPECT_THAT(boundaryNumbers(graph.model).labels, ElementsAre("1", "2", "3"));
}

}  // namespace
}  // namespace corvane
