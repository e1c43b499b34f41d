#include "desktop/CDataMarkersDlg.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

CDataMarkersDlg::CDataMarkersDlg(int cursor, QWidget* owner)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint), cursor_(cursor) {
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    const auto add = [&](const char* caption, Choice choice) {
        auto* button = new QPushButton(QLatin1String(caption), this);
        button->setObjectName(QLatin1String(caption));
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, choice] { emit chosen(cursor_, choice); });
    };
    add("DELETE THIS CURSOR", Choice::Delete);
    add("MOVE THIS CURSOR", Choice::Move);
    add("MAKE MAIN CURSOR", Choice::MakeMain);
    add("ADD NEW CURSOR", Choice::Add);
    adjustSize();
}

}  // namespace corvane
