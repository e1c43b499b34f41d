#pragma once

#include <QDialog>

class QPushButton;

namespace corvane {

// "DE-1 Serial Port Troubleshooting": help after no port or no instrument
// was found. exec() returns kTryAgain for "TRY AGAIN" (look for the ports
// again) and kContinueWithout for "CONTINUE WITHOUT CORVANE".
class CSerportTroubleShootingDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kContinueWithout = QDialog::Rejected;
    static constexpr int kTryAgain = QDialog::Accepted;

    explicit CSerportTroubleShootingDlg(int comPort, QWidget* parent = nullptr);

    [[nodiscard]] QPushButton* tryAgainButton() const { return tryAgain_; }
    [[nodiscard]] QPushButton* continueButton() const { return continueWithout_; }

private:
    QPushButton* tryAgain_;
    QPushButton* continueWithout_;
};

}  // namespace corvane
