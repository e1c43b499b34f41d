#include "desktop/CYAxisOffsetsDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "base/TextFormat.h"
#include "compare/CompareOffsets.h"
#include "desktop/NotYet.h"

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
        grid->addWidget(new QLabel(QStringLiteral("DS%1").arg(row + 1), this), row, 0);
        auto* minus = new QPushButton(QStringLiteral("-"), this);
        auto* plus = new QPushButton(QStringLiteral("+"), this);
        for (QPushButton* b : {minus, plus}) {
            b->setAutoRepeat(true);
            b->setAutoRepeatDelay(300);
            b->setAutoRepeatInterval(100);
            b->setFixedWidth(28);
            b->setFocusPolicy(Qt::NoFocus);
        }
        auto* value = new QLabel(this);
        value->setMinimumWidth(80);
        values_[static_cast<std::size_t>(row)] = value;
        auto* reset = new QPushButton(QStringLiteral("RESET"), this);
        reset->setFlat(true);
        grid->addWidget(minus, row, 1);
        grid->addWidget(value, row, 2);
        grid->addWidget(plus, row, 3);
        grid->addWidget(reset, row, 4);
        connect(minus, &QPushButton::clicked, this, [this, row] { step(row, false); });
        connect(plus, &QPushButton::clicked, this, [this, row] { step(row, true); });
        connect(reset, &QPushButton::clicked, this, [this, row] { this->reset(row); });
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
