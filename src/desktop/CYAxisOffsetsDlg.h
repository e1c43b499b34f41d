#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "display/RepeatStepper.h"

class QLabel;

namespace corvane {

class Clock;
class CompareOffsets;

// The y offsets of the data sets shown together: "-", the offset ("%.2E"),
// "+" and RESET ("0") per set. A press moves the offset by a quarter of
// itself, never by less than one pixel's worth of the y range; held presses
// accelerate as the gains do.
class CYAxisOffsetsDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRows = 4;

    // yRange and plotHeight are read at each press; changed: the graph follows.
    CYAxisOffsetsDlg(CompareOffsets& offsets, const Clock& clock, std::function<double()> yRange,
                     std::function<int()> plotHeight, std::function<void()> changed, QWidget* parent);

    void step(int row, bool up);
    void reset(int row);
    // Shows the offsets as they are now (after a trace drag, say).
    void refresh();
    [[nodiscard]] QLabel* value(int row) const { return values_[static_cast<std::size_t>(row)]; }

private:
    CompareOffsets& offsets_;
    RepeatStepper stepper_;
    std::function<double()> yRange_;
    std::function<int()> plotHeight_;
    std::function<void()> changed_;
    std::array<QLabel*, kRows> values_{};
};

}  // namespace corvane
