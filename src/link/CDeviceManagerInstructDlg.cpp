#include "link/CDeviceManagerInstructDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#include "link/ConnectionHelp.h"

namespace corvane {

CDeviceManagerInstructDlg::CDeviceManagerInstructDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Device Manager"));
    const auto which = deviceManagerStepsFor(QSysInfo::productType().toStdString(),
                                             QSysInfo::productVersion().toStdString());
    const auto text = deviceManagerText(which);
    auto* layout = new QVBoxLayout(this);
    steps_ = new QLabel(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), this);
    layout->addWidget(steps_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace corvane
