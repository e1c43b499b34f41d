#pragma once

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "setup/PageDispatcher.h"

namespace corvane {

class CEM1SetupDlg;
class CSummaryInfoDlg;
class Clock;
class DialogFolders;
class MainWindowLogic;
class Prompter;
class RunSetupCommands;

// The setup pages as the main window shows them: the page dispatcher with
// an opener per page this program has (USER or the general-record USER,
// the DE-1 graph axes followed by DE-1 SETUP), and the window's commands
// that lead there (RunSetupCommands).
//
// Threads: the window's thread.
class CSetupPages : public QObject {
    Q_OBJECT

public:
    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        Clock& clock;
        DialogFolders& folders;
        MainWindowLogic& logic;
        QWidget& window;
        // The recording controller's run name; null before the instruments.
        std::function<void(const std::string&)> setRunName;
        // A recording has been started since the program started.
        std::function<bool()> recordedSinceStart;
        // NEW RUN? in DE-1 mode: the recording lets the last DE-1 run go.
        std::function<void()> resetDe1Writer{};
    };

    explicit CSetupPages(Env env);
    ~CSetupPages() override;

    [[nodiscard]] PageDispatcher& pages() { return pages_; }
    [[nodiscard]] RunSetupCommands& commands() { return *commands_; }

    // The INTRO page's OK: the USER page, with the name typed there.
    void afterIntro(std::string name);
    // A check list's setup item: the DE-1 SETUP page shows what is stored.
    void refreshDe1Page();
    // Pages up now (tests, screenshots); null when not shown.
    [[nodiscard]] CSummaryInfoDlg* userPage() const;
    [[nodiscard]] CEM1SetupDlg* de1Page() const;

signals:
    // The DE-1 settings or the run description changed: the status lines.
    void setupChanged();

private:
    PageShown showUserPage();
    PageShown showDe1Pages();
    void chooseSignalTypeOnce();
    // A modeless page's button, after the page's own signal has returned.
    void goLater(const PageStep& step);
    [[nodiscard]] std::vector<double> bufferedAbsorbances() const;

    Env env_;
    PageDispatcher pages_;
    std::unique_ptr<RunSetupCommands> commands_;
    std::string introName_;
    QPointer<CSummaryInfoDlg> user_;
    QPointer<CEM1SetupDlg> de1_;
};

}  // namespace corvane
