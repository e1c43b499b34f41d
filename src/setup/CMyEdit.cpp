#include "setup/CMyEdit.h"

namespace corvane {

CMyEdit::CMyEdit(QWidget* parent) : QLineEdit(parent) {}

void CMyEdit::setMarked(bool on) {
    if (marked_ == on) {
        return;
    }
    marked_ = on;
    QPalette colours;
    if (on) {
        colours.setColor(QPalette::Base, QColor(127, 127, 127));
    }
    setPalette(colours);
}

}  // namespace corvane
