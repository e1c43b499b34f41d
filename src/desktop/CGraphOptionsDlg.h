#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace corvane {

class GraphView;
class Prompter;
struct GraphOptionsForm;

// "Graph Options": the grid, the three auto-scales and log scale, the X-axis
// Auto Width and the axis limits. OK and Apply check the texts in order and
// keep the dialog open at the first failure.
class CGraphOptionsDlg : public QDialog {
    Q_OBJECT

public:
    CGraphOptionsDlg(GraphView& view, Prompter& prompter, QWidget* parent);

    // The check and, when it passes, the options applied; false keeps the
    // dialog open.
    bool apply();
    [[nodiscard]] QLineEdit* autoWidthEdit() const { return autoWidth_; }

signals:
    void applied();

private:
    [[nodiscard]] GraphOptionsForm form() const;
    void fill();

    GraphView& view_;
    Prompter& prompter_;
    QCheckBox* grid_ = nullptr;
    QCheckBox* xAuto_ = nullptr;
    QCheckBox* yAuto_ = nullptr;
    QCheckBox* yyAuto_ = nullptr;
    QCheckBox* log_ = nullptr;
    QLineEdit* autoWidth_ = nullptr;
    QLineEdit* xMin_ = nullptr;
    QLineEdit* xMax_ = nullptr;
    QLineEdit* yMin_ = nullptr;
    QLineEdit* yMax_ = nullptr;
    QLineEdit* yyMin_ = nullptr;
    QLineEdit* yyMax_ = nullptr;
};

}  // namespace corvane
