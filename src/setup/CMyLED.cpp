#include "setup/CMyLED.h"

#include <QPainter>

namespace corvane {

CMyLED::CMyLED(QWidget* parent) : QWidget(parent) {}

void CMyLED::setOn(bool on) {
    if (on_ != on) {
        on_ = on;
        update();
    }
}

void CMyLED::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    painter.setBrush(on_ ? QColor(0, 255, 0) : QColor(255, 0, 0));
    const int diameter = height() - 1;
    painter.drawEllipse(0, 0, diameter, diameter);
}

}  // namespace corvane
