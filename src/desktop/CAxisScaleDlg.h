#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "display/RepeatStepper.h"

class QLabel;
class QPushButton;

namespace corvane {

class Clock;
class CompareOffsets;

// The gains of the data sets shown together, one row per set with "-",
// the gain, "+" and RESET: "X-Axis Scale" steps 0.001 (shown "%.3f"),
// "Y-Axis Scale" 0.01 ("%.2f"). A button held down keeps stepping and the
// step grows while the presses come within 150 ms (RepeatStepper).
class CAxisScaleDlg : public QDialog {
    Q_OBJECT

public:
    enum class Axis { X, Y };
    static constexpr int kRows = 4;

    // changed: the graph and readouts follow a new gain.
    CAxisScaleDlg(Axis axis, CompareOffsets& offsets, const Clock& clock, std::function<void()> changed,
                  QWidget* parent);

    // One press of a row's button (up: "+").
    void step(int row, bool up);
    void reset(int row);
    void refresh();
    [[nodiscard]] QLabel* value(int row) const { return values_[static_cast<std::size_t>(row)]; }
    [[nodiscard]] QPushButton* plus(int row) const { return plus_[static_cast<std::size_t>(row)]; }

private:
    [[nodiscard]] double gain(int row) const;

    Axis axis_;
    CompareOffsets& offsets_;
    RepeatStepper stepper_;
    std::function<void()> changed_;
    std::array<QLabel*, kRows> values_{};
    std::array<QPushButton*, kRows> plus_{};
};

}  // namespace corvane
