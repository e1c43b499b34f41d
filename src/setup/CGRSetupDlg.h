#pragma once

#include <QDialog>

#include "setup/GraphSetupPage.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace corvane {

// The DE-1 graph axes window ("SETUP", modal) before the DE-1 SETUP page.
// Its choices are stored when it is left; USER goes back to the USER page,
// GRAPH (and the close box) on to the DE-1 SETUP page.
class CGRSetupDlg : public QDialog {
    Q_OBJECT

public:
    enum Choice { kGraph = QDialog::Accepted + 1, kUser };

    CGRSetupDlg(std::filesystem::path startupFolder, Prompter& prompter, std::optional<RunInfo> runInfo,
                QWidget* parent = nullptr);

    [[nodiscard]] GraphSetupPage& page() { return page_; }
    [[nodiscard]] QPushButton* userButton() const { return user_; }
    [[nodiscard]] QPushButton* graphButton() const { return graph_; }
    [[nodiscard]] QComboBox* rateList() const { return rates_; }

    void reject() override;

private:
    void leave(int choice);

    GraphSetupPage page_;
    QButtonGroup* aufs_;
    QComboBox* rates_;
    QButtonGroup* yAxis_;
    QButtonGroup* xAxis_;
    QLineEdit* flowRate_;
    QPushButton* user_;
    QPushButton* graph_;
};

}  // namespace corvane
