#include "desktop/CSetupPages.h"

#include <QTimer>

#include "app/Prompter.h"
#include "desktop/MainWindowLogic.h"
#include "desktop/RunSetupCommands.h"
#include "setup/CEM1SetupDlg.h"
#include "setup/CGRSetupDlg.h"
#include "setup/CGeneralRecordUserDlg.h"
#include "setup/CNameRunDlg.h"
#include "setup/CSummaryInfoDlg.h"

namespace corvane {

CSetupPages::CSetupPages(Env env)
    : QObject(&env.window), env_(std::move(env)), pages_(env_.logic.setupHost()) {
    pages_.setOpener(SetupPage::User, [this] { return showUserPage(); });
    pages_.setOpener(SetupPage::De1Setup, [this] { return showDe1Pages(); });
    commands_ = std::make_unique<RunSetupCommands>(RunSetupCommands::Env{
        env_.startupFolder, env_.prompter, env_.folders, pages_, env_.logic.setupHost(),
        [this]() -> std::optional<std::string> {
            CNameRunDlg dialog(env_.startupFolder, env_.prompter, &env_.window);
            if (dialog.exec() != QDialog::Accepted) {
                return std::nullopt;
            }
            return dialog.name();
        },
        [this](const std::string& name) {
            if (env_.setRunName) {
                env_.setRunName(name);
            }
        },
        [this] {
            env_.logic.feed().clear();
            env_.logic.refreshGraph();
        },
        [this] { return bufferedAbsorbances(); }, env_.recordedSinceStart, env_.resetDe1Writer});
}

CSetupPages::~CSetupPages() {
    delete user_.data();
    delete de1_.data();
}

CSummaryInfoDlg* CSetupPages::userPage() const { return user_.data(); }

CEM1SetupDlg* CSetupPages::de1Page() const { return de1_.data(); }

void CSetupPages::afterIntro(std::string name) {
    introName_ = std::move(name);
    pages_.open(SetupPage::User);
}

void CSetupPages::goLater(const PageStep& step) {
    // The page that asked is hidden and goes once its signal has returned.
    QTimer::singleShot(0, this, [this, step] {
        pages_.go(step);
        emit setupChanged();
    });
}

void CSetupPages::chooseSignalTypeOnce() {
    WindowSetupHost& host = env_.logic.setupHost();
    if (host.signalTypeChosen() || !host.de1Mode()) {
        return;
    }
    // Asked once per session, before the first USER page of a DE-1 session:
    // the general record (type 2) is the choice for a plain recording of the
    // monitor without rotor or fractions.
    CChooseSignalTypeDlg dialog(host.signalType(), &env_.window);
    if (dialog.exec() == QDialog::Accepted) {
        host.setSignalType(dialog.choice());
    }
    host.markSignalTypeChosen();
}

PageShown CSetupPages::showUserPage() {
    chooseSignalTypeOnce();
    WindowSetupHost& host = env_.logic.setupHost();
    if (host.signalType() == Em1Settings::kGeneralRecord) {
        CGeneralRecordUserDlg dialog({env_.startupFolder, env_.prompter, host, localCalendarTime, introName_},
                                     &env_.window);
        if (dialog.exec() != QDialog::Accepted || !dialog.step()) {
            return PageShown::modalThen(SetupPage::Graph);  // Cancel: the window comes back
        }
        if (dialog.step()->compare) {
            host.post(UserMsg::OpenCompare);
        }
        emit setupChanged();
        return PageShown::modalThen(dialog.step()->next);
    }
    // Made anew each time, the previous one gone first.
    delete user_.data();
    user_ = new CSummaryInfoDlg({env_.startupFolder, env_.prompter, host, localCalendarTime, introName_},
                                &env_.window);
    user_->setAttribute(Qt::WA_DeleteOnClose);
    connect(user_, &CSummaryInfoDlg::leave, this, [this](const PageStep& step) {
        user_->deleteLater();
        goLater(step);
    });
    connect(user_, &CSummaryInfoDlg::cancelled, this, [this] { goLater({SetupPage::Graph}); });
    user_->show();
    user_->raise();
    user_->activateWindow();
    return PageShown::modeless();
}

PageShown CSetupPages::showDe1Pages() {
    WindowSetupHost& host = env_.logic.setupHost();
    delete de1_.data();
    const De1SetupPage::Env pageEnv{env_.startupFolder, env_.prompter, host, env_.clock};
    if (host.goToGraph()) {
        // GO TO GRAPH with a preset run chosen: the preset's settings, checked,
        // and on to the graph; a check that fails leaves the page up to fix it.
        auto* page = new CEM1SetupDlg(pageEnv, &env_.window);
        if (const auto step = page->page().graph()) {
            delete page;
            emit setupChanged();
            return PageShown::modalThen(step->next);
        }
        de1_ = page;
    } else {
        CGRSetupDlg axes(env_.startupFolder, env_.prompter, host.runInfo(), &env_.window);
        if (axes.exec() == CGRSetupDlg::kUser) {
            return PageShown::modalThen(SetupPage::User);
        }
        de1_ = new CEM1SetupDlg(pageEnv, &env_.window);
    }
    de1_->setAttribute(Qt::WA_DeleteOnClose);
    connect(de1_, &CEM1SetupDlg::leave, this, [this](const PageStep& step) {
        de1_->deleteLater();
        goLater(step);
    });
    connect(de1_, &CEM1SetupDlg::closed, this, [this] { goLater({SetupPage::Graph}); });
    de1_->refresh();
    de1_->show();
    de1_->raise();
    de1_->activateWindow();
    return PageShown::modeless();
}

void CSetupPages::refreshDe1Page() {
    if (de1_ != nullptr && de1_->isVisible()) {
        de1_->page().open();
        de1_->refresh();
    }
}

std::vector<double> CSetupPages::bufferedAbsorbances() const {
    return env_.logic.feed().read([](const LiveSamples& samples, std::uint64_t) {
        std::vector<double> values;
        values.reserve(static_cast<std::size_t>(samples.stored()));
        for (int i = 0; i < samples.stored(); ++i) {
            values.push_back(samples.at(i).record.absorbanceA);
        }
        return values;
    });
}

}  // namespace corvane
