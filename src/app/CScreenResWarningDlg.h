#pragma once

#include <QDialog>
#include <filesystem>

class QCheckBox;

namespace corvane {

// The small-display warning shown at start-up ("Corvane Warning"). OK
// stores the check box as "dontshowscreenreswarning".
class CScreenResWarningDlg : public QDialog {
    Q_OBJECT

public:
    CScreenResWarningDlg(std::filesystem::path startupFolder, int width, int height,
                         QWidget* parent = nullptr);

    [[nodiscard]] QCheckBox* dontShowBox() const { return dontShow_; }

    void accept() override;

private:
    std::filesystem::path startupFolder_;
    QCheckBox* dontShow_;
};

}  // namespace corvane
