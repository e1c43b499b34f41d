#include "app/CColumnChoiceDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

CColumnChoiceDlg::CColumnChoiceDlg(const ColumnChoiceRequest& request, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Columns to Show"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("%1 has %2 columns. Choose the one to draw against and the one to draw:")
                                 .arg(QString::fromStdString(request.fileName))
                                 .arg(request.columns.size()),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    x_ = new QComboBox(this);
    y_ = new QComboBox(this);
    for (std::size_t k = 0; k < request.columns.size(); ++k) {
        // Numbered, as two columns may share a name.
        const QString item = QStringLiteral("%1: %2").arg(k + 1).arg(QString::fromStdString(request.columns[k]));
        x_->addItem(item);
        y_->addItem(item);
    }
    x_->setCurrentIndex(static_cast<int>(request.x));
    y_->setCurrentIndex(static_cast<int>(request.y));
    form->addRow(QStringLiteral("X (across):"), x_);
    form->addRow(QStringLiteral("Y (values):"), y_);
    layout->addLayout(form);
    note_ = new QLabel(QStringLiteral("X and Y must be different columns."), this);
    layout->addWidget(note_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(x_, &QComboBox::currentIndexChanged, this, &CColumnChoiceDlg::check);
    connect(y_, &QComboBox::currentIndexChanged, this, &CColumnChoiceDlg::check);
    check();
    setMinimumWidth(360);
}

ColumnChoice CColumnChoiceDlg::choice() const {
    return {static_cast<std::size_t>(x_->currentIndex()), static_cast<std::size_t>(y_->currentIndex())};
}

void CColumnChoiceDlg::check() {
    const bool same = x_->currentIndex() == y_->currentIndex();
    ok_->setEnabled(!same);
    note_->setVisible(same);
}

}  // namespace corvane
