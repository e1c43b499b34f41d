#pragma once

#include <QDialog>

class QRadioButton;

namespace corvane {

// "Add or Remove Cursor": ADD CURSOR or DELETE CURSOR, then OK.
class CAddRemoveCursorDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAddRemoveCursorDlg(QWidget* parent);
    [[nodiscard]] bool addChosen() const;
    [[nodiscard]] QRadioButton* deleteButton() const { return delete_; }

private:
    QRadioButton* add_ = nullptr;
    QRadioButton* delete_ = nullptr;
};

}  // namespace corvane
