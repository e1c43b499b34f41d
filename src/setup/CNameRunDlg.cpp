#include "setup/CNameRunDlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {

CNameRunDlg::CNameRunDlg(std::filesystem::path startupFolder, Prompter& prompter, QWidget* parent)
    : QDialog(parent), page_(std::move(startupFolder), prompter) {
    setWindowTitle(QStringLiteral("Name Run?"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QLatin1String(NameRunPage::kQuestion), this));
    edit_ = new QLineEdit(QString::fromStdString(page_.offeredName()), this);
    edit_->setMinimumWidth(260);
    edit_->selectAll();
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNameRunDlg::accept);
    layout->addWidget(buttons);
}

void CNameRunDlg::accept() {
    if (const auto name = page_.accept(edit_->text().toStdString())) {
        name_ = *name;
        QDialog::accept();
    }
}

CChooseSignalTypeDlg::CChooseSignalTypeDlg(int current, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Choose Signal Type"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("How are the DE-1 runs of this session started?"), this));
    group_ = new QButtonGroup(this);
    int id = 0;
    for (const char* caption : {"Event-mark triggered (the collector's marks start and cut the run)",
                                "Manual triggered (no event marks)", "General record (a plain recording)"}) {
        auto* radio = new QRadioButton(QLatin1String(caption), this);
        group_->addButton(radio, id++);
        layout->addWidget(radio);
    }
    group_->button(current >= 0 && current <= 2 ? current : 0)->setChecked(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

int CChooseSignalTypeDlg::choice() const { return group_->checkedId(); }

}  // namespace corvane
