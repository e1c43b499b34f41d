#include "setup/CMyComboBox.h"

#include <QLineEdit>

namespace corvane {

CMyComboBox::CMyComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

int CMyComboBox::lookup() const {
    if (count() == 0) {
        return currentIndex();
    }
    return findText(currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void CMyComboBox::setHighlight(bool on) {
    if (highlight_ == on) {
        return;
    }
    highlight_ = on;
    QPalette colours = palette();
    if (on) {
        colours.setColor(QPalette::Text, QColor(255, 0, 0));
        colours.setColor(QPalette::Base, colours.color(QPalette::Button));
    } else {
        colours = QPalette();
    }
    lineEdit()->setPalette(colours);
}

}  // namespace corvane
