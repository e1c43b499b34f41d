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
#include "app/ProgramFolders.h"
#include "app/ResourceSeeder.h"
#include "app/ScreenResWarning.h"
#include "app/SingleInstanceGuard.h"
#include "link/SerialPortApi.h"
#include "desktop/CMainDlg.h"
#include "desktop/CSimInstrumentDlg.h"
#include "sim/SimAssistant.h"

namespace {

constexpr const char* kUsage =
    "usage: corvane [--simulate | --simulate-kelvo | --seed | --version] [--folder DIR]\n"
    "  --simulate        run on the built-in simulated instruments: a Kelvo unit on\n"
    "                    COM 3 and a DE-1 interface box on COM 4; the working folder\n"
    "                    gets the default settings files it lacks first\n"
    "  --simulate-kelvo  the same with the Kelvo unit alone, for its set-up chain\n"
    "                    and two-channel runs (View > Simulated Instrument drives it)\n"
    "  --seed            only copy the default settings files the working folder lacks\n"
    "  --folder DIR      work in DIR (made when missing)\n"
    "  --version         print the program version\n"
    "Corvane works in one folder: prefs.cfg, rotors.txt, the check lists, Users,\n"
    "TEMP and the run files live there. Without --folder an installed Corvane\n"
    "works in the user's own folder (~/.local/share/corvane, or\n"
    "$XDG_DATA_HOME/corvane), which gets the default settings files it lacks at\n"
    "every start; run from its build tree it works in the current folder.\n";

// Copies the default settings files the folder lacks; an existing file is
// never replaced.
bool seedFolder(const std::filesystem::path& folder) {
    const auto resources = corvane::findResourcesFolder(corvane::executableFolder());
    if (resources.empty()) {
        std::fputs("corvane: the resources folder with the default settings files was not found\n", stderr);
        return false;
    }
    if (corvane::seedWorkingFolder(resources, folder) < 0) {
        std::fprintf(stderr, "corvane: a default settings file could not be copied into %s\n",
                     folder.string().c_str());
        return false;
    }
    return true;
}

// The working folder given with --folder DIR (empty without), read before the
// toolkit starts so that --seed needs no display. False when DIR is missing.
bool givenFolder(int argc, char* argv[], std::filesystem::path& folder) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--folder") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "corvane: --folder needs a folder\n%s", kUsage);
                return false;
            }
            folder = argv[i + 1];
        }
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The usage and the version need no display and no folder.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("Corvane version %s\n", corvane::kVersionText);
            return 0;
        }
    }
    std::filesystem::path given;
    if (!givenFolder(argc, argv, given)) {
        return 2;
    }
    std::error_code error;
    const auto current = std::filesystem::current_path(error);
    const auto start = corvane::chooseStartFolder(given, corvane::executableFolder(), current,
                                                  corvane::perUserDataFolder());
    if (start.folder.empty()) {
        std::fputs("corvane: no folder to work in: HOME is not set; give one with --folder DIR\n", stderr);
        return 1;
    }
    if (start.folder != current) {
        std::filesystem::create_directories(start.folder, error);
    }
    // Seeding needs no display: it is done before the toolkit starts.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--seed") {
            return seedFolder(start.folder) ? 0 : 1;
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
        } else if (args[i] == QLatin1String("--folder")) {
            ++i;  // read above
        } else {
            std::fprintf(stderr, "corvane: unknown option %s\n%s", args[i].toLocal8Bit().constData(), kUsage);
            return 2;
        }
    }

    if ((start.seed || simulate) && !seedFolder(start.folder)) {
        return 1;
    }
    const std::filesystem::path& startup = start.folder;
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
