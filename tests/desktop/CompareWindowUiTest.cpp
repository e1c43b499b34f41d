// The multiple data sets dialog and the compare window, offscreen: the
// dialog's checks, the window that takes the main window's place, its file
// list, offsets, Add and Remove, export and close.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <tuple>

#include "../graph/QtTestApp.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "WindowRig.h"
#include "TestClocks.h"
#include "base/TextFormat.h"
#include "desktop/CCompareDlg.h"
#include "desktop/CMainDlg.h"
#include "display/GraphReading.h"
#include "desktop/CGraphMultiDataSetsDlg.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"
#include "NoPorts.h"
#include "link/SerialPortApi.h"

namespace corvane {
namespace {

using test::NoPorts;

// n samples 0.1 mm apart with an Abs A peak of 1.0 at `peak`.
std::string runText(int n, int peak) {
    std::string text = "Corvane Text Data File: r.csv\n\nData Columns:\n"
                       "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < n; ++i) {
        const double a = i == peak ? 1.0 : 0.1 + 0.002 * i;
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, %.6f, 0, 1\n", 0.1 * i, a, 0.1 * i, a / 2);
    }
    return text;
}

constexpr std::array<int, 4> kColours{255 | 1 << 8, 255 << 16, 1 | 1 << 8 | 1 << 16, 255 << 8 | 1 << 16};

class CompareWindowUi : public ::testing::Test {
protected:
    CompareWindowUi() {
        test::qtApp();
        test::writeWindowFolder(dir);
        main = std::make_unique<CMainDlg>(test::windowSeams(dir.path(), clock, prompter, ports));
        main->logic().loadPreferences();
        main->show();
        for (const auto& [name, rows, peak] : {std::tuple{"a.csv", 80, 30}, {"b.csv", 120, 36}, {"c.csv", 90, 24},
                                               {"d.csv", 100, 30}, {"e.csv", 60, 10}}) {
            runs.push_back(dir.write(name, runText(rows, peak)).string());
        }
    }
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    test::ManualClock clock;
    NoPorts ports;
    std::unique_ptr<CMainDlg> main;
    std::vector<std::string> runs;
};

TEST_F(CompareWindowUi, DialogChecksItsChoiceInOrderAndKeepsItsColours) {
    CGraphMultiDataSetsDlg dialog(prompter, main->folders(), {{}, -1, kColours}, nullptr);
    ASSERT_EQ(dialog.plotTypes()->count(), 7);
    EXPECT_EQ(dialog.plotTypes()->item(6)->text(), "(Absorbance A)/(Absorbance B)");
    dialog.accept();
    dialog.plotTypes()->setCurrentRow(2);
    dialog.accept();
    prompter.scriptFiles(runs);  // five at once
    dialog.addFiles();
    EXPECT_EQ(dialog.files()->count(), 0);
    prompter.scriptFiles({runs[0], runs[1], runs[2]});
    dialog.addFiles();
    dialog.files()->item(1)->setSelected(true);
    dialog.removeSelected();
    prompter.scriptFiles({runs[3], runs[4], runs[1]});
    dialog.addFiles();
    dialog.accept();
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{"Error, must choose a plot type.", "Must select at least 2 data files.",
                                        "Select Data Files", "Can only choose up to 4 files.", "Select Data Files",
                                        "Select Data Files", "Can not have any more than 4 data files."}));
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << "every refusal keeps the dialog open";

    prompter.scriptColour(0x00FF00);
    dialog.chooseColour(1);
    prompter.scriptColour(std::nullopt);
    dialog.chooseColour(2);
    dialog.files()->item(4)->setSelected(true);
    dialog.removeSelected();
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const auto choice = dialog.choice();
    EXPECT_EQ(choice.files, (std::vector<std::string>{runs[0], runs[2], runs[3], runs[4]}));
    EXPECT_EQ(choice.plotType, 2);
    EXPECT_EQ(choice.colours, (std::array<int, 4>{kColours[0], 0x00FF00, kColours[2], kColours[3]}));
}

TEST_F(CompareWindowUi, CompareWindowTakesTheMainWindowsPlaceUntilClosed) {
    ASSERT_TRUE(main->openCompare({runs[0], runs[1], runs[2], runs[3]}, 2, kColours));
    CCompareDlg* compare = main->compareWindow();
    ASSERT_NE(compare, nullptr);
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(compare->isVisible());
    // The test screen (800 x 600) is smaller than the window: it stays whole on it.
    const QRect screen = compare->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(compare->frameGeometry().topLeft())) << compare->pos().x() << "," << compare->pos().y();
    EXPECT_EQ(compare->windowTitle(), "Compare Data Sets");
    ASSERT_EQ(compare->fileList()->count(), 4);
    EXPECT_EQ(compare->fileList()->item(1)->text(), "b.csv, 120 samples");
    EXPECT_EQ(compare->channelLabel()->text(), "Abs A");
    EXPECT_EQ(compare->reading().view().axes().xRange(), (AxisRange{0.0, 120.0}));
    EXPECT_TRUE(compare->eventMarkButton(3, false)->isChecked());
    EXPECT_EQ(compare->action("&Open Data File"), nullptr) << "it shows its sets, not a file";
    EXPECT_EQ(compare->action("Compare &Data Sets"), nullptr);
    EXPECT_EQ(compare->findChild<CMainDlg*>(), nullptr);
    EXPECT_EQ(dynamic_cast<QMainWindow*>(compare)->findChildren<QComboBox*>().size(), 0u) << "no port list";

    // AUTO-ALIGN over the peaks, then a hand step on set 3: each keeps the others'.
    GraphOverlays& overlays = compare->reading().overlays();
    ASSERT_TRUE(overlays.startAutoAlign());
    ASSERT_TRUE(overlays.finishAutoAlign(0.0, 60.0));
    compare->stepOffset(3, true);
    EXPECT_EQ(compare->offsetText(1)->text(), "-6");
    EXPECT_EQ(compare->offsetText(2)->text(), "6");
    EXPECT_EQ(compare->offsetText(3)->text(), "1");

    // Removing set 2 moves set 3 up with its offset; fewer than two is refused.
    compare->fileList()->item(2)->setSelected(true);
    compare->removeFiles();
    ASSERT_EQ(compare->sets().size(), 3u);
    EXPECT_EQ(compare->offsetText(1)->text(), "-6");
    EXPECT_EQ(compare->offsetText(2)->text(), "1");
    compare->fileList()->item(0)->setSelected(true);
    compare->fileList()->item(1)->setSelected(true);
    compare->removeFiles();
    EXPECT_EQ(prompter.texts().back(), "Error, cannot have fewer than 2 files in an Exported Data Set.");
    EXPECT_EQ(compare->sets().size(), 3u);

    // Add File(s) that cannot read one keeps the sets shown; one that can keeps their offsets.
    compare->takeFiles({runs[0], runs[1], dir / "gone.csv"}, 2, kColours);
    EXPECT_EQ(prompter.texts().back(), "Error, unable to open data file 3 (" + (dir / "gone.csv").string() + ")");
    EXPECT_EQ(compare->sets().size(), 3u);
    compare->reading().view().showXRange({10.0, 70.0});
    compare->takeFiles({runs[1], runs[0], runs[4]}, 2, kColours);
    EXPECT_EQ(compare->reading().view().axes().xRange(), (AxisRange{10.0, 70.0})) << "the x range shown stays";
    EXPECT_EQ(compare->offsetText(0)->text(), "-6");
    EXPECT_EQ(compare->offsetText(2)->text(), "0");

    // Export: the file records the offsets, the reference's as 0.
    const auto out = dir / "Export" / "both.csv";
    prompter.scriptFile(out.string());
    compare->action("&Export Data Sets")->trigger();
    EXPECT_EQ(prompter.texts().back(), "Data exported successfully to: " + out.string());
    EXPECT_EQ(prompter.fileRequests().back().initialFolder, (dir / "Export").string());
    const std::string file = test::readFile(out);
    EXPECT_NE(file.find("Sample Offsets:\nb.csv: 0 samples\na.csv: 0 samples\ne.csv: 0 samples\n"),
              std::string::npos)
        << file.substr(0, 200);
    // Never over a run being compared, though the dialog has asked.
    const auto compared = test::readFile(runs[1]);
    prompter.scriptFile(runs[1]);
    compare->action("&Export Data Sets")->trigger();
    EXPECT_EQ(prompter.texts().back(),
              "Error, unable to write to file: " + runs[1] + " (it is one of the runs being compared)");
    EXPECT_EQ(test::readFile(runs[1]), compared);

    compare->close();
    settle();
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->compareWindow(), nullptr);
}

TEST_F(CompareWindowUi, TheMouseReadsEverySetAndTheAxisSwitchKeepsToTheSets) {
    ASSERT_TRUE(main->openCompare({runs[0], runs[1]}, 2, kColours));
    CCompareDlg* compare = main->compareWindow();
    ASSERT_NE(compare, nullptr);
    compare->resize(1089, 785);
    QCoreApplication::processEvents();
    ASSERT_TRUE(compare->reading().view().offsets().setXOffset(1, 6.0));
    compare->reading().view().refresh();

    // Over sample 42 (x 0..120 across the graph): a.csv's own sample 42 and
    // b.csv's 36, its peak, each named; past a.csv's end only b.csv has a value.
    CGraphCtrl& graph = compare->graph();
    const auto hoverAt = [&](double x) {
        const QPoint at(static_cast<int>(std::lround(x / 120.0 * graph.width())), graph.height() / 2);
        QMouseEvent move(QEvent::MouseMove, QPointF(at), graph.mapToGlobal(QPointF(at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&graph, &move);
        return compare->statusBar()->currentMessage().toStdString();
    };
    const std::string at42 = hoverAt(42.0);
    EXPECT_NE(at42.find("a.csv, Abs A: 0.18"), std::string::npos) << at42;
    EXPECT_NE(at42.find("b.csv, Abs A: 1.0000"), std::string::npos) << at42;
    const std::string at100 = hoverAt(100.0);
    EXPECT_NE(at100.find("a.csv, Abs A:"), std::string::npos) << at100;
    EXPECT_EQ(at100.find("a.csv, Abs A: 0"), std::string::npos) << at100 << " (a.csv ends at 80)";
    EXPECT_NE(at100.find("b.csv, Abs A: 0"), std::string::npos) << at100;

    // The x-axis type switch: the sets' range, not the window's 100 mm.
    QRadioButton* mm = nullptr;
    for (QRadioButton* radio : compare->findChildren<QRadioButton*>()) {
        if (radio->text() == "mm" && radio->isVisible()) mm = radio;
    }
    ASSERT_NE(mm, nullptr);
    mm->click();
    EXPECT_EQ(compare->reading().view().axes().xAxisType(), XAxisType::Millimetres);
    EXPECT_NEAR(compare->reading().view().axes().xRange().max, 11.9, 1e-9) << "b.csv's farthest position";
    const auto* frame = compare->findChild<CGraphFrame*>();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->xTitle(), "Position (mm)");
    compare->close();
    settle();
}

TEST_F(CompareWindowUi, AnExportFileAmongTheRunsLeavesNoCompareWindow) {
    const auto bundle = std::filesystem::path(CORVANE_FIXTURES_DIR) / "runs" / "export.csv";
    EXPECT_FALSE(main->openCompare({runs[0], bundle.string(), runs[2]}, 2, kColours));
    EXPECT_EQ(prompter.texts().back(),
              "Error, " + bundle.string() + " is an exported Corvane file. It cannot be compared with other files.");
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->compareWindow(), nullptr);
    main->action("&Export Data Sets")->trigger();
    EXPECT_EQ(prompter.texts().back(), "Error, no data files available for export.");
}

TEST_F(CompareWindowUi, OnlyItsOwnMessageOpensTheDialog) {
    // Any modal dialog that opens is counted and cancelled at once.
    int dialogs = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ++dialogs;
            modal->close();
        }
    });
    closer.start(5);
    for (const UserMsg msg : {UserMsg::WarmedUp, UserMsg::PageSample, UserMsg::PageRunningSample}) {
        main->poster().post(msg);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs, 0);
    main->poster().post(UserMsg::OpenCompare);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(main->isVisible()) << "cancelled: the main window comes back";
    EXPECT_EQ(main->compareWindow(), nullptr);
}

}  // namespace
}  // namespace corvane
