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

namespace corvane {

namespace {

// A held button repeats faster than the 150 ms that accelerates the step.
constexpr int kRepeatDelayMs = 300;
constexpr int kRepeatIntervalMs = 100;

}  // namespace

CAxisScaleDlg::CAxisScaleDlg(Axis axis, CompareOffsets& offsets, const Clock& clock, std::function<void()> changed,
                             QWidget* parent)
    : QDialog(parent), axis_(axis), offsets_(offsets), stepper_(clock), changed_(std::move(changed)) {
    const QString title = axis == Axis::X ? QStringLiteral("X-Axis Scale") : QStringLiteral("Y-Axis Scale");
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* panel = new QGroupBox(title, this);
    auto* grid = new QGridLayout(panel);
    for (int row = 0; row < kRows; ++row) {
        grid->addWidget(new QLabel(QStringLiteral("DS%1").arg(row + 1), panel), row, 0);
        auto* minus = new QPushButton(QStringLiteral("-"), panel);
        auto* plus = new QPushButton(QStringLiteral("+"), panel);
        for (QPushButton* b : {minus, plus}) {
            b->setAutoRepeat(true);
            b->setAutoRepeatDelay(kRepeatDelayMs);
            b->setAutoRepeatInterval(kRepeatIntervalMs);
            b->setFixedWidth(28);
            b->setFocusPolicy(Qt::NoFocus);
        }
        plus_[static_cast<std::size_t>(row)] = plus;
        auto* value = new QLabel(panel);
        value->setMinimumWidth(60);
        values_[static_cast<std::size_t>(row)] = value;
        auto* reset = new QPushButton(QStringLiteral("RESET"), panel);
        reset->setFlat(true);
        grid->addWidget(minus, row, 1);
        grid->addWidget(value, row, 2);
        grid->addWidget(plus, row, 3);
        grid->addWidget(reset, row, 4);
        connect(minus, &QPushButton::clicked, this, [this, row] { step(row, false); });
        connect(plus, &QPushButton::clicked, this, [this, row] { step(row, true); });
        connect(reset, &QPushButton::clicked, this, [this, row] { this->reset(row); });
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
