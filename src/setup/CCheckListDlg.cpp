#include "setup/CCheckListDlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace corvane {

namespace {

// The item's type: bold and 24 pixels high; the hint a little larger than
// the window's own type.
constexpr int kItemPixelSize = 24;
constexpr double kHintScale = 1.26;

}  // namespace

CCheckListDlg::CCheckListDlg(std::filesystem::path startupFolder, Prompter& prompter, QWidget* parent)
    : QDialog(parent), startup_(std::move(startupFolder)), list_(prompter) {
    setWindowTitle(QStringLiteral("Checklist"));
    auto* layout = new QVBoxLayout(this);
    box_ = new QTextEdit(this);
    box_->setReadOnly(true);
    box_->setFocusPolicy(Qt::NoFocus);
    QFont itemFont = box_->font();
    itemFont.setBold(true);
    itemFont.setPixelSize(kItemPixelSize);
    box_->setFont(itemFont);
    box_->setMinimumSize(600, 170);
    layout->addWidget(box_);
    auto* row = new QHBoxLayout;
    hint_ = new QLabel(QStringLiteral("Use up or down arrows to move through checklist."), this);
    QFont hintFont = hint_->font();
    hintFont.setPointSizeF(hintFont.pointSizeF() * kHintScale);
    hint_->setFont(hintFont);
    row->addWidget(hint_);
    row->addStretch();
    end_ = new QPushButton(QStringLiteral("END"), this);
    end_->setDefault(true);
    row->addWidget(end_);
    layout->addLayout(row);
    connect(end_, &QPushButton::clicked, this, &QDialog::accept);
}

void CCheckListDlg::setDetailed(bool detailed) {
    detailed_ = detailed;
    list_.showDetailed(detailed);
    showItem();
}

void CCheckListDlg::showEvent(QShowEvent* event) {
    list_.load(startup_);
    list_.showDetailed(detailed_);
    showItem();
    QDialog::showEvent(event);
}

void CCheckListDlg::showItem() {
    const CheckListItem* item = list_.current();
    box_->setPlainText(item != nullptr ? QString::fromStdString(item->text) : QString());
    if (item != nullptr) {
        emit itemShown(item->setupItem);
    }
}

void CCheckListDlg::moveUp() {
    if (list_.previous()) {
        showItem();
    }
}

void CCheckListDlg::moveDown() {
    if (list_.next()) {
        showItem();
    }
}

void CCheckListDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        moveUp();
    } else if (event->key() == Qt::Key_Down) {
        moveDown();
    } else {
        QDialog::keyPressEvent(event);
    }
}

}  // namespace corvane
