#include "desktop/CAxisScaleDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "base/TextFormat.h"
#include "compare/CompareOffsets.h"
#include "desktop/NotYet.h"
#include "desktop/StepRow.h"

namespace corvane {

CAxisScaleDlg::CAxisScaleDlg(Axis axis, CompareOffsets& offsets, const Clock& clock, std::function<void()> changed,
                             QWidget* parent)
    : QDialog(parent), axis_(axis), offsets_(offsets), stepper_(clock), changed_(std::move(changed)) {
    const QString title = axis == Axis::X ? QStringLiteral("X-Axis Scale") : QStringLiteral("Y-Axis Scale");
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* panel = new QGroupBox(title, this);
    auto* grid = new QGridLayout(panel);
    for (int row = 0; row < kRows; ++row) {
        const StepRow r = addStepRow(*grid, panel, row, 60);
        plus_[static_cast<std::size_t>(row)] = r.plus;
        values_[static_cast<std::size_t>(row)] = r.value;
        connect(r.minus, &QPushButton::clicked, this, [this, row] { step(row, false); });
        connect(r.plus, &QPushButton::clicked, this, [this, row] { step(row, true); });
        connect(r.reset, &QPushButton::clicked, this, [this, row] { reset(row); });
    }
    layout->addWidget(panel);
    refresh();
}

double CAxisScaleDlg::gain(int row) const {
    const SetPlacement& p = offsets_.placement(row);
    return axis_ == Axis::X ? p.xGain : p.yGain;
}

void CAxisScaleDlg::step(int row, bool up) {
    const double unit = axis_ == Axis::X ? 0.001 : 0.01;
    const double change = unit * stepper_.nextUnits() * (up ? 1.0 : -1.0);
    // Kept on the grid of the shown digits, so repeated steps do not drift.
    const double next = std::round((gain(row) + change) / unit) * unit;
    (void)(axis_ == Axis::X ? offsets_.setXGain(row, next) : offsets_.setYGain(row, next));
    refresh();
    if (changed_) {
        changed_();
    }
}

void CAxisScaleDlg::reset(int row) {
    (void)(axis_ == Axis::X ? offsets_.setXGain(row, 1.0) : offsets_.setYGain(row, 1.0));
    refresh();
    if (changed_) {
        changed_();
    }
}

void CAxisScaleDlg::refresh() {
    for (int row = 0; row < kRows; ++row) {
        values_[static_cast<std::size_t>(row)]->setText(
            qs(formatText(axis_ == Axis::X ? "%.3f" : "%.2f", gain(row))));
    }
}

}  // namespace corvane
