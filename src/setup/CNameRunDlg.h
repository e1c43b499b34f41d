#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "setup/NameRunPage.h"

class QButtonGroup;
class QLineEdit;

namespace corvane {

// "Name Run?": "Do you want to name this run?", the name (the last one
// offered), OK. exec() gives Accepted with name() once a usable name is in.
class CNameRunDlg : public QDialog {
    Q_OBJECT

public:
    CNameRunDlg(std::filesystem::path startupFolder, Prompter& prompter, QWidget* parent = nullptr);

    [[nodiscard]] QLineEdit* nameEdit() const { return edit_; }
    [[nodiscard]] const std::string& name() const { return name_; }
    void accept() override;

private:
    NameRunPage page_;
    QLineEdit* edit_;
    std::string name_;
};

// "Choose Signal Type": how the DE-1 runs of this session are triggered
// (Em1Settings: event-mark triggered, manual triggered, general record).
class CChooseSignalTypeDlg : public QDialog {
    Q_OBJECT

public:
    explicit CChooseSignalTypeDlg(int current, QWidget* parent = nullptr);
    [[nodiscard]] int choice() const;

private:
    QButtonGroup* group_;
};

}  // namespace corvane
