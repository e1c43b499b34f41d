#include "desktop/CAutoAlignMsg.h"

#include <QLabel>
#include <QVBoxLayout>

namespace corvane {

namespace {

// 156 x 36 dialog units at the usual 6 x 8 pixels per 4 x 8 units.
constexpr int kWidth = 234;

}  // namespace

CAutoAlignMsg::CAutoAlignMsg(const QString& text, QWidget* owner, QPoint topLeft)
    : QFrame(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    label_ = new QLabel(text.isEmpty() ? QString::fromLatin1(kTemplateText) : text, this);
    label_->setWordWrap(true);
    layout->addWidget(label_);
    setFixedWidth(kWidth);
    adjustSize();
    move(topLeft);
}

QString CAutoAlignMsg::text() const { return label_->text(); }

}  // namespace corvane
