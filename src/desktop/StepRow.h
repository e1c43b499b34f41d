#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace corvane {

// One data set's row of the gain and offset panels: "DSn", "-", its value,
// "+" and a flat "RESET". A held button repeats faster than the 150 ms that
// accelerates the step, so holding it speeds the change up.
struct StepRow {
    QPushButton* minus = nullptr;
    QPushButton* plus = nullptr;
    QLabel* value = nullptr;
    QPushButton* reset = nullptr;
};

inline StepRow addStepRow(QGridLayout& grid, QWidget* parent, int row, int valueWidth) {
    constexpr int kRepeatDelayMs = 300;
    constexpr int kRepeatIntervalMs = 100;
    StepRow r;
    grid.addWidget(new QLabel(QStringLiteral("DS%1").arg(row + 1), parent), row, 0);
    r.minus = new QPushButton(QStringLiteral("-"), parent);
    r.plus = new QPushButton(QStringLiteral("+"), parent);
    for (QPushButton* b : {r.minus, r.plus}) {
        b->setAutoRepeat(true);
        b->setAutoRepeatDelay(kRepeatDelayMs);
        b->setAutoRepeatInterval(kRepeatIntervalMs);
        b->setFixedWidth(28);
        b->setFocusPolicy(Qt::NoFocus);
    }
    r.value = new QLabel(parent);
    r.value->setMinimumWidth(valueWidth);
    r.reset = new QPushButton(QStringLiteral("RESET"), parent);
    r.reset->setFlat(true);
    grid.addWidget(r.minus, row, 1);
    grid.addWidget(r.value, row, 2);
    grid.addWidget(r.plus, row, 3);
    grid.addWidget(r.reset, row, 4);
    return r;
}

}  // namespace corvane
