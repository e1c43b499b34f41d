#pragma once

#include <QDialog>

#include "setup/IntroPage.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace corvane {

// The INTRO page: the title line, the prompt, the name list and OK. OK
// (or Return) with a usable name accepts; closing the window asks "Are you
// sure you wish to exit?" and, on Yes, reports exitRequested.
class CIntroDlg : public QDialog {
    Q_OBJECT

public:
    CIntroDlg(std::filesystem::path startupFolder, Prompter& prompter, bool instrumentFound,
              QWidget* parent = nullptr);

    [[nodiscard]] IntroPage& page() { return page_; }
    [[nodiscard]] QComboBox* nameList() const { return names_; }
    [[nodiscard]] QLabel* promptLabel() const { return prompt_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }

    void accept() override;
    void reject() override;

signals:
    // The operator confirmed the exit: stop the link and end the program.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    IntroPage page_;
    QLabel* prompt_;
    QComboBox* names_;
    QPushButton* ok_;
};

}  // namespace corvane
