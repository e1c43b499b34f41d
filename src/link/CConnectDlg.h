#pragma once

#include <QDialog>

#include "link/ConnectionDisplay.h"

class QLabel;
class QPushButton;

namespace corvane {

// "Connect to Corvane": the message line ("Connection Message"), "Continue"
// (also "Retry") and "Skip Hardware Check". The connection steps drive it
// through ConnectionDisplay from any thread; what the operator does comes
// back as signals. Both buttons start disabled, as the first step is
// connecting.
class CConnectDlg : public QDialog, public ConnectionDisplay {
    Q_OBJECT

public:
    explicit CConnectDlg(QWidget* parent = nullptr);

    void setTitle(const std::string& title) override;
    void setMessage(const std::string& text) override;
    void setContinueCaption(const std::string& caption) override;
    void enableButtons(bool continueEnabled, bool skipEnabled) override;
    void finish(bool ok) override;

    [[nodiscard]] QLabel* messageLine() const { return message_; }
    [[nodiscard]] QPushButton* continueButton() const { return continue_; }
    [[nodiscard]] QPushButton* skipButton() const { return skip_; }

signals:
    void continuePressed();
    void skipPressed();
    // Any key while the window has the focus (it skips the warm-up).
    void keyPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Runs f on the window's thread.
    template <class F>
    void onWindowThread(F&& f);

    QLabel* message_;
    QPushButton* continue_;
    QPushButton* skip_;
};

}  // namespace corvane
