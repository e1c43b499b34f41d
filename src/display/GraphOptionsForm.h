#pragma once

#include <optional>
#include <string>

#include "display/AxisState.h"

namespace corvane {

class Prompter;

// "Graph Options": the switches and the typed texts of the dialog, checked
// in the dialog's order on OK and Apply. The first failure is shown and the
// dialog stays open.
struct GraphOptionsForm {
    bool showGrid = false;
    bool xAutoScale = false;
    bool yAutoScale = false;
    bool yyAutoScale = false;
    bool logScale = false;
    std::string xAutoWidth;  // points
    std::string xMin;
    std::string xMax;
    std::string yMin;
    std::string yMax;
    std::string yyMin;
    std::string yyMax;

    // The dialog filled from the view: the x limits with "%.2f", the y
    // limits as the axis boxes show them.
    [[nodiscard]] static GraphOptionsForm from(const AxisState& axes);

    // The boxes that have spins beside them.
    enum class Field { AutoWidth, XMin, XMax, YMin, YMax, YYMin, YYMax };
    // One spin click: the auto width moves by kAutoWidthStep within its
    // limits; an axis limit by a quarter of the range its two boxes hold now.
    // A text the step needs that is not a number changes nothing (false).
    bool spin(Field field, bool up);
    [[nodiscard]] const std::string& text(Field field) const;
    static constexpr int kAutoWidthStep = 100;

    // The options to apply, or nothing after the first failing check's
    // message: "Invalid X-axis Auto Width.", its two limits (25000, 100),
    // then the x limits (only without X auto-scale), y, yy.
    [[nodiscard]] std::optional<GraphOptions> check(Prompter& prompter) const;
};

}  // namespace corvane
