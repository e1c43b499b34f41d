#include "link/CConnectDlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace corvane {

CConnectDlg::CConnectDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(connectionTitle(false)));
    auto* layout = new QVBoxLayout(this);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("Connection Message"));
    message_->setMinimumWidth(460);
    message_->setWordWrap(true);
    QFont bigger = message_->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.2);
    message_->setFont(bigger);
    layout->addWidget(message_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    continue_ = new QPushButton(QStringLiteral("Continue"), this);
    skip_ = new QPushButton(QStringLiteral("Skip Hardware Check"), this);
    continue_->setEnabled(false);
    skip_->setEnabled(false);
    continue_->setAutoDefault(false);
    skip_->setAutoDefault(false);
    buttons->addWidget(continue_);
    buttons->addWidget(skip_);
    layout->addLayout(buttons);
    connect(continue_, &QPushButton::clicked, this, &CConnectDlg::continuePressed);
    connect(skip_, &QPushButton::clicked, this, &CConnectDlg::skipPressed);
}

template <class F>
void CConnectDlg::onWindowThread(F&& f) {
    if (QThread::currentThread() == thread()) {
        f();
    } else {
        QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
    }
}

void CConnectDlg::setTitle(const std::string& title) {
    onWindowThread([this, text = QString::fromStdString(title)] { setWindowTitle(text); });
}

void CConnectDlg::setMessage(const std::string& text) {
    onWindowThread([this, line = QString::fromStdString(text)] { message_->setText(line); });
}

void CConnectDlg::setContinueCaption(const std::string& caption) {
    onWindowThread([this, text = QString::fromStdString(caption)] { continue_->setText(text); });
}

void CConnectDlg::enableButtons(bool continueEnabled, bool skipEnabled) {
    onWindowThread([this, continueEnabled, skipEnabled] {
        continue_->setEnabled(continueEnabled);
        skip_->setEnabled(skipEnabled);
    });
}

void CConnectDlg::finish(bool ok) {
    onWindowThread([this, ok] { done(ok ? QDialog::Accepted : QDialog::Rejected); });
}

void CConnectDlg::keyPressEvent(QKeyEvent* event) {
    // Escape must not close the window behind the steps' back: only the
    // steps close it.
    emit keyPressed();
    // Return presses Continue whenever it may be pressed, as a default
    // button would; during the warm-up it is only the key that skips it.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !event->isAutoRepeat() && continue_->isEnabled()) {
        continue_->click();
    }
    event->accept();
}

}  // namespace corvane
