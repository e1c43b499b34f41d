// corvane_screenshots OUTDIR: draws the desktop windows offscreen into PNG
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
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "PumpEvents.h"
#include "ScriptedPrompter.h"
#include "TestClocks.h"
#include "app/ResourceSeeder.h"
#include "link/CConnectDlg.h"
#include "link/CSerportTroubleShootingDlg.h"
#include "recording/AcquisitionSession.h"
#include "desktop/CMainDlg.h"
#include "desktop/QtConnectionDriver.h"
#include "recording/RecordingController.h"
#include "setup/CCheckListDlg.h"
#include "setup/CIntroDlg.h"
#include "desktop/CSetupPages.h"
#include "setup/CCollectionVolumeDlg.h"
#include "setup/CEM1SetupDlg.h"
#include "setup/CGRSetupDlg.h"
#include "setup/CMyComboBox.h"
#include "setup/CMyEdit.h"
#include <QLineEdit>
#include "setup/CSummaryInfoDlg.h"

using namespace corvane;
using test::pumpUntil;

namespace {

bool save(QWidget& window, const QString& path) {
    window.show();
    QApplication::processEvents();
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    return ok;
}

}  // namespace

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
    bool ok = true;
    {
        CMainDlg window(CMainDlg::Seams{folder, clock, prompter, rig.ports(), &rig.bridge(),
                                        " (simulated instrument)", false});
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
    {
        CCollectionVolumeDlg volume(folder, "Ann", 0.148, prompter, clock);
        ok &= save(volume, out + QStringLiteral("/collection-volume.png"));
    }
    {
        CSerportTroubleShootingDlg help(3);
        ok &= save(help, out + QStringLiteral("/troubleshooting.png"));
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
