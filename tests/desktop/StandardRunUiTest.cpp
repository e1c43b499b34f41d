// "C&reate Standard Run" as an operator uses it, offscreen: a run chosen,
// a zone made and dragged in the STANDARD RUN window, its number of
// fractions refused once and then taken, and DONE saving the standard run.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "../graph/QtTestApp.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "TestClocks.h"
#include "base/TextFormat.h"
#include "desktop/CMainDlg.h"
#include "NoPorts.h"
#include "link/SerialPortApi.h"
#include "runs/OverlayPlanBlock.h"
#include "setup/COverlayPlanDlg.h"

namespace corvane {
namespace {

using test::NoPorts;

void mouse(QWidget* to, QEvent::Type type, QPoint at) {
    QMouseEvent event(type, QPointF(at), to->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

TEST(StandardRunUi, CreateStandardRunFromTheMenuToTheSavedFile) {
    (void)test::qtApp();
    test::TempDir dir;
    std::string text = "Corvane Text Data File: r.csv\nVersion: 1\n\nVolume per mm: 0.100 ml/mm\n\nData Columns:\n"
                       "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i <= 400; ++i) {
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.1, 0, 1\n", 0.1 * i, 0.1 + 0.001 * i, 0.1 * i);
    }
    const auto run = dir.write("run.csv", text);
    const auto saved = dir / "STANDARD RUNS" / "SR-made.csv";
    std::filesystem::create_directories(saved.parent_path());

    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    NoPorts ports;
    CMainDlg window(CMainDlg::Seams{dir.path(), clock, prompter, ports, nullptr, "", false});
    QAction* create = window.action(QStringLiteral("C&reate Standard Run"));
    ASSERT_NE(create, nullptr);
    EXPECT_TRUE(create->isEnabled());

    // The operator, turn by turn: each modal window is answered as it comes up.
    int fractionAttempts = 0;
    bool dragged = false;
    bool done = false;
    QTimer operatorHand;
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* fractions = qobject_cast<CNumFractionsDlg*>(modal)) {
            fractions->numberEdit()->setText(++fractionAttempts == 1 ? QStringLiteral("100") : QStringLiteral("4"));
            fractions->accept();
        } else if (auto* plan = qobject_cast<COverlayPlanDlg*>(modal); plan != nullptr && !done) {
            if (!dragged) {
                dragged = true;
                plan->findChild<QPushButton*>(QStringLiteral("CREATE ZONE"))->click();
                // The release opens the fractions dialog's own loop: it runs
                // after this turn, so this timer goes on answering in there.
                COverlayPlanPlot* plot = plan->plot();
                QMetaObject::invokeMethod(
                    plot,
                    [plot] {
                        const int from = plot->boundaryPixel(0);
                        const int y = plot->height() / 2;
                        mouse(plot, QEvent::MouseButtonPress, {from, y});
                        mouse(plot, QEvent::MouseMove, {plot->width() / 2, y});
                        mouse(plot, QEvent::MouseButtonRelease, {plot->width() / 2, y});
                    },
                    Qt::QueuedConnection);
            } else {
                done = true;
                prompter.scriptFile(saved.string());
                plan->findChild<QPushButton*>(QStringLiteral("DONE"))->click();
            }
        }
    });
    operatorHand.start(10);
    prompter.clear();  // what the window said on its way up
    prompter.scriptFile(run.string());
    create->trigger();
    operatorHand.stop();

    EXPECT_EQ(fractionAttempts, 2);
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{
                  "Please select a file to become the STANDARD RUN",
                  "Grab the cursor-line at the right end of Zone 1 and drag it to the desired end position for\n"
                  "Zone 1.",
                  "Number of fractions must be 99 or less.", "Please select a new filename for the STANDARD RUN"}));
    const auto plan = readOverlayPlanFile(saved);
    ASSERT_TRUE(plan.has_value() && plan->found);
    ASSERT_EQ(plan->plan.zones.size(), 1u);
    EXPECT_EQ(plan->plan.zones[0].fractions, 4);
    // Dragged to the middle of the widget: inside the run, well short of its 40 mm.
    EXPECT_GT(plan->plan.zones[0].end, 10.0);
    EXPECT_LT(plan->plan.zones[0].end, 35.0);
    // Nothing stays on the graph.
    EXPECT_EQ(window.logic().overlays().standardRun(), nullptr);
}

}  // namespace
}  // namespace corvane
