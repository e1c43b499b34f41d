#pragma once

#include <QDialog>

#include "app/Prompter.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace corvane {

// "Columns to Show": the x and y columns of a plain table being opened, each
// from a list of the table's column names ("2: A260 (mAU)"). OK is off while
// both name the same column.
class CColumnChoiceDlg : public QDialog {
    Q_OBJECT

public:
    explicit CColumnChoiceDlg(const ColumnChoiceRequest& request, QWidget* parent = nullptr);

    [[nodiscard]] ColumnChoice choice() const;
    [[nodiscard]] QComboBox* xList() const { return x_; }
    [[nodiscard]] QComboBox* yList() const { return y_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }

private:
    void check();

    QComboBox* x_;
    QComboBox* y_;
    QLabel* note_;
    QPushButton* ok_;
};

}  // namespace corvane
