#pragma once

#include <QDialog>
#include <filesystem>

#include "setup/CheckList.h"

class QLabel;
class QPushButton;
class QTextEdit;

namespace corvane {

// "Checklist": one item of a check list at a time in large bold type, moved
// with the Up and Down keys; "END" closes it. Both lists are read when the
// window is shown.
class CCheckListDlg : public QDialog {
    Q_OBJECT

public:
    CCheckListDlg(std::filesystem::path startupFolder, Prompter& prompter, QWidget* parent = nullptr);

    // Which list the window shows (the short one unless told).
    void setDetailed(bool detailed);

    [[nodiscard]] CheckList& list() { return list_; }
    [[nodiscard]] QTextEdit* itemBox() const { return box_; }
    [[nodiscard]] QLabel* hint() const { return hint_; }
    [[nodiscard]] QPushButton* endButton() const { return end_; }

    void moveUp();
    void moveDown();

signals:
    // An item came on show; setupItem: it concerns the DE-1 SETUP page.
    void itemShown(bool setupItem);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showItem();

    std::filesystem::path startup_;
    CheckList list_;
    bool detailed_ = false;
    QTextEdit* box_;
    QLabel* hint_;
    QPushButton* end_;
};

}  // namespace corvane
