#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "setup/GeneralRecordUserPage.h"

class QComboBox;
class QDateEdit;
class QPlainTextEdit;
class QPushButton;
class QTimeEdit;

namespace corvane {

// The general record's USER page window (modal): name, date, time and a
// description. exec() returns Accepted when a button led on; step() says
// where.
class CGeneralRecordUserDlg : public QDialog {
    Q_OBJECT

public:
    CGeneralRecordUserDlg(GeneralRecordUserPage::Env env, QWidget* parent = nullptr);

    [[nodiscard]] GeneralRecordUserPage& page() { return page_; }
    [[nodiscard]] const std::optional<PageStep>& step() const { return step_; }
    [[nodiscard]] QComboBox* nameList() const { return names_; }
    [[nodiscard]] QPlainTextEdit* descriptionEdit() const { return description_; }
    [[nodiscard]] QPushButton* button(const QString& caption) const;

private:
    void takeFields();
    void finish(std::optional<PageStep> step);

    GeneralRecordUserPage page_;
    std::optional<PageStep> step_;
    QComboBox* names_;
    QDateEdit* date_;
    QTimeEdit* time_;
    QPlainTextEdit* description_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace corvane
