#include "link/CPacketDebugDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/PacketDebugLink.h"

namespace corvane {

CPacketDebugDlg::CPacketDebugDlg(PacketDebugMonitor::Kind kind, Clock& clock, Prompter& prompter,
                                 QWidget* parent)
    : QDialog(parent), monitor_(kind, clock), prompter_(prompter) {
    setWindowTitle(QString::fromStdString(monitor_.title()));
    auto* layout = new QVBoxLayout(this);
    count_ = new QLabel(QString::fromStdString(monitor_.countText()), this);
    layout->addWidget(count_);
    auto* grid = new QGridLayout;
    const auto fields = monitor_.fields();
    int row = 0;
    for (const auto& field : fields) {
        grid->addWidget(new QLabel(QString::fromStdString(field.caption), this), row, 0, Qt::AlignRight);
        if (field.editable && monitor_.canSend()) {
            auto* edit = new QLineEdit(this);
            edit->setMinimumWidth(90);
            grid->addWidget(edit, row, 1);
            edits_.push_back(edit);
            allEdits_.push_back(edit);
            values_.push_back(nullptr);
        } else {
            auto* value = new QLabel(this);
            value->setMinimumWidth(90);
            grid->addWidget(value, row, 1);
            allEdits_.push_back(nullptr);
            values_.push_back(value);
        }
        ++row;
    }
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    pause_ = new QPushButton(QString::fromStdString(monitor_.pauseCaption()), this);
    pause_->setAutoDefault(false);
    buttons->addWidget(pause_);
    connect(pause_, &QPushButton::clicked, this, [this] {
        monitor_.togglePause();
        pause_->setText(QString::fromStdString(monitor_.pauseCaption()));
        refreshView();
    });
    if (monitor_.canSend()) {
        send_ = new QPushButton(QStringLiteral("Send Settings"), this);
        send_->setAutoDefault(false);
        buttons->addWidget(send_);
        connect(send_, &QPushButton::clicked, this, &CPacketDebugDlg::startSend);
    }
    layout->addLayout(buttons);
    setLink(nullptr);
}

CPacketDebugDlg::~CPacketDebugDlg() { joinSend(); }

void CPacketDebugDlg::setLink(PacketDebugLink* link) {
    link_ = link;
    setEnabled(link_ != nullptr);
}

void CPacketDebugDlg::queueRefresh(bool due) {
    if (due) {
        QMetaObject::invokeMethod(this, &CPacketDebugDlg::refreshView, Qt::QueuedConnection);
    }
}

void CPacketDebugDlg::received(const Cmd0& packet) { queueRefresh(monitor_.received(packet)); }
void CPacketDebugDlg::received(const Cmd1& packet) { queueRefresh(monitor_.received(packet)); }
void CPacketDebugDlg::received(const Cmd2& packet) { queueRefresh(monitor_.received(packet)); }

void CPacketDebugDlg::refreshView() {
    count_->setText(QString::fromStdString(monitor_.countText()));
    if (monitor_.paused()) {
        // Paused: the operator edits the fields; nothing overwrites them.
        return;
    }
    const auto fields = monitor_.fields();
    for (std::size_t i = 0; i < fields.size() && i < values_.size(); ++i) {
        const QString value = QString::fromStdString(fields[i].value);
        if (values_[i] != nullptr) {
            values_[i]->setText(value);
        } else if (allEdits_[i] != nullptr && !allEdits_[i]->hasFocus()) {
            allEdits_[i]->setText(value);
        }
    }
}

void CPacketDebugDlg::startSend() {
    if (link_ == nullptr || sending_.exchange(true)) {
        return;
    }
    joinSend();
    std::vector<std::string> texts;
    for (auto* edit : edits_) {
        texts.push_back(edit->text().toStdString());
    }
    send_->setEnabled(false);
    // The echo wait takes up to seconds: off the window's thread, so it
    // keeps painting. Its outcome reaches the operator through the prompter.
    sendJob_ = std::jthread([this, texts = std::move(texts), link = link_] {
        (void)monitor_.sendSettings(texts, *link, prompter_);
        sending_ = false;
        QMetaObject::invokeMethod(this, [this] { send_->setEnabled(true); }, Qt::QueuedConnection);
    });
}

void CPacketDebugDlg::joinSend() {
    if (sendJob_.joinable()) {
        sendJob_.join();
    }
}

void CPacketDebugDlg::sendAndWait() {
    startSend();
    joinSend();
}

}  // namespace corvane
