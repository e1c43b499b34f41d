#include "desktop/CGraphingWindowSizeDlg.h"

#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "display/WindowSizes.h"

namespace corvane {

CGraphingWindowSizeDlg::CGraphingWindowSizeDlg(int current, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Graphing Window Size"));
    auto* layout = new QVBoxLayout(this);
    for (std::size_t i = 0; i < kWindowSizes.size(); ++i) {
        buttons_[i] = new QRadioButton(QLatin1String(kWindowSizes[i].caption), this);
        layout->addWidget(buttons_[i]);
    }
    if (current >= 0 && current < static_cast<int>(buttons_.size())) {
        buttons_[static_cast<std::size_t>(current)]->setChecked(true);
    }
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ok);
}

int CGraphingWindowSizeDlg::chosen() const {
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        if (buttons_[i]->isChecked()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace corvane
