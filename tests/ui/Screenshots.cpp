// corvane_screenshots OUTDIR: draws the desktop windows offscreen into PNG
// files, for looking at them (docs/main-window.png comes from here). The
// main window shows a run of synthetic samples fed through its sample
// handler, as the receive thread feeds it.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "SyntheticSamples.h"
#include "TestClocks.h"
#include "app/Instruments.h"
#include "app/QtPrompter.h"
#include "app/ResourceSeeder.h"
#include "link/CConnectDlg.h"
#include "link/CSerportTroubleShootingDlg.h"
#include "link/ConnectionDisplay.h"
#include "runs/CMainDlg.h"
#include "setup/CCheckListDlg.h"
#include "setup/CIntroDlg.h"

using namespace corvane;

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

    test::ManualClock clock;
    QtPrompter prompter;
    InstrumentChoice choice;
    choice.simulate = true;
    Instruments instruments(choice, clock, folder / "prefs.cfg");
    SerialPortApi& ports = instruments.ports();
    bool ok = true;
    {
        CMainDlg window(CMainDlg::Seams{folder, clock, prompter, ports, nullptr,
                                        " (simulated instrument)", false});
        window.logic().setPorts({3, 4});
        window.logic().loadPreferences();
        window.logic().setChannelShown(kChannelRatio, true);
        window.logic().setXAxisType(XAxisType::Millimetres);
        window.logic().windowSizeEdited(true, "80");
        window.logic().setYAutoScale(true);
        window.logic().setYYAutoScale(true);
        window.logic().setShowGrid(true);
        for (const auto& sample : test::syntheticRun(3400)) {
            window.logic().onSample(sample);
        }
        window.logic().onLinkStats(52, 53, 1, [] {
            Cmd0 c;
            c.uiPistonPos = 6850;
            c.iPistonSpeed = 3;
            c.uiIntegrationTime = 100;
            c.ucDutyCycleA = 50;
            c.ucATODGain = 3;
            return c;
        }());
        window.updateAll();
        ok &= save(window, out + QStringLiteral("/main-window.png"));

        window.openChecklist(false);
        if (auto* list = window.checklist()) {
            list->moveDown();
            ok &= save(*list, out + QStringLiteral("/checklist.png"));
        }
    }
    {
        CIntroDlg intro(folder, prompter, true);
        ok &= save(intro, out + QStringLiteral("/intro.png"));
    }
    {
        CConnectDlg connect;
        connect.setTitle(connectionTitle(true));
        connect.setMessage("Warming up, time remaining = 12 seconds, press any key to skip");
        ok &= save(connect, out + QStringLiteral("/connect.png"));
    }
    {
        CSerportTroubleShootingDlg help(3);
        ok &= save(help, out + QStringLiteral("/troubleshooting.png"));
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
