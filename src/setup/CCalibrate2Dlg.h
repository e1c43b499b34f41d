#pragma once

#include <QDialog>

#include "setup/CalibratePage.h"
#include "setup/PageDispatcher.h"

class QLabel;
class QPushButton;

namespace corvane {

class CPageWorker;

// The CALIBRATE page's window (modeless): the two-point calibration with its
// countdown in the status line, and the way on to the other pages (leave).
class CCalibrate2Dlg : public QDialog {
    Q_OBJECT

public:
    // Escape is the close box: a page hidden without leaving leaves no window up.
    void reject() override;
    CCalibrate2Dlg(Prompter& prompter, SetupUnit& unit, CalibrationChannels channels = {},
                   QWidget* parent = nullptr);

    [[nodiscard]] CalibratePage& page() { return page_; }
    [[nodiscard]] QPushButton* button(const QString& caption) const;
    [[nodiscard]] QString status() const;
    [[nodiscard]] bool busy() const;

signals:
    void leave(const corvane::PageStep& step);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void go(SetupPage next);
    void ledPower();

    CPageWorker* worker_;
    QLabel* status_ = nullptr;
    SetupUnit& unit_;
    CalibratePage page_;
    QWidget* buttons_ = nullptr;
};

}  // namespace corvane
