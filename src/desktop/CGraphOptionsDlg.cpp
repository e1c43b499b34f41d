#include "desktop/CGraphOptionsDlg.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/GraphOptionsForm.h"
#include "desktop/GraphView.h"
#include "desktop/NotYet.h"

namespace corvane {

CGraphOptionsDlg::CGraphOptionsDlg(GraphView& view, Prompter& prompter, QWidget* parent)
    : QDialog(parent), view_(view), prompter_(prompter) {
    setWindowTitle(QStringLiteral("Graph Options"));
    auto* layout = new QVBoxLayout(this);
    grid_ = new QCheckBox(QStringLiteral("Show Grid Lines"), this);
    xAuto_ = new QCheckBox(QStringLiteral("X-axis Auto Scale"), this);
    yAuto_ = new QCheckBox(QStringLiteral("Y-axis Auto Scale"), this);
    yyAuto_ = new QCheckBox(QStringLiteral("YY-axis Auto Scale"), this);
    log_ = new QCheckBox(QStringLiteral("Log Scale"), this);
    for (QCheckBox* box : {grid_, xAuto_, yAuto_, yyAuto_, log_}) {
        layout->addWidget(box);
    }
    auto* fields = new QFormLayout;
    const auto edit = [this]() {
        auto* e = new QLineEdit(this);
        e->setFixedWidth(110);
        return e;
    };
    autoWidth_ = edit();
    auto* widthRow = new QHBoxLayout;
    widthRow->addWidget(autoWidth_);
    widthRow->addWidget(new QLabel(QStringLiteral("points"), this));
    fields->addRow(QStringLiteral("X-axis Auto Width:"), widthRow);
    xMin_ = edit();
    xMax_ = edit();
    yMin_ = edit();
    yMax_ = edit();
    yyMin_ = edit();
    yyMax_ = edit();
    fields->addRow(QStringLiteral("X-axis minimum"), xMin_);
    fields->addRow(QStringLiteral("X-axis maximum"), xMax_);
    fields->addRow(QStringLiteral("Y-axis minimum"), yMin_);
    fields->addRow(QStringLiteral("Y-axis maximum"), yMax_);
    fields->addRow(QStringLiteral("YY-axis minimum"), yyMin_);
    fields->addRow(QStringLiteral("YY-axis maximum"), yyMax_);
    layout->addLayout(fields);
    auto* note = new QLabel(
        QStringLiteral("(Note: The YY-axis is reserved for Absorbance A / Absorbance B values.) "), this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* applyButton = new QPushButton(QStringLiteral("Apply"), this);
    ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(applyButton);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (apply()) {
            accept();
        }
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, [this] { (void)apply(); });
    // The x limits are typed only without X auto-scale.
    connect(xAuto_, &QCheckBox::toggled, this, [this](bool on) {
        xMin_->setEnabled(!on);
        xMax_->setEnabled(!on);
    });
    fill();
}

void CGraphOptionsDlg::fill() {
    const GraphOptionsForm f = GraphOptionsForm::from(view_);
    grid_->setChecked(f.showGrid);
    xAuto_->setChecked(f.xAutoScale);
    yAuto_->setChecked(f.yAutoScale);
    yyAuto_->setChecked(f.yyAutoScale);
    log_->setChecked(f.logScale);
    autoWidth_->setText(qs(f.xAutoWidth));
    xMin_->setText(qs(f.xMin));
    xMax_->setText(qs(f.xMax));
    yMin_->setText(qs(f.yMin));
    yMax_->setText(qs(f.yMax));
    yyMin_->setText(qs(f.yyMin));
    yyMax_->setText(qs(f.yyMax));
    xMin_->setEnabled(!f.xAutoScale);
    xMax_->setEnabled(!f.xAutoScale);
}

GraphOptionsForm CGraphOptionsDlg::form() const {
    GraphOptionsForm f;
    f.showGrid = grid_->isChecked();
    f.xAutoScale = xAuto_->isChecked();
    f.yAutoScale = yAuto_->isChecked();
    f.yyAutoScale = yyAuto_->isChecked();
    f.logScale = log_->isChecked();
    f.xAutoWidth = autoWidth_->text().toStdString();
    f.xMin = xMin_->text().toStdString();
    f.xMax = xMax_->text().toStdString();
    f.yMin = yMin_->text().toStdString();
    f.yMax = yMax_->text().toStdString();
    f.yyMin = yyMin_->text().toStdString();
    f.yyMax = yyMax_->text().toStdString();
    return f;
}

bool CGraphOptionsDlg::apply() {
    const auto options = form().check(prompter_);
    if (!options) {
        return false;
    }
    view_.applyOptions(*options);
    fill();
    emit applied();
    return true;
}

}  // namespace corvane
