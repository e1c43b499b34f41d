#include "setup/CGRSetupDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {
namespace {

constexpr std::array<const char*, 8> kAufs = {"0.01", "0.02", "0.05", "0.10", "0.20", "0.50", "1.00", "2.00"};

QButtonGroup* radios(QWidget* parent, QLayout* layout, const std::vector<std::string>& captions) {
    auto* group = new QButtonGroup(parent);
    int id = 0;
    for (const auto& caption : captions) {
        auto* radio = new QRadioButton(QString::fromStdString(caption), parent);
        group->addButton(radio, id++);
        layout->addWidget(radio);
    }
    return group;
}

}  // namespace

CGRSetupDlg::CGRSetupDlg(std::filesystem::path startupFolder, Prompter& prompter, std::optional<RunInfo> runInfo,
                         QWidget* parent)
    : QDialog(parent), page_(std::move(startupFolder), prompter, std::move(runInfo)) {
    setWindowTitle(QStringLiteral("SETUP"));
    page_.open();
    auto* layout = new QVBoxLayout(this);

    auto* aufsBox = new QGroupBox(QStringLiteral("Absorbance Units Full Scale (AUFS)"), this);
    auto* aufsRow = new QHBoxLayout(aufsBox);
    aufs_ = radios(aufsBox, aufsRow, {std::begin(kAufs), std::end(kAufs)});
    layout->addWidget(aufsBox);

    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(new QLabel(QStringLiteral("Samples / sec"), this));
    rates_ = new QComboBox(this);
    for (const auto& rate : GraphSetupPage::sampleRates()) {
        rates_->addItem(QString::fromStdString(rate));
    }
    rateRow->addWidget(rates_);
    rateRow->addStretch(1);
    layout->addLayout(rateRow);

    auto* axes = new QGroupBox(QStringLiteral("Graph Axes:"), this);
    auto* grid = new QGridLayout(axes);
    auto* yRow = new QHBoxLayout;
    auto* xRow = new QHBoxLayout;
    yAxis_ = radios(axes, yRow, GraphSetupPage::yAxes());
    xAxis_ = radios(axes, xRow, GraphSetupPage::xAxes());
    grid->addWidget(new QLabel(QStringLiteral("Y = "), axes), 0, 0);
    grid->addLayout(yRow, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("X = "), axes), 1, 0);
    grid->addLayout(xRow, 1, 1);
    layout->addWidget(axes);

    auto* flowRow = new QHBoxLayout;
    flowRow->addWidget(new QLabel(QStringLiteral("Enter Flow Rate: "), this));
    flowRate_ = new QLineEdit(QString::fromStdString(page_.flowRate), this);
    flowRow->addWidget(flowRate_);
    flowRow->addWidget(new QLabel(QStringLiteral("ml/min"), this));
    flowRow->addStretch(1);
    layout->addLayout(flowRow);

    auto* buttons = new QHBoxLayout;
    user_ = new QPushButton(QStringLiteral("USER"), this);
    graph_ = new QPushButton(QStringLiteral("GRAPH"), this);
    graph_->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(user_);
    buttons->addWidget(graph_);
    layout->addLayout(buttons);

    aufs_->button(page_.aufs)->setChecked(true);
    rates_->setCurrentIndex(page_.samplesEntry);
    yAxis_->button(page_.yAxis)->setChecked(true);
    xAxis_->button(page_.xAxis)->setChecked(true);
    connect(user_, &QPushButton::clicked, this, [this] { leave(kUser); });
    connect(graph_, &QPushButton::clicked, this, [this] { leave(kGraph); });
}

void CGRSetupDlg::leave(int choice) {
    page_.aufs = aufs_->checkedId();
    page_.samplesEntry = rates_->currentIndex();
    page_.yAxis = yAxis_->checkedId();
    page_.xAxis = xAxis_->checkedId();
    page_.flowRate = flowRate_->text().toStdString();
    if (page_.store()) {
        done(choice);
    }
}

void CGRSetupDlg::reject() {
    // Closing the window goes on, as GRAPH does.
    leave(kGraph);
}

}  // namespace corvane
