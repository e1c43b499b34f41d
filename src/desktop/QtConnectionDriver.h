#pragma once

// The connection window ("Connect to Corvane") as the session's connection
// driver. drive() runs on the main window's device worker: it runs the
// connection steps there and waits between them for what the operator does
// in the window ("Continue"/"Retry", "Skip Hardware Check", a key, the INTRO
// page), which the window's thread hands over as commands. The window's
// thread never waits for the steps.

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "link/ConnectionFlow.h"
#include "recording/AcquisitionSession.h"

class QWidget;

namespace corvane {

class CConnectDlg;

class QtConnectionDriver : public QObject, public ConnectionDriver {
public:
    // Shows the INTRO page on the window's thread: the choice made, or
    // nothing when the operator chose to exit.
    using IntroRunner = std::function<std::optional<IntroChoice>()>;

    QtConnectionDriver(QWidget* parentWindow, IntroRunner runIntro);
    ~QtConnectionDriver() override;
    QtConnectionDriver(const QtConnectionDriver&) = delete;
    QtConnectionDriver& operator=(const QtConnectionDriver&) = delete;

    [[nodiscard]] ConnectionDisplay& display() override;
    // On the device worker.
    void drive(ConnectionFlow& flow) override;

    // The main window closes: a running warm-up ends and drive() returns;
    // connections driven later end at once until resume(). Any thread.
    void abort();
    void resume();

    [[nodiscard]] CConnectDlg* dialog() const;

private:
    enum class Command { Continue, Skip, Intro };
    struct Pending {
        Command command;
        std::optional<IntroChoice> choice;
    };

    void push(Pending pending);
    // The operator closed the window while the steps still run: as Skip.
    void windowClosed();
    void showDialog();
    void hideDialog();

    QPointer<CConnectDlg> dialog_;
    IntroRunner runIntro_;

    std::mutex mutex_;  // everything below
    std::condition_variable wake_;
    std::deque<Pending> commands_;
    ConnectionFlow* flow_ = nullptr;
    bool aborted_ = false;
};

}  // namespace corvane
