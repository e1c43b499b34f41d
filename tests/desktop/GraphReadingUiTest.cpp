// The graph-reading controls of the main window, offscreen: the buttons,
// menu entries, mouse and dialogs reach the logic, and what it decided shows.

#include <gtest/gtest.h>

#include <cmath>

#include <QAction>
#include <QKeyEvent>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "../graph/QtTestApp.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "WindowRig.h"
#include "TestClocks.h"
#include "app/ConfigFile.h"
#include "base/TextFormat.h"
#include "desktop/CAUFSDlg.h"
#include "desktop/CAxisScaleDlg.h"
#include "desktop/CChannelPanel.h"
#include "desktop/LegendLine.h"
#include "desktop/CGraphOptionsDlg.h"
#include "desktop/CGraphPanel.h"
#include "desktop/CGraphReading.h"
#include "desktop/CMainDlg.h"
#include "desktop/COverlayTracesDlg.h"
#include "desktop/CYAxisOffsetsDlg.h"
#include "display/WindowSizes.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"
#include "NoPorts.h"
#include "link/SerialPortApi.h"

namespace corvane {
namespace {

using test::ManualClock;
using test::ScriptedPrompter;
using test::TempDir;

using test::NoPorts;

std::string runText(int peak) {
    std::string text =
        "Corvane Text Data File: r.csv\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < 100; ++i) {
        const double a = i == peak ? 1.0 : 0.1 + 0.001 * i;
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, %.6f, 0, 1\n", 0.1 * i, a, 0.1 * i, a / 2);
    }
    return text;
}

void mouse(QWidget* to, QEvent::Type type, QPoint at) {
    QMouseEvent event(type, QPointF(at), to->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

class GraphReadingUi : public ::testing::Test {
protected:
    GraphReadingUi() {
        test::qtApp();
        test::writeWindowFolder(dir, "showRawA 0\nshowRefA 0\nshowAbsA 1\nshowRawB 0\nshowRefB 0\nshowAbsB 1\n"
                                 "showADivB 0\nxaxissamplerange 500\nxaxisposrange 100\nymin 0\nymax 2\nyy_min 0\nyy_max 2\n");
        window = std::make_unique<CMainDlg>(test::windowSeams(dir.path(), clock, prompter, ports));
        window->resize(1089, 785);
        window->logic().loadPreferences();
        EXPECT_TRUE(window->logic().files().showDataFile(dir.write("current.csv", runText(40))));
        window->logic().refreshGraph();
        window->updateAll();
    }
    CGraphCtrl& graph() { return window->graph(); }
    CGraphReading& reading() { return window->graphReading(); }
    QPushButton* button(const char* caption) { return window->graphPanel().commandButton(caption); }
    // Plot pixel of an x value on the graph as it is now.
    int pixelOf(double x) {
        const AxisRange r = window->logic().view().axes().xRange();
        return static_cast<int>((x - r.min) / (r.max - r.min) * graph().width() + 0.5);
    }
    void click(QPoint at) {
        mouse(&graph(), QEvent::MouseButtonPress, at);
        mouse(&graph(), QEvent::MouseButtonRelease, at);
    }

    TempDir dir;
    ScriptedPrompter prompter;
    ManualClock clock;
    NoPorts ports;
    std::unique_ptr<CMainDlg> window;
};

TEST_F(GraphReadingUi, OverlayButtonOpensThePanelAndTheTitleNamesTheFile) {
    EXPECT_NE(window->windowTitle().indexOf("current.csv"), -1);
    prompter.scriptFile(dir.write("over.csv", runText(46)).string());
    button("OVERLAY GRAPH")->click();
    EXPECT_EQ(button("OVERLAY GRAPH")->text(), "Remove Overlay");
    COverlayTracesDlg* panel = reading().overlayPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    // Abs A on in the panel turns Abs B off for both runs.
    panel->channelBox(0)->setChecked(false);
    panel->channelBox(0)->setChecked(true);
    EXPECT_FALSE(window->logic().view().axes().channelShown(kChannelAbsB));
    EXPECT_FALSE(panel->readout(true, 1)->isVisibleTo(panel));
    EXPECT_TRUE(panel->readout(true, 0)->isVisibleTo(panel));
    EXPECT_EQ(graph().read([](const GraphModel& m) { return m.slot(3).count(); }), 100);

    button("OVERLAY GRAPH")->click();
    EXPECT_EQ(button("OVERLAY GRAPH")->text(), "Overlay Graph");
    EXPECT_EQ(reading().overlayPanel(), nullptr);
}

TEST_F(GraphReadingUi, AnotherDataFileTakesTheOverlayTracesPanelWithTheOverlay) {
    prompter.scriptFile(dir.write("over.csv", runText(46)).string());
    button("OVERLAY GRAPH")->click();
    QPointer<COverlayTracesDlg> panel = reading().overlayPanel();
    ASSERT_NE(panel, nullptr);
    QCheckBox* absB = panel->channelBox(1);

    // "&Open Data File" with another run: the overlay goes, and its panel.
    prompter.scriptFile(dir.write("next.csv", runText(60)).string());
    window->action("&Open Data File")->trigger();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->logic().view().overlayShown());
    EXPECT_EQ(reading().overlayPanel(), nullptr);
    EXPECT_TRUE(panel.isNull() || !panel->isVisible()) << "the panel is gone";
    if (!panel.isNull()) {
        // Were it still up, its boxes must not switch the window's channels.
        ASSERT_TRUE(window->logic().view().axes().channelShown(kChannelAbsB));
        absB->setChecked(false);
        EXPECT_TRUE(window->logic().view().axes().channelShown(kChannelAbsB));
    }
    EXPECT_NE(button("OVERLAY GRAPH")->text(), "Remove Overlay");
}

TEST_F(GraphReadingUi, NewRunTakesTheOverlayAndItsPanelOffTheGraph) {
    prompter.scriptFile(dir.write("over.csv", runText(46)).string());
    button("OVERLAY GRAPH")->click();
    ASSERT_NE(reading().overlayPanel(), nullptr);
    ASSERT_TRUE(window->newRunButton()->isEnabled());
    prompter.clear();
    prompter.answerYes();
    window->newRunButton()->click();
    EXPECT_EQ(prompter.transcript(), std::vector<std::string>{"question: Another identical run? -> Yes"});
    EXPECT_FALSE(window->logic().view().overlayShown());
    EXPECT_EQ(reading().overlayPanel(), nullptr);
    EXPECT_EQ(button("OVERLAY GRAPH")->text(), "Overlay Graph");
    EXPECT_EQ(graph().read([](const GraphModel& m) { return m.slot(3).count(); }), 0);
}

TEST_F(GraphReadingUi, CursorPlacedFromTheMenuThenDeletedFromItsPopup) {
    window->action("Add / Remove Cursor(s)")->trigger();
    ASSERT_NE(reading().instruction(), nullptr);
    // The instruction is tall enough for its wrapped text.
    const auto* text = reading().instruction()->findChild<QLabel*>();
    ASSERT_NE(text, nullptr);
    EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    click({pixelOf(30.0), 40});
    EXPECT_EQ(reading().instruction(), nullptr);
    ASSERT_EQ(window->logic().cursors().count(), 1);
    EXPECT_EQ(window->graphPanel().positionBox()->text(), "30");
    EXPECT_TRUE(reading().cursorLabel(0)->isVisibleTo(&graph()));
    EXPECT_TRUE(reading().cursorLabel(0)->text().startsWith("Cursor: 30\nAbs A: "));
    // The value boxes show the sample at the cursor.
    EXPECT_EQ(window->readout(kChannelAbsA)->text(), "0.1300");

    // The arrow keys move it; a click on its line opens the popup.
    EXPECT_TRUE(reading().arrowKey(true));
    EXPECT_EQ(window->graphPanel().positionBox()->text(), "31");
    click({pixelOf(31.0) + 2, 40});
    ASSERT_NE(reading().popup(), nullptr);
    reading().popup()->findChild<QPushButton*>("DELETE THIS CURSOR")->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->logic().cursors().count(), 0);
    EXPECT_EQ(reading().popup(), nullptr);
    EXPECT_FALSE(reading().cursorLabel(0)->isVisibleTo(&graph()));
}

TEST_F(GraphReadingUi, FocusByMouseAndResetBack) {
    const AxisRange before = window->logic().view().axes().xRange();
    EXPECT_FALSE(button("RESET")->isEnabled());
    button("FOCUS")->click();
    EXPECT_TRUE(button("RESET")->isEnabled());
    mouse(&graph(), QEvent::MouseButtonPress, {pixelOf(20.0), 10});
    mouse(&graph(), QEvent::MouseMove, {pixelOf(60.0), 100});
    mouse(&graph(), QEvent::MouseButtonRelease, {pixelOf(60.0), 100});
    EXPECT_NEAR(window->logic().view().axes().xRange().min, 20.0, 0.5);
    EXPECT_NEAR(window->logic().view().axes().xRange().max, 60.0, 0.5);
    button("RESET")->click();
    EXPECT_EQ(window->logic().view().axes().xRange(), before);
    EXPECT_FALSE(button("RESET")->isEnabled());
}

TEST_F(GraphReadingUi, AxisLabelsToggleMovesThePlotAndIsKept) {
    const int labelled = graph().width();
    window->action("Axis Labels")->trigger();
    EXPECT_FALSE(window->graphPanel().frame().labelsShown());
    EXPECT_GT(graph().width(), labelled);
    const ConfigFile prefs(dir / "prefs.cfg");
    EXPECT_EQ(prefs.getString("[prefs]", "axislabels"), "0");
    EXPECT_EQ(window->graphPanel().frame().xTitle(), "Sample");
}

TEST_F(GraphReadingUi, GainAndOffsetPanelsStepTheOverlay) {
    ASSERT_TRUE(window->logic().overlays().loadOverlay(dir.write("over.csv", runText(46))));
    int changes = 0;
    CAxisScaleDlg gains(CAxisScaleDlg::Axis::Y, window->logic().view().offsets(), clock, [&] { ++changes; },
                        window.get());
    gains.step(1, true);
    clock.advance(100);
    gains.step(1, true);  // held: two units
    EXPECT_EQ(gains.value(1)->text(), "1.03");
    clock.advance(400);
    gains.step(1, false);
    EXPECT_EQ(gains.value(1)->text(), "1.02");
    EXPECT_EQ(changes, 3);

    CYAxisOffsetsDlg offsets(window->logic().view().offsets(), clock, [] { return 2.0; }, [] { return 200; },
                             {}, window.get());
    EXPECT_EQ(offsets.value(1)->text(), "0");
    offsets.step(1, true);  // one pixel of 2.0 over 200
    EXPECT_EQ(offsets.value(1)->text(), "1.00E-02");
    offsets.reset(1);
    EXPECT_EQ(offsets.value(1)->text(), "0");
}

// What is drawn is what the legend, the channel lines and the Overlay
// Traces window show: beside an overlay the current run's Abs A moves to
// slot 0 and takes its colour everywhere.
TEST_F(GraphReadingUi, TheLegendAndThePanelsShowTheColoursActuallyDrawn) {
    const auto colourOf = [&](int slot) {
        return *graph().read([slot](const GraphModel& m) { return m.slot(slot).colour; });
    };
    const CGraphFrame& frame = window->graphPanel().frame();
    ASSERT_EQ(frame.legend().size(), 2U);
    EXPECT_EQ(frame.legend()[0].name, "Abs A");
    EXPECT_EQ(frame.legend()[0].file, "current.csv");
    EXPECT_EQ(frame.legend()[0].colour, colourOf(2));
    EXPECT_EQ(window->channelPanel().lineColour(kChannelAbsA), colourOf(2));
    EXPECT_EQ(window->channelPanel().lineColour(kChannelSampleA), colourOf(0));

    prompter.scriptFile(dir.write("over.csv", runText(46)).string());
    button("OVERLAY GRAPH")->click();
    ASSERT_EQ(frame.legend().size(), 4U);
    EXPECT_EQ(frame.legend()[0].colour, colourOf(0));
    EXPECT_NE(colourOf(0), colourOf(2));
    EXPECT_EQ(frame.legend()[2].file, "over.csv");
    EXPECT_TRUE(frame.legend()[2].dashed);
    EXPECT_EQ(window->channelPanel().lineColour(kChannelAbsA), colourOf(0));
    EXPECT_EQ(window->channelPanel().lineColour(kChannelAbsB), colourOf(1));
    EXPECT_FALSE(window->channelPanel().lineColour(kChannelSampleA).has_value()) << "not drawn beside an overlay";
    COverlayTracesDlg* panel = reading().overlayPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->line(false, 0)->colour(), colourOf(0));
    EXPECT_EQ(panel->line(true, 1)->colour(), colourOf(4));
    EXPECT_TRUE(panel->line(true, 1)->dashed());
    EXPECT_FALSE(panel->line(true, 2)->colour().has_value()) << "the ratio is off";

    // View > Legend off gives its rows back to the plot, and is kept.
    const int withLegend = graph().height();
    window->action("Legend")->trigger();
    EXPECT_FALSE(frame.legendShown());
    EXPECT_GT(graph().height(), withLegend);
    EXPECT_EQ(ConfigFile(dir / "prefs.cfg").getString("[prefs]", "legend"), "0");

    // A profile overlaid: its tube marks take the Abs B slot, and are no Abs B line.
    button("OVERLAY GRAPH")->click();
    prompter.scriptFile(std::string(CORVANE_FIXTURES_DIR) + "/profiles/german_crlf.pks");
    button("OVERLAY GRAPH")->click();
    panel = reading().overlayPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(graph().read([](const GraphModel& m) { return m.slot(4).markStyle; }).value_or(false));
    EXPECT_FALSE(panel->line(true, 1)->colour().has_value());
}

// The arrows step the main cursor while a gain or offset panel has the focus.
TEST_F(GraphReadingUi, ArrowsInAGainOrOffsetPanelStepTheMainCursor) {
    ASSERT_TRUE(window->logic().cursors().add(30.0));
    window->action("Y-Axis Scale...")->trigger();
    window->action("Y-Axis Offsets...")->trigger();
    for (QWidget* panel : {reading().gainPanel(false), reading().offsetPanel()}) {
        ASSERT_NE(panel, nullptr);
        auto* focused = panel->findChild<QPushButton*>();
        ASSERT_NE(focused, nullptr);
        const double before = *window->logic().cursors().mainPosition();
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QApplication::sendEvent(focused, &right);
        EXPECT_DOUBLE_EQ(*window->logic().cursors().mainPosition(), before + 1.0);
        QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QApplication::sendEvent(panel, &left);
        EXPECT_DOUBLE_EQ(*window->logic().cursors().mainPosition(), before);
    }
}

TEST_F(GraphReadingUi, GraphOptionsRefusesAndKeepsTheDialogOpen) {
    CGraphOptionsDlg options(window->logic().view(), prompter, window.get());
    options.autoWidthEdit()->setText("99");
    EXPECT_FALSE(options.apply());
    EXPECT_EQ(prompter.texts().back(), "X-axis Auto Width must be greater than or equal to 100");
    options.autoWidthEdit()->setText("5000");
    EXPECT_TRUE(options.apply());
    EXPECT_EQ(window->logic().view().axes().xAutoWidth(), 5000);
}

TEST_F(GraphReadingUi, TheThreeWindowSizesRescaleEverythingAndComeBackWhole) {
    window->show();
    QApplication::processEvents();
    const qreal font = window->font().pointSizeF();
    QLineEdit* yMax = window->axisEdit(AxisBox::YMax);
    const int editWidth = yMax->width();
    const QSize plot = graph().size();
    for (const int index : {2, 1, 2, 0}) {
        reading().setWindowSize(index);
        QApplication::processEvents();
        const WindowSize& size = kWindowSizes[static_cast<std::size_t>(index)];
        EXPECT_EQ(window->size(), QSize(size.width, size.height)) << index;
        // Everything still has the room it asks for: nothing is cut off.
        EXPECT_LE(window->minimumSizeHint().width(), size.width) << index;
        EXPECT_LE(window->minimumSizeHint().height(), size.height) << index;
        if (index == 2) {
            const double f = 800.0 / 1089.0;
            EXPECT_NEAR(window->font().pointSizeF(), font * f, 0.01);
            EXPECT_EQ(yMax->width(), static_cast<int>(std::lround(editWidth * f)));
            EXPECT_LT(graph().width(), plot.width());
            EXPECT_LT(graph().height(), plot.height());
        }
    }
    // Back at the standard size nothing has drifted (the style's own
    // repolish may move a row by a pixel).
    EXPECT_EQ(window->font().pointSizeF(), font);
    EXPECT_EQ(yMax->width(), editWidth);
    EXPECT_EQ(graph().width(), plot.width());
    EXPECT_NEAR(graph().height(), plot.height(), 1);
}

TEST_F(GraphReadingUi, GraphOptionsSpinsStepTheirBoxes) {
    using Field = GraphOptionsForm::Field;
    CGraphOptionsDlg options(window->logic().view(), prompter, window.get());
    options.edit(Field::YMin)->setText("0");
    options.edit(Field::YMax)->setText("2");
    options.spin(Field::YMax)->stepDown();
    EXPECT_EQ(options.edit(Field::YMax)->text(), "1.50");
    options.spin(Field::AutoWidth)->stepUp();
    EXPECT_EQ(options.edit(Field::AutoWidth)->text(), "25000");
    EXPECT_EQ(options.spin(Field::YMax)->value(), 0);  // ready for the next click
    EXPECT_TRUE(options.apply());
    EXPECT_EQ(window->logic().view().axes().yRange().max, 1.5);
}

TEST_F(GraphReadingUi, TheAufsDialogFromTheViewMenuSetsTheStep) {
    QAction* entry = window->action("Absorbance Units Full Scale...");
    ASSERT_NE(entry, nullptr);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CAUFSDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Absorbance Units Full Scale");
        EXPECT_TRUE(dialog->button(0)->isChecked());  // the step now
        dialog->button(5)->setChecked(true);
        dialog->accept();
    });
    entry->trigger();
    EXPECT_EQ(window->logic().view().axes().aufsIndex(), 5);
    EXPECT_EQ(window->logic().view().axes().aufsLabel(), "0.50");
    EXPECT_EQ(ConfigFile(dir / "prefs.cfg").getString("[EM1_Settings]", "aufs").value_or(""), "5");
}

}  // namespace
}  // namespace corvane
