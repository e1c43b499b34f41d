#include "app/CScreenResWarningDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ScreenResWarning.h"

namespace corvane {

namespace {

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

CScreenResWarningDlg::CScreenResWarningDlg(std::filesystem::path startupFolder, int width, int height,
                                           QWidget* parent)
    : QDialog(parent), startupFolder_(std::move(startupFolder)) {
    setWindowTitle(qs(kScreenResWarningCaption));
    auto* layout = new QVBoxLayout(this);
    auto* warning = new QLabel(qs(kScreenResWarningText), this);
    warning->setWordWrap(true);
    layout->addWidget(warning);
    layout->addWidget(new QLabel(QString::fromStdString(currentResolutionText(width, height)), this));
    auto* advice = new QLabel(qs(kScreenResAdviceText), this);
    advice->setWordWrap(true);
    layout->addWidget(advice);
    dontShow_ = new QCheckBox(qs(kScreenResDontShowText), this);
    layout->addWidget(dontShow_);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(qs(kScreenResOkText), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void CScreenResWarningDlg::accept() {
    storeScreenResWarningChoice(startupFolder_, dontShow_->isChecked());
    QDialog::accept();
}

}  // namespace corvane
