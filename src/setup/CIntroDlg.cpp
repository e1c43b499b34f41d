#include "setup/CIntroDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

CIntroDlg::CIntroDlg(std::filesystem::path startupFolder, Prompter& prompter, bool instrumentFound,
                     QWidget* parent)
    : QDialog(parent), page_(std::move(startupFolder), prompter, instrumentFound) {
    setWindowTitle(QStringLiteral("INTRO"));
    page_.loadNames();
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(14);
    layout->setContentsMargins(28, 24, 28, 20);
    auto* title = new QLabel(QString::fromStdString(page_.title()), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);
    prompt_ = new QLabel(QString::fromStdString(page_.prompt()), this);
    prompt_->setWordWrap(true);
    layout->addWidget(prompt_);
    names_ = new QComboBox(this);
    names_->setEditable(true);
    names_->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& name : page_.names()) {
        names_->addItem(QString::fromStdString(name));
    }
    names_->setCurrentIndex(-1);
    // The last start's user is the likeliest one: offered, selected so that
    // typing replaces it.
    if (const auto last = page_.lastUser(); !last.empty()) {
        names_->setCurrentText(QString::fromStdString(last));
        names_->lineEdit()->selectAll();
    }
    names_->setMinimumWidth(320);
    layout->addWidget(names_);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CIntroDlg::accept);
    layout->addWidget(buttons);
    names_->setFocus();
}

void CIntroDlg::accept() {
    if (page_.accept(names_->currentText().toStdString())) {
        QDialog::accept();
    }
}

void CIntroDlg::reject() {
    // Escape and the close box ask, as closing the page does.
    close();
}

void CIntroDlg::closeEvent(QCloseEvent* event) {
    if (result() == QDialog::Accepted && !isVisible()) {
        event->accept();
        return;
    }
    if (page_.confirmExit()) {
        event->accept();
        QDialog::reject();
        emit exitRequested();
    } else {
        event->ignore();
    }
}

}  // namespace corvane
