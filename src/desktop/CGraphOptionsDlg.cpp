#include "desktop/CGraphOptionsDlg.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "display/GraphView.h"
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
    scanEndStop_ = new QCheckBox(QStringLiteral("Stop recording at the end of the scan"), this);
    scanEndStop_->setToolTip(QStringLiteral(
        "When the piston stops at the end of the scan distance, the recording stops and asks to save the "
        "run, as STOP RECORD does. Off: it records until STOP RECORD."));
    scanEndStop_->hide();
    for (QCheckBox* box : {grid_, xAuto_, yAuto_, yyAuto_, log_, scanEndStop_}) {
        layout->addWidget(box);
    }
    auto* fields = new QFormLayout;
    const auto edit = [this]() {
        auto* e = new QLineEdit(this);
        e->setFixedWidth(110);
        return e;
    };
    using Field = GraphOptionsForm::Field;
    autoWidth_ = edit();
    QHBoxLayout* widthRow = withSpin(autoWidth_, Field::AutoWidth);
    widthRow->addWidget(new QLabel(QStringLiteral("points"), this));
    fields->addRow(QStringLiteral("X-axis Auto Width:"), widthRow);
    xMin_ = edit();
    xMax_ = edit();
    yMin_ = edit();
    yMax_ = edit();
    yyMin_ = edit();
    yyMax_ = edit();
    fields->addRow(QStringLiteral("X-axis minimum"), withSpin(xMin_, Field::XMin));
    fields->addRow(QStringLiteral("X-axis maximum"), withSpin(xMax_, Field::XMax));
    fields->addRow(QStringLiteral("Y-axis minimum"), withSpin(yMin_, Field::YMin));
    fields->addRow(QStringLiteral("Y-axis maximum"), withSpin(yMax_, Field::YMax));
    fields->addRow(QStringLiteral("YY-axis minimum"), withSpin(yyMin_, Field::YYMin));
    fields->addRow(QStringLiteral("YY-axis maximum"), withSpin(yyMax_, Field::YYMax));
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
        for (QWidget* w : {static_cast<QWidget*>(xMin_), static_cast<QWidget*>(xMax_),
                           static_cast<QWidget*>(spin(Field::XMin)), static_cast<QWidget*>(spin(Field::XMax))}) {
            w->setEnabled(!on);
        }
    });
    fill();
}

QHBoxLayout* CGraphOptionsDlg::withSpin(QLineEdit* box, GraphOptionsForm::Field field) {
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    auto* arrows = new QSpinBox(this);
    // Only the arrows of the spin are used: each click steps the box beside it.
    arrows->setRange(-1, 1);
    arrows->setFixedWidth(18);
    arrows->setFocusPolicy(Qt::NoFocus);
    connect(arrows, &QSpinBox::valueChanged, this, [this, arrows, field](int value) {
        if (value == 0) {
            return;
        }
        const QSignalBlocker block(arrows);
        arrows->setValue(0);
        stepped(field, value > 0);
    });
    spins_[static_cast<std::size_t>(field)] = arrows;
    row->addWidget(box);
    row->addWidget(arrows);
    row->addStretch();
    return row;
}

void CGraphOptionsDlg::stepped(GraphOptionsForm::Field field, bool up) {
    GraphOptionsForm f = form();
    if (f.spin(field, up)) {
        edit(field)->setText(qs(f.text(field)));
    }
}

QLineEdit* CGraphOptionsDlg::edit(GraphOptionsForm::Field field) const {
    switch (field) {
        case GraphOptionsForm::Field::AutoWidth: return autoWidth_;
        case GraphOptionsForm::Field::XMin: return xMin_;
        case GraphOptionsForm::Field::XMax: return xMax_;
        case GraphOptionsForm::Field::YMin: return yMin_;
        case GraphOptionsForm::Field::YMax: return yMax_;
        case GraphOptionsForm::Field::YYMin: return yyMin_;
        case GraphOptionsForm::Field::YYMax: return yyMax_;
    }
    return autoWidth_;
}

void CGraphOptionsDlg::fill() {
    const GraphOptionsForm f = GraphOptionsForm::from(view_.axes());
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
    for (QWidget* w : {static_cast<QWidget*>(xMin_), static_cast<QWidget*>(xMax_),
                       static_cast<QWidget*>(spin(GraphOptionsForm::Field::XMin)),
                       static_cast<QWidget*>(spin(GraphOptionsForm::Field::XMax))}) {
        w->setEnabled(!f.xAutoScale);
    }
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
    if (!scanEndStop_->isHidden()) {
        emit scanEndStopApplied(scanEndStop_->isChecked());
    }
    return true;
}

void CGraphOptionsDlg::offerScanEndStop(bool on) {
    scanEndStop_->setChecked(on);
    scanEndStop_->show();
}

}  // namespace corvane
