#include "desktop/QtConnectionDriver.h"

#include <QMetaObject>
#include <QTimer>
#include <QWidget>

#include "link/CConnectDlg.h"

namespace corvane {

QtConnectionDriver::QtConnectionDriver(QWidget* parentWindow, IntroRunner runIntro)
    : dialog_(new CConnectDlg(parentWindow)), runIntro_(std::move(runIntro)) {
    // Until the steps are done the connection window stays in front of the
    // main window, whose controls cannot act meanwhile anyway.
    dialog_->setWindowModality(Qt::WindowModal);
    connect(dialog_, &CConnectDlg::continuePressed, this, [this] { push({Command::Continue, {}}); });
    connect(dialog_, &CConnectDlg::skipPressed, this, [this] { push({Command::Skip, {}}); });
    connect(dialog_, &CConnectDlg::keyPressed, this, [this] {
        const std::scoped_lock lock(mutex_);
        if (flow_ != nullptr) {
            flow_->keyPressed();
        }
    });
    connect(dialog_, &QDialog::rejected, this, &QtConnectionDriver::windowClosed);
}

QtConnectionDriver::~QtConnectionDriver() = default;

ConnectionDisplay& QtConnectionDriver::display() { return *dialog_; }

CConnectDlg* QtConnectionDriver::dialog() const { return dialog_.data(); }

void QtConnectionDriver::push(Pending pending) {
    {
        const std::scoped_lock lock(mutex_);
        if (flow_ == nullptr) {
            return;
        }
        commands_.push_back(std::move(pending));
    }
    wake_.notify_one();
}

void QtConnectionDriver::windowClosed() {
    {
        const std::scoped_lock lock(mutex_);
        if (flow_ == nullptr || flow_->state() == ConnectionState::Finished) {
            return;
        }
        // A warm-up in progress would otherwise keep the step busy and the
        // skip waiting behind it.
        flow_->abort();
    }
    push({Command::Skip, {}});
}

void QtConnectionDriver::abort() {
    {
        const std::scoped_lock lock(mutex_);
        aborted_ = true;
        if (flow_ != nullptr) {
            flow_->abort();
        }
    }
    wake_.notify_one();
}

void QtConnectionDriver::resume() {
    const std::scoped_lock lock(mutex_);
    aborted_ = false;
}

void QtConnectionDriver::showDialog() {
    QMetaObject::invokeMethod(
        dialog_,
        [dialog = dialog_] {
            dialog->setMessage({});
            dialog->setContinueCaption(ConnectionFlow::kContinue);
            dialog->show();
            dialog->raise();
        },
        Qt::QueuedConnection);
}

void QtConnectionDriver::hideDialog() {
    QMetaObject::invokeMethod(
        dialog_,
        [dialog = dialog_] {
            // hide(), not reject(): no step is left to tell.
            dialog->hide();
        },
        Qt::QueuedConnection);
}

void QtConnectionDriver::drive(ConnectionFlow& flow) {
    {
        const std::scoped_lock lock(mutex_);
        if (aborted_) {
            return;
        }
        commands_.clear();
        flow_ = &flow;
    }
    showDialog();
    flow.connect();
    bool introAsked = false;
    for (;;) {
        const auto state = flow.state();
        if (state == ConnectionState::Finished) {
            break;
        }
        if (state == ConnectionState::IntroPending && !introAsked) {
            introAsked = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    {
                        // A window closing meanwhile wants no INTRO page.
                        const std::scoped_lock lock(mutex_);
                        if (flow_ == nullptr || aborted_) {
                            return;
                        }
                    }
                    // The page hides the main window while it shows; the
                    // connection window goes with it and comes back after
                    // the main window, so that it is mapped last and the
                    // window manager stacks it above: the warm-up and its
                    // Continue must be seen and have the keyboard.
                    dialog_->hide();
                    auto choice = runIntro_ ? runIntro_() : std::nullopt;
                    if (choice) {
                        // Queued behind the USER page the INTRO page opens, so
                        // the window that holds the others stays on top of it.
                        QTimer::singleShot(0, dialog_, [dialog = dialog_] {
                            dialog->show();
                            dialog->raise();
                            dialog->activateWindow();
                        });
                    }
                    push({Command::Intro, std::move(choice)});
                },
                Qt::QueuedConnection);
        }
        Pending next{Command::Continue, {}};
        {
            std::unique_lock lock(mutex_);
            // The operator may take as long as they like; only closing ends the wait.
            wake_.wait(lock, [this] { return aborted_ || !commands_.empty(); });
            if (aborted_) {
                break;
            }
            next = std::move(commands_.front());
            commands_.pop_front();
        }
        switch (next.command) {
            case Command::Continue: flow.pressContinue(); break;
            case Command::Skip: flow.skipHardwareCheck(); break;
            case Command::Intro: flow.introClosed(std::move(next.choice)); break;
        }
    }
    const bool finished = flow.state() == ConnectionState::Finished;
    {
        const std::scoped_lock lock(mutex_);
        flow_ = nullptr;
        commands_.clear();
    }
    if (!finished) {
        hideDialog();
    }
}

}  // namespace corvane
