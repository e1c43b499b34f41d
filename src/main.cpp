// corvane: the desktop program. Start-up in the traditional order: the
// small-display warning, the COM port chooser, the single-instance check,
// then the main window until the program ends.

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "app/CScreenResWarningDlg.h"
#include "app/Version.h"
#include "app/CSelectCOMPortDlg.h"
#include "app/Clock.h"
#include "recording/Instruments.h"
#include "app/QtPrompter.h"
#include "app/ModalInFront.h"
#include "app/ResourceSeeder.h"
#include "app/ScreenResWarning.h"
#include "app/SingleInstanceGuard.h"
#include "link/SerialPortApi.h"
#include "desktop/CMainDlg.h"
#include "desktop/CSimInstrumentDlg.h"
#include "sim/SimAssistant.h"

namespace {

constexpr const char* kUsage =
    "usage: corvane [--simulate | --simulate-kelvo | --seed | --version]\n"
    "  --simulate  run on the built-in simulated instruments: a Kelvo unit on COM 3\n"
    "              and a DE-1 interface box on COM 4; the current folder gets the\n"
    "              default settings files it lacks first\n"
    "  --simulate-kelvo  the same with the Kelvo unit alone, for its set-up chain\n"
    "              and two-channel runs (View > Simulated Instrument drives it)\n"
    "  --seed      only copy the default settings files the current folder lacks\n"
    "  --version   print the program version\n"
    "Corvane works in the current folder: prefs.cfg, rotors.txt, the check lists,\n"
    "Users, TEMP and the run files live there.\n";

// Copies the default settings files the current folder lacks; an existing
// file is never replaced.
bool seedCurrentFolder(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec) {
        exe = std::filesystem::absolute(argv0, ec);
    }
    const auto resources = corvane::findResourcesFolder(exe.parent_path());
    if (resources.empty()) {
        std::fputs("corvane: the resources folder with the default settings files was not found\n", stderr);
        return false;
    }
    const int copied = corvane::seedWorkingFolder(resources, std::filesystem::current_path());
    if (copied < 0) {
        std::fputs("corvane: a default settings file could not be copied\n", stderr);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Seeding, the usage and the version need no display: they are done
    // before the toolkit starts.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--seed") {
            return seedCurrentFolder(argv[0]) ? 0 : 1;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("Corvane version %s\n", corvane::kVersionText);
            return 0;
        }
    }
    QApplication app(argc, argv);
    // Every number the program writes or shows uses a decimal point,
    // whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    corvane::ModalInFront modalInFront;
    app.installEventFilter(&modalInFront);

    bool simulate = false;
    bool de1Box = true;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--simulate")) {
            simulate = true;
        } else if (args[i] == QLatin1String("--simulate-kelvo")) {
            simulate = true;
            de1Box = false;
        } else {
            std::fprintf(stderr, "corvane: unknown option %s\n%s", args[i].toLocal8Bit().constData(), kUsage);
            return 2;
        }
    }

    if (simulate && !seedCurrentFolder(argv[0])) {
        return 1;
    }
    const std::filesystem::path startup = std::filesystem::current_path();
    corvane::SteadyClock clock;
    corvane::QtPrompter prompter;

    // The instruments: simulated ones behind both seams, or the machine's
    // serial ports (the bridge library joins them with the link).
    corvane::InstrumentChoice choice;
    choice.simulate = simulate;
    choice.simulateDe1Box = de1Box;
    corvane::Instruments instruments(choice, clock, startup);
    corvane::SerialPortApi* ports = &instruments.ports();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize desktop = screen->size();
        if (corvane::screenResWarningDue(startup, desktop.width(), desktop.height())) {
            corvane::CScreenResWarningDlg warning(startup, desktop.width(), desktop.height());
            warning.exec();
        }
    }

    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::vector<int> found = ports->enumerate();
        QApplication::restoreOverrideCursor();
        corvane::CSelectCOMPortDlg chooser(startup, std::move(found));
        if (chooser.shouldShow()) {
            chooser.exec();
        }
    }

    // On the simulated bench the assistant moves the needles as the prompts say.
    const auto assistant = corvane::makeSimAssistant(prompter, instruments.rig());
    corvane::Prompter& shown = assistant != nullptr ? static_cast<corvane::Prompter&>(*assistant) : prompter;
    corvane::CMainDlg window(corvane::CMainDlg::Seams{
        startup, clock, shown, *ports, instruments.bridge(), simulate ? " (simulated instrument)" : ""});

    const auto guard = corvane::SingleInstanceGuard::claim();
    if (!guard) {
        QMessageBox::information(nullptr, QStringLiteral("Corvane"),
                                 QString::fromUtf8(corvane::kAnotherInstanceText.data(),
                                                   static_cast<qsizetype>(corvane::kAnotherInstanceText.size())));
        return 0;
    }

    prompter.setParent(&window);
    window.attachInstruments();
    corvane::addSimulatedInstrumentMenu(window, instruments.rig(), assistant.get());
    return corvane::runMainWindow(window);
}
