#pragma once

#include <QPainter>
#include <QWidget>
#include <optional>

#include "graph/Rgb.h"

namespace corvane {

// A short line in a trace's colour and style, beside the control or value
// that names the trace; nothing while the trace is not drawn.
class LegendLine : public QWidget {
public:
    explicit LegendLine(QWidget* parent) : QWidget(parent) { setFixedSize(22, 12); }

    void setLine(std::optional<Rgb> colour, bool dashed = false) {
        if (colour != colour_ || dashed != dashed_) {
            colour_ = colour;
            dashed_ = dashed;
            update();
        }
    }
    [[nodiscard]] std::optional<Rgb> colour() const { return colour_; }
    [[nodiscard]] bool dashed() const { return dashed_; }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        if (!colour_) {
            return;
        }
        QPainter painter(this);
        painter.setPen(QPen(QColor(colour_->r, colour_->g, colour_->b), 2, dashed_ ? Qt::DashLine : Qt::SolidLine));
        const int y = height() / 2;
        painter.drawLine(2, y, width() - 3, y);
    }

private:
    std::optional<Rgb> colour_;
    bool dashed_ = false;
};

}  // namespace corvane
