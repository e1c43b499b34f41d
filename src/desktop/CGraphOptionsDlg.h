#pragma once

#include <QDialog>
#include <array>

#include "display/GraphOptionsForm.h"

class QCheckBox;
class QHBoxLayout;
class QLineEdit;
class QSpinBox;

namespace corvane {

class GraphView;
class Prompter;

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
    [[nodiscard]] QLineEdit* edit(GraphOptionsForm::Field field) const;
    // The spin beside a box; only its arrows are used.
    [[nodiscard]] QSpinBox* spin(GraphOptionsForm::Field field) const {
        return spins_[static_cast<std::size_t>(field)];
    }
    // A window that records offers "Stop recording at the end of the scan",
    // set as given; OK and Apply report it with scanEndStopApplied.
    void offerScanEndStop(bool on);
    [[nodiscard]] QCheckBox* scanEndStopBox() const { return scanEndStop_; }

signals:
    void applied();
    void scanEndStopApplied(bool on);

private:
    [[nodiscard]] GraphOptionsForm form() const;
    void fill();
    // The box of a field with its spin beside it.
    QHBoxLayout* withSpin(QLineEdit* box, GraphOptionsForm::Field field);
    void stepped(GraphOptionsForm::Field field, bool up);

    GraphView& view_;
    Prompter& prompter_;
    QCheckBox* grid_ = nullptr;
    QCheckBox* xAuto_ = nullptr;
    QCheckBox* yAuto_ = nullptr;
    QCheckBox* yyAuto_ = nullptr;
    QCheckBox* log_ = nullptr;
    QCheckBox* scanEndStop_ = nullptr;
    QLineEdit* autoWidth_ = nullptr;
    QLineEdit* xMin_ = nullptr;
    QLineEdit* xMax_ = nullptr;
    QLineEdit* yMin_ = nullptr;
    QLineEdit* yMax_ = nullptr;
    QLineEdit* yyMin_ = nullptr;
    QLineEdit* yyMax_ = nullptr;
    std::array<QSpinBox*, 7> spins_{};
};

}  // namespace corvane
