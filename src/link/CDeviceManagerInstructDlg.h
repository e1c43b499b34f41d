#pragma once

#include <QDialog>

class QLabel;

namespace corvane {

// Five steps to open Device Manager, in the wording of the platform's
// generation.
class CDeviceManagerInstructDlg : public QDialog {
    Q_OBJECT

public:
    explicit CDeviceManagerInstructDlg(QWidget* parent = nullptr);

    [[nodiscard]] QLabel* steps() const { return steps_; }

private:
    QLabel* steps_;
};

}  // namespace corvane
