// View > Analysis offscreen: the panel beside the graph of a run and of the
// compare window, its table following a valley dragged with the mouse and
// a baseline chosen, Save CSV, and the marks gone with the panel.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMouseEvent>
#include <QHeaderView>
#include <QImage>
#include <QTableWidget>
#include <algorithm>

#include "../graph/QtTestApp.h"
#include "NoPorts.h"
#include "ScriptedPrompter.h"
#include "SyntheticProfiles.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "WindowRig.h"
#include "desktop/CAnalysisPanel.h"
#include "desktop/CCompareDlg.h"
#include "desktop/CMainDlg.h"
#include "display/AnalysisLayer.h"
#include "display/MainWindowLogic.h"
#include "graph/CGraphCtrl.h"

namespace corvane {
namespace {

class AnalysisPanelUi : public ::testing::Test {
protected:
    AnalysisPanelUi() {
        test::qtApp();
        test::writeWindowFolder(dir);
        window = std::make_unique<CMainDlg>(test::windowSeams(dir.path(), clock, prompter, ports));
        window->logic().loadPreferences();
        window->resize(1400, 900);
        window->show();
        run = dir.write("poly.csv", test::runFileText(test::polysomeProfile())).string();
        prompter.scriptFile(run);
        window->action("&Open Data File")->trigger();
        QCoreApplication::processEvents();
    }
    // The table's cell of a quantity (a row) for a run (a column).
    static QString cell(const QTableWidget* table, const QString& quantity, int column) {
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->verticalHeaderItem(row)->text() == quantity) {
                return table->item(row, column)->text();
            }
        }
        return {};
    }
    GraphAnnotations marks() {
        return *window->graph().read([](const GraphModel& m) { return m.annotations(); });
    }
    void mouse(QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, window->graph().mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window->graph(), &event);
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    test::ManualClock clock;
    test::NoPorts ports;
    std::unique_ptr<CMainDlg> window;
    std::string run;
};

TEST_F(AnalysisPanelUi, TheTableFollowsAValleyDraggedOnTheGraphAndTheBaselineChosen) {
    window->action("&Analysis")->trigger();
    CAnalysisPanel* panel = window->analysisPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    const QTableWidget* table = panel->table();
    ASSERT_EQ(table->columnCount(), 1);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "poly.csv");
    const QString area80 = cell(table, "80S", 0);
    const QString pm = cell(table, "P/M", 0);
    EXPECT_FALSE(area80.isEmpty());
    ASSERT_FALSE(marks().regions.empty());

    // The valley before 80S, dragged to the right with the mouse.
    const AnalysisState& state = panel->state();
    const Region s80 = findRegion(state.analysis(0).regions, "80S")->region;
    const auto edges = state.boundaries(0);
    const auto k = static_cast<std::size_t>(std::find(edges.begin(), edges.end(), s80.from) - edges.begin());
    ASSERT_LT(k, edges.size());
    const AxisRange x = window->logic().view().axes().xRange();
    const int width = window->graph().width();
    const auto column = [&](double value) { return static_cast<int>(std::lround((value - x.min) / (x.max - x.min) * width)); };
    const int from = column(marks().boundaries[k]);
    const int row = window->graph().height() / 2;
    mouse(QEvent::MouseMove, {from, row});
    mouse(QEvent::MouseButtonPress, {from, row});
    mouse(QEvent::MouseMove, {from + 15, row});
    mouse(QEvent::MouseButtonRelease, {from + 15, row});
    EXPECT_GT(state.boundaries(0)[k], s80.from);
    EXPECT_NE(cell(table, "80S", 0), area80);
    EXPECT_NE(cell(table, "P/M", 0), pm);
    EXPECT_NEAR(marks().boundaries[k], x.min + (x.max - x.min) * (from + 15) / width, (x.max - x.min) / width);

    // Another baseline: the table follows at once.
    const QString dragged = cell(table, "80S", 0);
    panel->findChild<QComboBox*>("baseline")->setCurrentIndex(2);  // constant, at the level shown
    panel->findChild<QDoubleSpinBox*>("level")->setValue(0.1);
    EXPECT_EQ(state.settings().baseline.kind, BaselineKind::Constant);
    EXPECT_NE(cell(table, "80S", 0), dragged);

    // Save CSV: the analyze table, written whole.
    const auto csv = dir / "table.csv";
    prompter.scriptFile(csv.string());
    panel->saveCsv();
    EXPECT_EQ(test::readFile(csv), state.csv());

    // Closed, it leaves nothing on the graph and takes no mouse.
    panel->close();
    EXPECT_TRUE(marks().empty());
    window->action("&Analysis")->trigger();
    EXPECT_FALSE(marks().empty());
}

// The line from before to after the gradient, chosen in the panel, then its
// right end dragged up with the mouse: still a line, its left end where it
// was, the table following.
TEST_F(AnalysisPanelUi, ALineBaselineChosenThenDraggedByItsEndStaysALine) {
    window->action("&Analysis")->trigger();
    CAnalysisPanel* panel = window->analysisPanel();
    const AnalysisState& state = panel->state();
    panel->findChild<QComboBox*>("baseline")->setCurrentIndex(3);
    ASSERT_EQ(state.settings().baseline.kind, BaselineKind::Line);
    const Profile& p = state.source(0).profile;
    const double left = state.analysis(0).baseline.at(0, p.x.front());
    EXPECT_NEAR(left, 0.05, 1e-3);
    const QString before = cell(panel->table(), "polysomes", 0);

    const AxisRange x = window->logic().view().axes().xRange();
    const AxisRange y = window->logic().view().axes().yRange();
    const int width = window->graph().width();
    const int height = window->graph().height();
    const int column = static_cast<int>(std::lround((1000.0 - x.min) / (x.max - x.min) * width));  // samples
    const auto row = [&](double value) {
        return static_cast<int>(std::lround(height - (value - y.min) / (y.max - y.min) * height));
    };
    const int at = row(state.analysis(0).baseline.at(1000, p.x[1000]));
    mouse(QEvent::MouseMove, {column, at});
    mouse(QEvent::MouseButtonPress, {column, at});
    mouse(QEvent::MouseMove, {column, at - 20});
    mouse(QEvent::MouseButtonRelease, {column, at - 40});
    ASSERT_EQ(state.settings().baseline.kind, BaselineKind::Line);
    EXPECT_NEAR(state.analysis(0).baseline.at(0, p.x.front()), left, 1e-9);
    EXPECT_GT(state.analysis(0).baseline.at(p.size() - 1, p.x.back()), left + 0.05);
    EXPECT_EQ(panel->findChild<QComboBox*>("baseline")->currentIndex(), 3);
    EXPECT_NE(cell(panel->table(), "polysomes", 0), before);

    // Another run: the line through its own ends, not the one dragged on the first.
    prompter.scriptFile(dir.write("raised.csv", test::runFileText(test::polysomeProfile(0.2))).string());
    window->action("&Open Data File")->trigger();
    QCoreApplication::processEvents();
    ASSERT_EQ(state.source(0).name, "raised.csv");
    ASSERT_EQ(state.settings().baseline.kind, BaselineKind::Line);
    const Profile& raised = state.source(0).profile;
    EXPECT_NEAR(state.analysis(0).baseline.at(0, raised.x.front()), 0.2, 1e-3);
    EXPECT_NEAR(state.analysis(0).baseline.at(raised.size() - 1, raised.x.back()), 0.2, 1e-3);
}

// The header of a table is drawn the moment the panel first shows: each
// run's name in full over its column, its text on screen.
void expectHeaderDrawn(const QTableWidget* table, const QStringList& names) {
    QHeaderView* header = table->horizontalHeader();
    ASSERT_TRUE(header->isVisible());
    ASSERT_EQ(header->count(), names.size());
    const QImage drawn = header->grab().toImage();
    for (int c = 0; c < names.size(); ++c) {
        ASSERT_NE(table->horizontalHeaderItem(c), nullptr);
        EXPECT_EQ(table->horizontalHeaderItem(c)->text(), names[c]);
        EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(names[c])) << c;
        // Dark pixels of its text within its section, where it is in view.
        const int from = header->sectionViewportPosition(c);
        if (from + header->sectionSize(c) > drawn.width()) {
            continue;
        }
        int dark = 0;
        for (int x = std::max(from, 0); x < std::min(from + header->sectionSize(c), drawn.width()); ++x) {
            for (int y = 0; y < drawn.height(); ++y) {
                dark += qGray(drawn.pixel(x, y)) < 96 ? 1 : 0;
            }
        }
        EXPECT_GT(dark, 10) << names[c].toStdString() << ": no text in its header";
    }
}

TEST_F(AnalysisPanelUi, TheTableHeaderShowsTheRunsAtOnceOnFirstOpen) {
    window->action("&Analysis")->trigger();
    expectHeaderDrawn(window->analysisPanel()->table(), {"poly.csv"});
    const std::string other = dir.write("poly2.csv", test::runFileText(test::polysomeProfile(0.1))).string();
    ASSERT_TRUE(window->openCompare({run, other}, 2, {255, 255 << 8, 255 << 16, 0}));
    window->compareWindow()->action("&Analysis")->trigger();
    expectHeaderDrawn(window->compareWindow()->analysisPanel()->table(),
                      {"poly.csv", "poly2.csv", "all sets mean (n=2)", "all sets SD (n=2)"});
}

TEST_F(AnalysisPanelUi, TheCompareWindowsPanelHasAColumnPerSetAndTheirMeanAndSd) {
    const std::string other = dir.write("poly2.csv", test::runFileText(test::polysomeProfile(0.1))).string();
    ASSERT_TRUE(window->openCompare({run, other}, 2, {255, 255 << 8, 255 << 16, 0}));
    CCompareDlg* compare = window->compareWindow();
    ASSERT_NE(compare, nullptr);
    compare->action("&Analysis")->trigger();
    CAnalysisPanel* panel = compare->analysisPanel();
    ASSERT_NE(panel, nullptr);
    const QTableWidget* table = panel->table();
    ASSERT_EQ(table->columnCount(), 4);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "poly.csv");
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "poly2.csv");
    EXPECT_EQ(table->horizontalHeaderItem(2)->text(), "all sets mean (n=2)");
    EXPECT_EQ(table->horizontalHeaderItem(3)->text(), "all sets SD (n=2)");
    // The same pattern on another floor: the same P/M, no spread.
    EXPECT_EQ(cell(table, "P/M", 2), cell(table, "P/M", 0));
    EXPECT_LT(cell(table, "P/M", 3).toDouble(), 1e-6);
    EXPECT_FALSE(compare->graph().read([](const GraphModel& m) { return m.annotations().empty(); }).value_or(true));
}

}  // namespace
}  // namespace corvane
