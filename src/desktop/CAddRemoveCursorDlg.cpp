#include "desktop/CAddRemoveCursorDlg.h"

#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {

CAddRemoveCursorDlg::CAddRemoveCursorDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Add or Remove Cursor"));
    auto* layout = new QVBoxLayout(this);
    add_ = new QRadioButton(QStringLiteral("ADD CURSOR"), this);
    delete_ = new QRadioButton(QStringLiteral("DELETE CURSOR"), this);
    add_->setChecked(true);
    layout->addWidget(add_);
    layout->addWidget(delete_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

bool CAddRemoveCursorDlg::addChosen() const { return add_->isChecked(); }

}  // namespace corvane
