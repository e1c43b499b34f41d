// corvane_screenshots OUTDIR [compare|standard]: draws the desktop windows offscreen into PNG
// files, for looking at them (docs/main-window.png comes from here). The
// main window connects to the simulated instrument (sped up), as the program
// does, and is drawn while it records a run; the connection window is drawn
// during its warm-up countdown.

// Before any Qt header: the simulator has a member named emit.
#include "sim/SimRig.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "PumpEvents.h"
#include "ScriptedPrompter.h"
#include "WindowRig.h"
#include "SyntheticSamples.h"
#include "TestClocks.h"
#include "app/ResourceSeeder.h"
#include "link/CConnectDlg.h"
#include "link/CSerportTroubleShootingDlg.h"
#include "NoPorts.h"
#include "link/SerialPortApi.h"
#include "recording/AcquisitionSession.h"
#include "base/TextFormat.h"
#include "desktop/CCompareDlg.h"
#include "display/GraphReading.h"
#include "desktop/CGraphMultiDataSetsDlg.h"
#include "desktop/CGraphPanel.h"
#include "desktop/CGraphReading.h"
#include "desktop/CMainDlg.h"
#include "desktop/COverlayTracesDlg.h"
#include "desktop/QtConnectionDriver.h"
#include "recording/RecordingController.h"
#include "setup/CCheckListDlg.h"
#include "setup/CIntroDlg.h"
#include "desktop/CSetupPages.h"
#include "setup/CCollectionVolumeDlg.h"
#include "setup/CEM1SetupDlg.h"
#include "PageHost.h"
#include "setup/CGRSetupDlg.h"
#include "setup/CMyComboBox.h"
#include "setup/CMyEdit.h"
#include <QLineEdit>
#include "setup/CSummaryInfoDlg.h"
#include "setup/COverlayPlanDlg.h"
#include "runs/RunDataFile.h"

using namespace corvane;
using test::pumpUntil;

namespace {

using NoPortsApi = test::NoPorts;

bool save(QWidget& window, const QString& path) {
    window.show();
    QApplication::processEvents();
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    return ok;
}

// A saved two-channel run of the simulated gradient, its positions moved by
// shiftMm, as the graph-reading pictures lay one over another.
std::filesystem::path writeRun(const std::filesystem::path& file, double shiftMm) {
    std::string text =
        "Corvane Text Data File: " + file.filename().string() +
        "\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (const SampleRecord& r : test::syntheticRun(2400, 0.025)) {
        text += formatText("%u, %u, %u, %u, %.2f, %.6f, %.2f, %.6f, %.2f, 0\n", r.sampleA, r.sourceA, r.sampleB,
                           r.sourceB, r.positionA + shiftMm, r.absorbanceA, r.positionB + shiftMm, r.absorbanceB,
                           r.positionB + shiftMm);
    }
    std::FILE* out = std::fopen(file.string().c_str(), "w");
    if (out != nullptr) {
        std::fputs(text.c_str(), out);
        std::fclose(out);
    }
    return file;
}

// The graph read as a user reads it: a run with an overlay, cursors on it,
// then a FOCUS zoom (overlay.png, cursors.png, zoom.png).
bool graphReadingShots(const std::filesystem::path& folder, const QString& out) {
    bool ok = true;
    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    NoPortsApi ports;
    CMainDlg window(test::windowSeams(folder, clock, prompter, ports));
    window.resize(1089, 785);
    window.logic().loadPreferences();
    ok &= window.logic().files().showDataFile(writeRun(folder / "run-0612.csv", 0.0));
    window.channelBox(kChannelSampleA)->setChecked(false);
    window.channelBox(kChannelSourceA)->setChecked(false);
    window.channelBox(kChannelSampleB)->setChecked(false);
    window.channelBox(kChannelSourceB)->setChecked(false);
    window.channelBox(kChannelRatio)->setChecked(false);
    window.xTypeRadio(true)->setChecked(true);
    window.yAutoBox()->setChecked(true);
    window.gridBox()->setChecked(true);
    prompter.scriptFile(writeRun(folder / "SR-standard.csv", 2.5).string());
    window.graphPanel().commandButton(QStringLiteral("OVERLAY GRAPH"))->click();
    window.updateAll();
    if (auto* panel = window.graphReading().overlayPanel()) {
        panel->move(window.pos() + QPoint(window.width() - 260, 420));
    }
    ok &= save(window, out + QStringLiteral("/overlay.png"));

    GraphCursors& cursors = window.logic().cursors();
    ok &= cursors.add(20.0);
    ok &= cursors.add(35.5);
    window.logic().graph().cursorsChanged();
    ok &= save(window, out + QStringLiteral("/cursors.png"));

    window.logic().view().change([](AxisState& axes) {
        (void)axes.saveViewForZoom();
        (void)axes.applyZoom({25.0, 45.0}, {0.0, 0.6});
    });
    ok &= save(window, out + QStringLiteral("/zoom.png"));
    return ok;
}

// A run made a standard run with three zones in the STANDARD RUN window
// (standard-run-window.png), saved, and set as the standard run under the
// next run, its profile and fraction boundaries shown (standard-run-over-run.png).
bool standardRunShots(const std::filesystem::path& folder, const QString& out) {
    bool ok = true;
    test::ManualClock clock;
    test::ScriptedPrompter prompter;
    NoPortsApi ports;
    const auto source = writeRun(folder / "run-0611.csv", 0.0);
    RunDataFile run;
    ok &= run.read(source) == RunDataFile::ReadStatus::Ok;
    std::filesystem::create_directories(folder / "STANDARD RUNS");
    const auto saved = folder / "STANDARD RUNS" / "SR-three-zones.csv";
    {
        COverlayPlanDlg window({folder, prompter, 0.143, 5.0}, source, run, {});
        OverlayPlanEditor& editor = window.editor();
        const double end = editor.xMax();
        (void)editor.createZone();
        editor.moveBoundary(0, end * 0.3);
        ok &= editor.setFractions(0, "3").empty();
        (void)editor.createZone();
        editor.moveBoundary(1, end * 0.55);
        ok &= editor.setFractions(1, "8").empty();
        (void)editor.createZone();
        editor.moveBoundary(2, end * 0.9);
        ok &= editor.setFractions(2, "4").empty();
        ok &= save(window, out + QStringLiteral("/standard-run-window.png"));
        prompter.scriptFile(saved.string());
        ok &= editor.done() == OverlayPlanEditor::Done::Saved;
        window.close();
    }
    CMainDlg window(test::windowSeams(folder, clock, prompter, ports));
    window.resize(1089, 785);
    window.logic().loadPreferences();
    ok &= window.logic().files().showDataFile(writeRun(folder / "run-0612.csv", 1.5));
    for (const int channel : {kChannelSampleA, kChannelSourceA, kChannelSampleB, kChannelSourceB, kChannelRatio}) {
        window.channelBox(channel)->setChecked(false);
    }
    window.xTypeRadio(true)->setChecked(true);
    window.yAutoBox()->setChecked(true);
    prompter.scriptFile(saved.string());
    // The collection vessel dialog that follows the standard run: its OK.
    QTimer vesselAnswer;
    QObject::connect(&vesselAnswer, &QTimer::timeout, [] {
        if (auto* vessel = qobject_cast<CCollectionVolumeDlg*>(QApplication::activeModalWidget())) {
            vessel->accept();
        }
    });
    vesselAnswer.start(10);
    window.graphPanel().commandButton(QStringLiteral("SET STANDARD RUN"))->click();
    vesselAnswer.stop();
    for (auto* box : window.findChildren<QCheckBox*>()) {
        if (box->text() == QStringLiteral("Show Standard Run Profile")) {
            box->setChecked(true);
        }
    }
    window.updateAll();
    ok &= save(window, out + QStringLiteral("/standard-run-over-run.png"));
    for (const auto& line : prompter.transcript()) {
        std::printf("  %s\n", line.c_str());
    }
    return ok;
}

}  // namespace

// The multiple data sets dialog and four runs compared, their peaks lined
// up by AUTO-ALIGN.
bool compareShots(const std::filesystem::path& folder, const QString& out, Clock& clock,
                  test::ScriptedPrompter& prompter, SerialPortApi& ports) {
    bool ok = true;
    std::vector<std::string> runs;
    for (int k = 0; k < 4; ++k) {
        std::string text = "Corvane Text Data File: r.csv\n\nData Columns:\n"
                           "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, "
                           "ratioA/B\n";
        const int peak = 280 + 25 * k - 40 * (k % 2);
        for (int i = 0; i < 600 + 50 * k; ++i) {
            const double a = 0.15 + 0.01 * k + (0.9 - 0.12 * k) * std::exp(-std::pow((i - peak) / 18.0, 2)) +
                             0.3 * std::exp(-std::pow((i - peak - 120) / 30.0, 2));
            text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, %.6f, 0, 1\n", 0.05 * i, a,
                               0.05 * i, a / 2);
        }
        const auto path = folder / formatText("gradient-%d.csv", k + 1);
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fputs(text.c_str(), f);
        std::fclose(f);
        runs.push_back(path.string());
    }
    CMainDlg main(test::windowSeams(folder, clock, prompter, ports));
    (void)main.logic().loadPreferences();
    const auto colours = main.logic().prefs().multiColours();
    CGraphMultiDataSetsDlg dialog(prompter, main.folders(), {runs, 2, colours}, nullptr);
    ok &= save(dialog, out + QStringLiteral("/multi-data-sets.png"));
    if (main.openCompare(runs, 2, colours)) {
        CCompareDlg* compare = main.compareWindow();
        compare->resize(1089, 785);
        ok &= compare->reading().overlays().startAutoAlign();
        ok &= compare->reading().overlays().finishAutoAlign(150.0, 450.0);
        compare->setEventMarks(1, true);
        ok &= save(*compare, out + QStringLiteral("/compare-window.png"));
        compare->close();
    } else {
        ok = false;
    }
    return ok;
}

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: corvane_screenshots OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    const auto folder = std::filesystem::temp_directory_path() / "corvane-screenshots";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "Users" / "Ann");
    std::filesystem::create_directories(folder / "Users" / "Ben");
    const auto resources = findResourcesFolder(std::filesystem::path(argv[0]).parent_path());
    seedWorkingFolder(resources, folder);

    // Ten times faster than real time: the warm-up takes a second and a half.
    test::ScaledClock clock(10.0);
    SimRigConfig bench;
    bench.kelvo.settings.uiIntegrationTime = 50;
    bench.kelvo.settings.scanSpeed = 20;
    SimRig rig(clock, bench);
    // Answers what the run would ask: no save, and yes to leaving.
    test::ScriptedPrompter prompter;
    if (argc > 2 && std::string_view(argv[2]) == "standard") {
        const bool shot = standardRunShots(folder, out);
        std::filesystem::remove_all(folder);
        return shot ? 0 : 1;
    }
    if (argc > 2 && std::string_view(argv[2]) == "peaks") {
        // DE-1 SETUP with collecting by peaks chosen.
        test::PageHost host;
        CEM1SetupDlg de1(De1SetupPage::Env{folder, prompter, host, clock});
        de1.show();
        auto* on = de1.findChild<QCheckBox*>();
        for (auto* box : de1.findChildren<QCheckBox*>()) {
            if (box->text().startsWith(QStringLiteral("Fractionate by peaks"))) on = box;
        }
        on->setChecked(true);
        const bool shot = save(de1, out + QStringLiteral("/de1-peaks.png"));
        std::filesystem::remove_all(folder);
        return shot ? 0 : 1;
    }
    if (argc > 2 && std::string_view(argv[2]) == "compare") {
        const bool shot = compareShots(folder, out, clock, prompter, rig.ports());
        std::filesystem::remove_all(folder);
        return shot ? 0 : 1;
    }
    bool ok = true;
    {
        CMainDlg window(test::windowSeams(folder, clock, prompter, rig.ports(), &rig.bridge(), " (simulated instrument)"));
        window.attachInstruments();
        window.show();
        window.firstShow();
        CConnectDlg* connect = window.connectionDriver()->dialog();
        // The INTRO page runs its own event loop: a timer answers it there,
        // and walks on through USER, the graph axes and DE-1 SETUP.
        QTimer introAnswer;
        bool userShot = false;
        bool axesShot = false;
        QObject::connect(&introAnswer, &QTimer::timeout, [&] {
            if (auto* intro = qobject_cast<CIntroDlg*>(QApplication::activeModalWidget())) {
                ok &= save(*intro, out + QStringLiteral("/intro.png"));
                intro->nameList()->setEditText(QStringLiteral("Ann"));
                intro->okButton()->click();
            } else if (auto* axes = qobject_cast<CGRSetupDlg*>(QApplication::activeModalWidget())) {
                axesShot = true;
                ok &= save(*axes, out + QStringLiteral("/graph-axes.png"));
                axes->graphButton()->click();
            } else if (CSummaryInfoDlg* user = window.setupPages().userPage();
                       !userShot && user != nullptr && user->isVisible()) {
                userShot = true;
                user->experimentEdit()->setText(QStringLiteral("10-50% sucrose"));
                user->manufacturerList()->setCurrentIndex(0);
                emit user->manufacturerList()->activated(0);
                user->rotorList()->setCurrentIndex(4);
                emit user->rotorList()->activated(4);
                ok &= save(*user, out + QStringLiteral("/user.png"));
                user->button(QStringLiteral("OK"))->click();
            } else if (CEM1SetupDlg* de1 = window.setupPages().de1Page(); axesShot && de1 != nullptr && de1->isVisible()) {
                introAnswer.stop();
                de1->tubingEdit()->setText(QStringLiteral("250"));
                ok &= save(*de1, out + QStringLiteral("/de1-setup.png"));
                de1->button(QStringLiteral("GRAPH"))->click();
            }
        });
        introAnswer.start(20);
        bool countdownShot = false;
        ok &= pumpUntil([&] {
            if (!countdownShot && connect->isVisible() &&
                connect->messageLine()->text().startsWith(QStringLiteral("Warming up, time remaining = 1"))) {
                countdownShot = true;
                ok &= save(*connect, out + QStringLiteral("/connect.png"));
            }
            if (connect->isVisible() && connect->continueButton()->isEnabled()) {
                connect->continueButton()->click();
            }
            return !connect->isVisible() && !window.deviceBusy() && window.recordButton()->isEnabled() &&
                   window.isVisible();
        });
        ok &= countdownShot;

        window.channelBox(kChannelRatio)->setChecked(true);
        window.xTypeRadio(true)->setChecked(true);
        window.logic().windowSizeEdited(true, "60");
        window.yyAutoBox()->setChecked(true);
        window.gridBox()->setChecked(true);
        window.recordButton()->click();
        ok &= pumpUntil([&] {
            const auto latest = window.logic().feed().latest();
            return window.recordButton()->text() == QStringLiteral("STOP RECORD (F1)") &&
                   window.recordButton()->isEnabled() && latest && latest->positionA > 45.0;
        });
        window.updateAll();
        ok &= save(window, out + QStringLiteral("/main-window.png"));

        window.openChecklist(false);
        if (auto* list = window.checklist()) {
            list->moveDown();
            ok &= save(*list, out + QStringLiteral("/checklist.png"));
        }
        prompter.answerYes();  // leave
        prompter.answerNo();   // keep the run in TEMP
        window.close();
        ok &= pumpUntil([&] { return !window.isVisible(); });
    }
    ok &= graphReadingShots(folder, out);
    {
        CCollectionVolumeDlg volume(folder, "Ann", 0.148, prompter, clock);
        ok &= save(volume, out + QStringLiteral("/collection-volume.png"));
    }
    {
        CSerportTroubleShootingDlg help(3);
        ok &= save(help, out + QStringLiteral("/troubleshooting.png"));
    }
    ok &= compareShots(folder, out, clock, prompter, rig.ports());
    ok &= standardRunShots(folder, out);
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
