#include "desktop/CAUFSDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/TextFormat.h"
#include "desktop/NotYet.h"
#include "runs/Em1RunWriter.h"

namespace corvane {

CAUFSDlg::CAUFSDlg(int step, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Absorbance Units Full Scale"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral("Please enter the absorbance units full scale (AUFS) for your DE-1 device:"), this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 8; ++i) {
        auto* radio = new QRadioButton(qs(formatText("%.2f", Em1RunWriter::aufsValue(i))), this);
        buttons_[static_cast<std::size_t>(i)] = radio;
        grid->addWidget(radio, i / 4, i % 4);
    }
    buttons_[static_cast<std::size_t>(std::clamp(step, 0, 7))]->setChecked(true);
    layout->addLayout(grid);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ok);
}

int CAUFSDlg::step() const {
    for (int i = 0; i < 8; ++i) {
        if (buttons_[static_cast<std::size_t>(i)]->isChecked()) {
            return i;
        }
    }
    return 0;
}

}  // namespace corvane
