#include "desktop/CYAxisOffsetsDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "base/TextFormat.h"
#include "compare/CompareOffsets.h"
#include "desktop/NotYet.h"
#include "desktop/StepRow.h"

namespace corvane {

CYAxisOffsetsDlg::CYAxisOffsetsDlg(CompareOffsets& offsets, const Clock& clock, std::function<double()> yRange,
                                   std::function<int()> plotHeight, std::function<void()> changed,
                                   QWidget* parent)
    : QDialog(parent),
      offsets_(offsets),
      stepper_(clock),
      yRange_(std::move(yRange)),
      plotHeight_(std::move(plotHeight)),
      changed_(std::move(changed)) {
    setWindowTitle(QStringLiteral("Y-Axis Offsets"));
    auto* grid = new QGridLayout(this);
    for (int row = 0; row < kRows; ++row) {
        const StepRow r = addStepRow(*grid, this, row, 80);
        values_[static_cast<std::size_t>(row)] = r.value;
        connect(r.minus, &QPushButton::clicked, this, [this, row] { step(row, false); });
        connect(r.plus, &QPushButton::clicked, this, [this, row] { step(row, true); });
        connect(r.reset, &QPushButton::clicked, this, [this, row] { reset(row); });
    }
    refresh();
}

void CYAxisOffsetsDlg::step(int row, bool up) {
    const double offset = offsets_.yOffset(row);
    const double change = offsetStep(offset, yRange_ ? yRange_() : 0.0, plotHeight_ ? plotHeight_() : 0,
                                     stepper_.nextUnits());
    (void)offsets_.setYOffset(row, up ? offset + change : offset - change);
    refresh();
    if (changed_) {
        changed_();
    }
}

void CYAxisOffsetsDlg::reset(int row) {
    (void)offsets_.setYOffset(row, 0.0);
    refresh();
    if (changed_) {
        changed_();
    }
}

void CYAxisOffsetsDlg::refresh() {
    for (int row = 0; row < kRows; ++row) {
        const double offset = offsets_.yOffset(row);
        values_[static_cast<std::size_t>(row)]->setText(offset == 0.0 ? QStringLiteral("0")
                                                                      : qs(formatText("%.2E", offset)));
    }
}

}  // namespace corvane
