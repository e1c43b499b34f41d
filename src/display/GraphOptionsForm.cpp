#include "display/GraphOptionsForm.h"

#include <algorithm>

#include "app/Prompter.h"
#include "base/FieldScanner.h"
#include "base/TextFormat.h"
#include "graph/AxisScaling.h"

namespace corvane {

GraphOptionsForm GraphOptionsForm::from(const AxisState& view) {
    GraphOptionsForm form;
    form.showGrid = view.showGrid();
    form.xAutoScale = view.xAutoScale();
    form.yAutoScale = view.yAutoScale();
    form.yyAutoScale = view.yyAutoScale();
    form.logScale = view.logScale();
    form.xAutoWidth = formatText("%d", view.xAutoWidth());
    form.xMin = formatText("%.2f", view.xRange().min);
    form.xMax = formatText("%.2f", view.xRange().max);
    const AxisTexts texts = view.axisTexts();
    form.yMin = texts.yMin;
    form.yMax = texts.yMax;
    form.yyMin = texts.yyMin;
    form.yyMax = texts.yyMax;
    return form;
}

const std::string& GraphOptionsForm::text(Field field) const {
    switch (field) {
        case Field::AutoWidth: return xAutoWidth;
        case Field::XMin: return xMin;
        case Field::XMax: return xMax;
        case Field::YMin: return yMin;
        case Field::YMax: return yMax;
        case Field::YYMin: return yyMin;
        case Field::YYMax: return yyMax;
    }
    return xAutoWidth;
}

bool GraphOptionsForm::spin(Field field, bool up) {
    if (field == Field::AutoWidth) {
        int width = 0;
        FieldScanner scan(xAutoWidth);
        if (!scan.integer(width)) {
            return false;
        }
        width = std::clamp(width + (up ? kAutoWidthStep : -kAutoWidthStep), AxisState::kMinAutoWidth,
                           AxisState::kMaxAutoWidth);
        xAutoWidth = formatText("%d", width);
        return true;
    }
    const bool x = field == Field::XMin || field == Field::XMax;
    const bool y = field == Field::YMin || field == Field::YMax;
    std::string& low = x ? xMin : y ? yMin : yyMin;
    std::string& high = x ? xMax : y ? yMax : yyMax;
    const auto min = parseAxisText(low);
    const auto max = parseAxisText(high);
    std::string& box = field == Field::XMin || field == Field::YMin || field == Field::YYMin ? low : high;
    const auto value = spinAxisLimit(box, {min.value_or(0.0), max.value_or(0.0)}, up);
    if (!min || !max || !value) {
        return false;
    }
    const bool lowBox = &box == &low;
    const double range = lowBox ? *max - *value : *value - *min;
    // The x boxes show "%.2f"; the y boxes as the main window's do.
    box = x ? formatText("%.2f", *value) : axisLimitText(*value, range, logScale);
    return true;
}

std::optional<GraphOptions> GraphOptionsForm::check(Prompter& prompter) const {
    GraphOptions options;
    options.showGrid = showGrid;
    options.xAutoScale = xAutoScale;
    options.yAutoScale = yAutoScale;
    options.yyAutoScale = yyAutoScale;
    options.logScale = logScale;

    FieldScanner width(xAutoWidth);
    if (!width.integer(options.xAutoWidth)) {
        prompter.message("Invalid X-axis Auto Width.");
        return std::nullopt;
    }
    if (options.xAutoWidth > AxisState::kMaxAutoWidth) {
        prompter.message(formatText("X-axis Auto Width must be less than or equal to %d", AxisState::kMaxAutoWidth));
        return std::nullopt;
    }
    if (options.xAutoWidth < AxisState::kMinAutoWidth) {
        prompter.message(
            formatText("X-axis Auto Width must be greater than or equal to %d", AxisState::kMinAutoWidth));
        return std::nullopt;
    }
    const auto take = [&](const std::string& text, double& out, const char* message) {
        const auto value = parseAxisText(text);
        if (!value) {
            prompter.message(message);
            return false;
        }
        out = *value;
        return true;
    };
    if (!xAutoScale && (!take(xMin, options.x.min, "Invalid x-axis minimum value.") ||
                        !take(xMax, options.x.max, "Invalid x-axis maximum value."))) {
        return std::nullopt;
    }
    if (!take(yMin, options.y.min, "Invalid y-axis minimum value.") ||
        !take(yMax, options.y.max, "Invalid y-axis maximum value.") ||
        !take(yyMin, options.yy.min, "Invalid yy-axis minimum value.") ||
        !take(yyMax, options.yy.max, "Invalid yy-axis maximum value.")) {
        return std::nullopt;
    }
    return options;
}

}  // namespace corvane
