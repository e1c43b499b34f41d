#include "app/CSelectCOMPortDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

CSelectCOMPortDlg::CSelectCOMPortDlg(std::filesystem::path startupFolder, std::vector<int> ports,
                                     QWidget* parent)
    : QDialog(parent), chooser_(std::move(startupFolder), std::move(ports)) {
    hasPorts_ = chooser_.open();
    setWindowTitle(QString::fromUtf8(kComPortChooserCaption.data(),
                                     static_cast<qsizetype>(kComPortChooserCaption.size())));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    list_ = new QComboBox(this);
    for (const auto& entry : chooser_.entries()) {
        list_->addItem(QString::fromStdString(entry));
    }
    if (chooser_.selection() >= 0) {
        list_->setCurrentIndex(chooser_.selection());
    }
    form->addRow(new QLabel(QString::fromUtf8(kComPortLabel.data(),
                                              static_cast<qsizetype>(kComPortLabel.size())),
                            this),
                 list_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(300);
}

void CSelectCOMPortDlg::accept() {
    // An entry without a number stores nothing; the stored port stays.
    (void)chooser_.accept(list_->currentText().toStdString());
    QDialog::accept();
}

}  // namespace corvane
