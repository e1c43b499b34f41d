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
    // A wrapped label reports its height only for a given width: sized by it,
    // the longer texts are not cut off at the top and bottom.
    const QMargins m = layout->contentsMargins();
    setFixedHeight(label_->heightForWidth(kWidth - m.left() - m.right() - 2 * frameWidth()) + m.top() + m.bottom() +
                   2 * frameWidth());
    move(topLeft);
}

QString CAutoAlignMsg::text() const { return label_->text(); }

}  // namespace corvane
