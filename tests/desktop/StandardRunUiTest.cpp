// "C&reate Standard Run" as an operator uses it, offscreen: a run chosen,
// a zone made and dragged in the STANDARD RUN window, its number of
// fractions refused once and then taken, and DONE saving the standard run.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include "../graph/QtTestApp.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "WindowRig.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "base/TextFormat.h"
#include "desktop/CGraphPanel.h"
#include "desktop/CMainDlg.h"
#include "display/GraphOverlays.h"
#include "display/MainWindowLogic.h"
#include "NoPorts.h"
#include "PageHost.h"
#include "setup/CCollectionVolumeDlg.h"
#include "setup/CEM1SetupDlg.h"
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

// A two-channel run of 40 mm at 0.1 ml/mm.
std::filesystem::path writeRun(test::TempDir& dir) {
    std::string text = "Corvane Text Data File: r.csv\nVersion: 1\n\nVolume per mm: 0.100 ml/mm\n\nData Columns:\n"
                       "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i <= 400; ++i) {
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.1, 0, 1\n", 0.1 * i, 0.1 + 0.001 * i, 0.1 * i);
    }
    return dir.write("run.csv", text);
}

TEST(StandardRunUi, ReviewScanSetupTakesTheZoneTableBackOnlyByGraph) {
    (void)test::qtApp();
    test::TempDir dir;
    const auto path = writeRun(dir);
    RunDataFile run;
    ASSERT_EQ(run.read(path), RunDataFile::ReadStatus::Ok);
    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    test::PageHost host;
    host.setCollection(0.8, 0);
    COverlayPlanDlg window({dir.path(), prompter, 0.1, 5.0}, path, run, {});
    QPushButton* review = window.findChild<QPushButton*>(QStringLiteral("REVIEW SCAN SETUP"));
    ASSERT_NE(review, nullptr);
    EXPECT_FALSE(review->isEnabled());  // no page to show it on
    window.setScanSetup({dir.path(), prompter, host, clock});
    ASSERT_TRUE(review->isEnabled());
    (void)window.editor().createZone();
    window.editor().moveBoundary(0, 10.0);
    (void)window.editor().createZone();
    const OverlayPlan before = window.editor().plan();
    window.move(300, 200);  // away from the screen's corner, where window and screen places agree
    window.show();

    // The hover read-out of a fraction comes up beside the mouse, on the screen.
    COverlayPlanPlot* plot = window.plot();
    const QPoint inZone1((plot->boundaryPixel(0) + plot->boundaryPixel(0) / 4) / 2, plot->height() / 2);
    QMouseEvent move(QEvent::MouseMove, QPointF(inZone1), plot->mapToGlobal(QPointF(inZone1)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    auto* hover = window.findChild<CHoverDistandVolDlg*>();
    ASSERT_NE(hover, nullptr);
    EXPECT_TRUE(hover->isVisible());
    EXPECT_NE(plot->mapToGlobal(inZone1), plot->mapTo(&window, inZone1));
    EXPECT_EQ(hover->pos(), plot->mapToGlobal(inZone1) + QPoint(14, 14));

    // Each turn answers the page that is up: a list of what to do with it.
    std::vector<std::function<void(CEM1SetupDlg&)>> turns;
    std::vector<std::string> seen;
    QTimer hand;
    QObject::connect(&hand, &QTimer::timeout, [&] {
        auto* page = qobject_cast<CEM1SetupDlg*>(QApplication::activeModalWidget());
        if (page == nullptr || turns.empty()) {
            return;
        }
        auto turn = turns.front();
        turns.erase(turns.begin());
        turn(*page);
    });
    hand.start(10);
    const auto cell = [](CEM1SetupDlg& page, int row, int column) {
        return page.zoneTable()->item(row, column)->text().toStdString();
    };

    // A typed end and count come back by GRAPH, with the page's vessel.
    turns.push_back([&](CEM1SetupDlg& page) {
        EXPECT_EQ(page.windowTitle(), QStringLiteral("SCAN SETUP"));
        EXPECT_FALSE(page.button(QStringLiteral("USER"))->isEnabled());
        ASSERT_EQ(page.zoneTable()->rowCount(), 2);
        seen = {cell(page, 0, 2), cell(page, 1, 1), cell(page, 1, 2)};
        page.zoneTable()->item(0, 2)->setText(QStringLiteral("12.50"));
        page.zoneTable()->item(0, 3)->setText(QStringLiteral("5"));
        seen.push_back(cell(page, 0, 5));  // 2.5 mm a fraction at the run's 0.1 ml/mm
        seen.push_back(cell(page, 1, 1));  // zone 2 starts where zone 1 now ends
        page.button(QStringLiteral("GRAPH"))->click();
    });
    review->click();
    EXPECT_EQ(seen, (std::vector<std::string>{"10.00", "10.00", "40.00", "0.25", "12.50"}));
    const auto& zones = window.editor().plan().zones;
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(zones[0], (OverlayZone{0.0, 12.5, 5}));
    EXPECT_EQ(zones[1], (OverlayZone{12.5, 40.0, 1}));
    EXPECT_DOUBLE_EQ(window.editor().collectionLimit(), host.collectionVolume());
    ASSERT_TRUE(host.de1Setup() && host.de1Setup()->overlayPlan);
    EXPECT_EQ(*host.de1Setup()->overlayPlan, window.editor().plan());
    const OverlayPlan reviewed = window.editor().plan();
    EXPECT_NE(reviewed, before);

    // A bad end is refused on the page; leaving it another way (Escape, the
    // close box) keeps the window's zones, and the window answers again.
    for (const bool escape : {true, false}) {
        prompter.clear();
        turns.push_back([&](CEM1SetupDlg& page) {
            page.zoneTable()->item(1, 2)->setText(QStringLiteral("5"));
            page.button(QStringLiteral("GRAPH"))->click();
        });
        turns.push_back([&, escape](CEM1SetupDlg& page) {
            EXPECT_TRUE(page.isVisible());
            if (escape) {
                page.reject();
            } else {
                page.close();
            }
        });
        review->click();
        EXPECT_EQ(prompter.texts(), std::vector<std::string>{"End position is less than start position for zone #2."});
        EXPECT_EQ(window.editor().plan(), reviewed);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    hand.stop();
}

// The collection vessel dialog answered as an operator would: a volume and
// a fractionation kind, then OK.
QTimer* answerVessel(QObject* owner, const char* volume, bool autoAndManual, std::vector<std::string>& shown) {
    auto* hand = new QTimer(owner);
    QObject::connect(hand, &QTimer::timeout, [hand, volume, autoAndManual, &shown] {
        auto* vessel = qobject_cast<CCollectionVolumeDlg*>(QApplication::activeModalWidget());
        if (vessel == nullptr) {
            return;
        }
        shown.push_back(vessel->volumeEdit()->text().toStdString());
        shown.push_back(vessel->distanceWindow()->distance().toStdString());
        vessel->volumeEdit()->setText(QLatin1String(volume));
        for (auto* radio : vessel->findChildren<QRadioButton*>()) {
            radio->setChecked(radio->text().startsWith(autoAndManual ? "AUTO" : "STANDARD"));
        }
        vessel->accept();
        hand->stop();
    });
    hand->start(10);
    return hand;
}

TEST(StandardRunUi, TheStandardRunWindowsVesselIsWhatDoneChecksAndTheWindowKeeps) {
    (void)test::qtApp();
    test::TempDir dir;
    dir.write("prefs.cfg", "[prefs]\n[collection]\nvolume 2.0\n");
    const auto path = writeRun(dir);
    RunDataFile run;
    ASSERT_EQ(run.read(path), RunDataFile::ReadStatus::Ok);
    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    test::PageHost host;
    COverlayPlanDlg window({dir.path(), prompter, 0.1, 2.0}, path, run, {});
    QPushButton* vessel = window.findChild<QPushButton*>(QStringLiteral("COLLECTION VOLUME"));
    ASSERT_NE(vessel, nullptr);
    EXPECT_FALSE(vessel->isEnabled());
    window.setScanSetup({dir.path(), prompter, host, clock});
    ASSERT_TRUE(vessel->isEnabled());
    std::vector<std::string> shown;
    answerVessel(&window, "0.6", false, shown);
    vessel->click();
    EXPECT_EQ(shown, (std::vector<std::string>{"2.00", "20.00 mm"}));  // 2 ml at 0.1 ml/mm
    EXPECT_DOUBLE_EQ(window.editor().collectionLimit(), 0.6);
    EXPECT_DOUBLE_EQ(host.collectionVolume(), 0.6);
    EXPECT_EQ(host.fractionationKind(), 0);
    EXPECT_DOUBLE_EQ(ConfigFile(dir / "prefs.cfg").getDouble("[collection]", "volume"), 0.6);
    // DONE checks the zones against it: 10 mm in 1 fraction is 1.00 ml.
    (void)window.editor().createZone();
    window.editor().moveBoundary(0, 10.0);
    EXPECT_EQ(window.editor().done(), OverlayPlanEditor::Done::Stay);
    EXPECT_EQ(prompter.texts().back(),
              "The collection limit of 0.60 ml was exceeded in the following zones:\nZone 1 requires 1.00 ml per "
              "fraction.\n");
}

TEST(StandardRunUi, SetStandardRunAsksForTheVesselAndTheKindReachesTheWindow) {
    (void)test::qtApp();
    test::TempDir dir;
    test::writeWindowFolder(dir, "");
    const auto run = writeRun(dir);
    int error = 0;
    const auto sr = dir / "STANDARD RUNS" / "SR-vessel.csv";
    std::filesystem::create_directories(sr.parent_path());
    ASSERT_EQ(writeStandardRun(run, sr, OverlayPlan{{{0.0, 10.0, 2}}, 0}, std::nullopt, error), PlanWriteResult::Ok);
    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    NoPorts ports;
    CMainDlg window(test::windowSeams(dir.path(), clock, prompter, ports));
    std::vector<std::string> shown;
    answerVessel(&window, "0.4", true, shown);
    prompter.scriptFile(sr.string());
    window.graphPanel().commandButton(QStringLiteral("SET STANDARD RUN"))->click();
    ASSERT_NE(window.logic().overlays().standardRun(), nullptr);
    ASSERT_EQ(shown.size(), 2u);  // the dialog came up, after the run was set
    EXPECT_EQ(shown[1], "5.00 mm");  // the run's own vessel (0.5 ml) in its 0.1 ml/mm tube
    EXPECT_DOUBLE_EQ(window.logic().setupHost().collectionVolume(), 0.4);
    EXPECT_EQ(window.logic().setupHost().fractionationKind(), 1);
}

TEST(StandardRunUi, TheStandardRunsBoundariesFollowTheXAxisTypeChosenAfterItWasSet) {
    (void)test::qtApp();
    test::TempDir dir;
    const auto run = writeRun(dir);  // 10 samples a mm from 0 mm
    OverlayPlan plan{{{0.0, 10.0, 2}, {10.0, 30.0, 1}}, 0};
    int error = 0;
    const auto sr = dir / "SR-axis.csv";
    ASSERT_EQ(writeStandardRun(run, sr, plan, std::nullopt, error), PlanWriteResult::Ok);

    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    NoPorts ports;
    CMainDlg window(test::windowSeams(dir.path(), clock, prompter, ports));
    window.graphPanel().xTypeRadio(false)->setChecked(true);
    ASSERT_TRUE(window.logic().overlays().loadStandardRun(sr));
    // Within 1 %: the samples a mm are the run's own measure.
    const auto boundariesAt = [&](std::vector<double> expected) {
        std::vector<double> at;
        window.logic().overlays().standardRun()->boundaryPositions(at);
        ASSERT_EQ(at.size(), expected.size());
        for (std::size_t i = 0; i < at.size(); ++i) {
            EXPECT_NEAR(at[i], expected[i], expected[i] * 0.01) << i;
        }
    };
    boundariesAt({50.0, 100.0, 300.0});  // sample numbers
    window.graphPanel().xTypeRadio(true)->setChecked(true);
    boundariesAt({5.0, 10.0, 30.0});
    window.graphPanel().xTypeRadio(false)->setChecked(true);
    boundariesAt({50.0, 100.0, 300.0});
}

TEST(StandardRunUi, CreateStandardRunFromTheMenuToTheSavedFile) {
    (void)test::qtApp();
    test::TempDir dir;
    const auto run = writeRun(dir);
    const auto saved = dir / "STANDARD RUNS" / "SR-made.csv";
    std::filesystem::create_directories(saved.parent_path());

    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    NoPorts ports;
    CMainDlg window(test::windowSeams(dir.path(), clock, prompter, ports));
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
