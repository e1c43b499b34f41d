#pragma once

#include <QObject>
#include <QPointer>
#include <any>
#include <filesystem>
#include <memory>

#include "app/WindowPoster.h"

#include "setup/PageDispatcher.h"

class QWidget;

namespace corvane {

class CCalibrate2Dlg;
class CLEDSetupDlg;
class CScanSetup2Dlg;
class CScanSetupDlg;
class Clock;
class Prompter;
class SetupUnit;
class WindowInstruments;
class WindowSetupHost;

// The Kelvo unit's set-up chain as the main window shows it: openers for
// LED SETUP (1), CALIBRATE (2) and SCANNING SETUP, in the chain (3) and
// beside the graph (5). Each page is modeless and reads and commands the
// unit on its own worker; its buttons dispatch again once it has returned.
// Also the single-window "Scan Setup", made once when the unit has warmed
// up and kept current by the heartbeats.
//
// Threads: the window's thread.
class CKelvoSetupPages : public QObject {
    Q_OBJECT

public:
    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        Clock& clock;
        WindowSetupHost& host;
        WindowInstruments& instruments;
        QWidget& window;
    };

    CKelvoSetupPages(Env env, PageDispatcher& pages);
    ~CKelvoSetupPages() override;

    // The pages up now (tests, screenshots); null when not shown.
    [[nodiscard]] CLEDSetupDlg* ledPage() const;
    [[nodiscard]] CCalibrate2Dlg* calibratePage() const;
    [[nodiscard]] CScanSetup2Dlg* scanPage() const;
    [[nodiscard]] CScanSetupDlg* scanSetupWindow() const;

    // WarmedUp makes and shows the "Scan Setup" window (once); LinkStats
    // refreshes it.
    void onWindowMessage(UserMsg msg, const std::any& payload);

signals:
    // The "Scan Setup" window's own scan started or ended: the record and
    // pause buttons follow.
    void scanSetupModeChanged();

private:
    [[nodiscard]] bool available() const;
    PageShown showLed();
    PageShown showCalibrate();
    PageShown showScan(bool beside);
    // Closes every page of the chain; the one asking goes once its signal
    // has returned.
    void closePages();
    void goLater(const PageStep& step);
    // A page's own access to the unit; tie() lets it live as long as the page.
    [[nodiscard]] std::unique_ptr<SetupUnit> newUnit() const;
    static void tie(QObject& page, std::unique_ptr<SetupUnit> unit);
    void place(QWidget& page);

    Env env_;
    PageDispatcher& pages_;
    QPointer<CLEDSetupDlg> led_;
    QPointer<CCalibrate2Dlg> calibrate_;
    QPointer<CScanSetup2Dlg> scan_;
    QPointer<CScanSetupDlg> scanSetup_;
};

}  // namespace corvane
