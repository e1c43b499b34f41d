#include "desktop/CKelvoSetupPages.h"

#include <QTimer>
#include <QWidget>

#include "desktop/WindowInstruments.h"
#include "desktop/WindowSetupHost.h"
#include "link/UvLink.h"
#include "recording/AcquisitionSession.h"
#include "recording/RecordingController.h"
#include "setup/CCalibrate2Dlg.h"
#include "setup/CLEDSetupDlg.h"
#include "setup/CScanSetup2Dlg.h"
#include "setup/CScanSetupDlg.h"
#include "setup/SetupUnit.h"

namespace corvane {

namespace {

std::function<void(const SampleRecord&)> quickZeroOf(WindowInstruments& instruments) {
    return [&instruments](const SampleRecord& counts) {
        if (RecordingController* controller = instruments.recordingController()) {
            controller->zeroOn(counts);
        }
    };
}

}  // namespace

CKelvoSetupPages::CKelvoSetupPages(Env env, PageDispatcher& pages)
    : QObject(&env.window), env_(env), pages_(pages) {
    pages_.setOpener(SetupPage::LedSetup, [this] { return showLed(); });
    pages_.setOpener(SetupPage::Calibrate, [this] { return showCalibrate(); });
    pages_.setOpener(SetupPage::ScanningSetup, [this] { return showScan(false); });
    pages_.setOpener(SetupPage::ScanningSetupBeside, [this] { return showScan(true); });
}

CKelvoSetupPages::~CKelvoSetupPages() = default;

CLEDSetupDlg* CKelvoSetupPages::ledPage() const { return led_; }
CCalibrate2Dlg* CKelvoSetupPages::calibratePage() const { return calibrate_; }
CScanSetup2Dlg* CKelvoSetupPages::scanPage() const { return scan_; }
CScanSetupDlg* CKelvoSetupPages::scanSetupWindow() const { return scanSetup_; }

void CKelvoSetupPages::onWindowMessage(UserMsg msg, const std::any& payload) {
    AcquisitionSession* session = env_.instruments.acquisitionSession();
    if (msg == UserMsg::WarmedUp && scanSetup_ == nullptr && session != nullptr) {
        const auto& info = env_.host.runInfo();
        auto unit = newUnit();
        auto* window = new CScanSetupDlg({{env_.startupFolder, env_.prompter}, env_.host, *unit, *session},
                                         info ? info->rotorModel : std::string(), &env_.window);
        tie(*window, std::move(unit));
        scanSetup_ = window;
        // While its own scan runs the window drives the unit: no run starts
        // and PAUSE waits (the recording's scan-setup mode).
        connect(window, &CScanSetupDlg::scanningChanged, this, [this](bool scanning) {
            if (RecordingController* controller = env_.instruments.recordingController()) {
                controller->setScanSetupMode(scanning);
            }
            emit scanSetupModeChanged();
        });
        window->show();
        window->raise();  // the connection steps, when still up, come back over it (ModalInFront)
        return;
    }
    const auto* stats = std::any_cast<LinkStats>(&payload);
    if (msg != UserMsg::LinkStats || stats == nullptr || scanSetup_ == nullptr || session == nullptr ||
        env_.instruments.connecting()) {
        return;
    }
    // In its running modes the unit streams the piston's packets; the last
    // settings packet shows where it stood before.
    const UvLink* link = session->link();
    scanSetup_->showLinkStats(*stats, link != nullptr && link->ShortPacketMode() ? link->lastCmd2() : std::nullopt);
}

bool CKelvoSetupPages::available() const { return env_.instruments.acquisitionSession() != nullptr; }

std::unique_ptr<SetupUnit> CKelvoSetupPages::newUnit() const {
    AcquisitionSession* session = env_.instruments.acquisitionSession();
    return std::make_unique<SetupUnit>(session->clock(), session->holds(),
                                       [session] { return session->reader(); });
}

void CKelvoSetupPages::tie(QObject& page, std::unique_ptr<SetupUnit> unit) {
    // destroyed comes after the page's own destructor, which joins its reader.
    QObject::connect(&page, &QObject::destroyed, [raw = unit.release()] { delete raw; });
}

void CKelvoSetupPages::place(QWidget& page) {
    page.setAttribute(Qt::WA_DeleteOnClose);
    page.show();
    page.raise();
    page.activateWindow();
}

void CKelvoSetupPages::closePages() {
    const std::array<QWidget*, 3> open = {led_.data(), calibrate_.data(), scan_.data()};
    for (QWidget* page : open) {
        if (page != nullptr) {
            page->hide();
            page->deleteLater();
        }
    }
}

void CKelvoSetupPages::goLater(const PageStep& step) {
    closePages();
    QTimer::singleShot(0, this, [this, step] { pages_.go(step); });
}

PageShown CKelvoSetupPages::showLed() {
    if (!available()) {
        return PageShown::modalThen(SetupPage::Graph);
    }
    closePages();
    auto unit = newUnit();
    auto* page = new CLEDSetupDlg({env_.startupFolder, env_.prompter, env_.host, *unit, quickZeroOf(env_.instruments)},
                                  env_.clock, &env_.window);
    tie(*page, std::move(unit));
    led_ = page;
    connect(page, &CLEDSetupDlg::leave, this, [this](const PageStep& step) { goLater(step); });
    place(*page);
    page->start();
    return PageShown::modeless();
}

PageShown CKelvoSetupPages::showCalibrate() {
    if (!available()) {
        return PageShown::modalThen(SetupPage::Graph);
    }
    closePages();
    auto unit = newUnit();
    const auto [a, b] = env_.host.channelsInUse();
    auto* page = new CCalibrate2Dlg(env_.prompter, *unit, {a, b}, &env_.window);
    tie(*page, std::move(unit));
    calibrate_ = page;
    connect(page, &CCalibrate2Dlg::leave, this, [this](const PageStep& step) { goLater(step); });
    place(*page);
    return PageShown::modeless();
}

PageShown CKelvoSetupPages::showScan(bool beside) {
    AcquisitionSession* session = env_.instruments.acquisitionSession();
    if (session == nullptr) {
        return PageShown::modalThen(SetupPage::Graph);
    }
    closePages();
    auto unit = newUnit();
    auto* page = new CScanSetup2Dlg({env_.startupFolder, env_.prompter, env_.host, *unit, *session,
                                     quickZeroOf(env_.instruments), {}, beside,
                                     [session](double mm) { session->setPendingScanDistance(mm); }},
                                    env_.clock, &env_.window);
    tie(*page, std::move(unit));
    scan_ = page;
    connect(page, &CScanSetup2Dlg::leave, this, [this](const PageStep& step) { goLater(step); });
    place(*page);
    page->start();
    if (beside) {
        // Beside the graph: the window comes back with the page over it.
        env_.host.showGraph();
        page->raise();
        page->activateWindow();
    }
    return PageShown::modeless();
}

}  // namespace corvane
