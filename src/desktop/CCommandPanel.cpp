#include "desktop/CCommandPanel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "desktop/CAUFSDlg.h"
#include "display/MainWindowLogic.h"
#include "desktop/NotYet.h"

namespace corvane {

namespace {

constexpr std::array<const char*, 8> kAufsCaptions = {"0.01", "0.02", "0.05", "0.10",
                                                      "0.20", "0.50", "1.0",  "2.0"};

}  // namespace

CCommandPanel::CCommandPanel(MainWindowLogic& logic, std::function<std::string(int)> describePort,
                             std::function<bool()> busy, QWidget* parent)
    : QWidget(parent), logic_(logic), describePort_(std::move(describePort)), busy_(std::move(busy)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel(QStringLiteral("COM Port"), this));
    portList_ = new QComboBox(this);
    portList_->setMinimumWidth(110);
    portRow->addWidget(portList_, 1);
    layout->addLayout(portRow);
    connect(portList_, &QComboBox::activated, this, [this](int index) {
        if (logic_.ports().choose(index)) {
            emit portChosen();
        }
    });

    layout->addWidget(makeRecordButtons());
    layout->addWidget(makeAufs());
    layout->addWidget(makeEventMarks());

    auto* saving = new QHBoxLayout;
    auto* saveWindow = new QPushButton(QStringLiteral("SAVE WINDOW"), this);
    auto* saveGraph = new QPushButton(QStringLiteral("SAVE GRAPH"), this);
    connect(saveWindow, &QPushButton::clicked, this, &CCommandPanel::saveWindowRequested);
    connect(saveGraph, &QPushButton::clicked, this, &CCommandPanel::saveGraphRequested);
    saving->addWidget(saveWindow);
    saving->addWidget(saveGraph);
    layout->addLayout(saving);
    layout->addStretch(1);
}

QWidget* CCommandPanel::makeRecordButtons() {
    auto* run = new QGroupBox(QStringLiteral("Recording"), this);
    auto* layout = new QVBoxLayout(run);
    layout->setSpacing(4);
    const auto bigButton = [run](const QString& caption) {
        auto* button = new QPushButton(caption, run);
        button->setMinimumHeight(27);
        button->setAutoDefault(false);
        return button;
    };
    record_ = bigButton(QStringLiteral("START RECORD (F1)"));
    zero_ = bigButton(QStringLiteral("ZERO (F2)"));
    pause_ = bigButton(QStringLiteral("PAUSE (F3)"));
    refresh_ = bigButton(QStringLiteral("REFRESH (F4)"));
    layout->addWidget(record_);
    layout->addWidget(zero_);
    auto* note = new QLabel(QStringLiteral("non-EM1 uses only"), run);
    note->setAlignment(Qt::AlignHCenter);
    layout->addWidget(note);
    layout->addWidget(pause_);
    layout->addWidget(refresh_);
    RecordKeys& keys = logic_.keys();
    connect(record_, &QPushButton::clicked, this, [this, &keys] {
        keys.startStop();
        updateCommands();
    });
    connect(zero_, &QPushButton::clicked, this, [this, &keys] {
        keys.zero();
        updateCommands();
    });
    connect(pause_, &QPushButton::clicked, this, [this, &keys] {
        keys.pauseResume();
        updateCommands();
    });
    connect(refresh_, &QPushButton::clicked, this, [this, &keys] {
        keys.refresh();
        updateCommands();
        emit displayChanged();
    });
    upperLimit_ = bigButton(QStringLiteral("GO TO UPPER LIMIT"));
    layout->addWidget(upperLimit_);
    connect(upperLimit_, &QPushButton::clicked, this, [this, &keys] {
        keys.goToUpperLimit();
        updateCommands();
    });
    userPage_ = bigButton(QStringLiteral("Go to User Page"));
    scanSetup_ = bigButton(QStringLiteral("Open Scan Setup (F6)"));
    newRun_ = bigButton(QStringLiteral("NEW RUN?"));
    layout->addWidget(userPage_);
    layout->addWidget(scanSetup_);
    layout->addWidget(newRun_);
    connect(userPage_, &QPushButton::clicked, this, &CCommandPanel::userPageRequested);
    connect(scanSetup_, &QPushButton::clicked, this, &CCommandPanel::scanSetupRequested);
    connect(newRun_, &QPushButton::clicked, this, &CCommandPanel::newRunRequested);
    return run;
}

QWidget* CCommandPanel::makeAufs() {
    auto* aufs = new QGroupBox(QStringLiteral("Absorbance Units Full Scale (AUFS)"), this);
    auto* grid = new QGridLayout(aufs);
    grid->setVerticalSpacing(2);
    auto* group = new QButtonGroup(aufs);
    for (int step = 0; step < 8; ++step) {
        auto* radio = new QRadioButton(QLatin1String(kAufsCaptions[static_cast<std::size_t>(step)]), aufs);
        group->addButton(radio, step);
        grid->addWidget(radio, step / 4, step % 4);
        aufs_[static_cast<std::size_t>(step)] = radio;
    }
    aufsLabel_ = new QLabel(aufs);
    aufsLabel_->setAlignment(Qt::AlignHCenter);
    QFont font = aufsLabel_->font();
    font.setBold(true);
    aufsLabel_->setFont(font);
    grid->addWidget(aufsLabel_, 2, 0, 1, 4);
    connect(group, &QButtonGroup::idClicked, this, &CCommandPanel::aufsChosen);
    return aufs;
}

void CCommandPanel::aufsChosen(int step) {
    logic_.setAufs(step);
    aufs_[static_cast<std::size_t>(logic_.view().axes().aufsIndex())]->setChecked(true);
    aufsLabel_->setText(qs(logic_.view().axes().aufsLabel()));
    emit displayChanged();
}

void CCommandPanel::chooseAufs() {
    CAUFSDlg dialog(logic_.view().axes().aufsIndex(), this);
    if (dialog.exec() == QDialog::Accepted) {
        aufsChosen(dialog.step());
    }
}

QWidget* CCommandPanel::makeEventMarks() {
    auto* marks = new QGroupBox(QStringLiteral("Event marks"), this);
    auto* layout = new QVBoxLayout(marks);
    layout->setSpacing(2);
    marksShown_ = new QRadioButton(QStringLiteral("Show Event Marks"), marks);
    marksHidden_ = new QRadioButton(QStringLiteral("Do Not Show Event Marks"), marks);
    layout->addWidget(marksShown_);
    layout->addWidget(marksHidden_);
    connect(marksShown_, &QRadioButton::toggled, this, [this](bool on) {
        if (logic_.view().axes().eventMarksShown() != on) {
            logic_.setEventMarksShown(on);
        }
    });
    return marks;
}

void CCommandPanel::updateCommands() {
    RecordKeys& keys = logic_.keys();
    const bool bound = keys.recordingBound();
    // While the unit is being commanded, nothing else may command it.
    const bool idle = !busy_();
    record_->setText(qs(keys.recordCaption()));
    pause_->setText(qs(keys.pauseCaption()));
    // A window without instruments (opened for its files alone) says why
    // its instrument buttons are off.
    const QString noInstrument = bound ? QString() : QStringLiteral("No instrument is attached to this window.");
    for (auto* button : {record_, zero_, upperLimit_}) {
        button->setEnabled(bound && idle);
        button->setToolTip(noInstrument);
    }
    pause_->setEnabled(bound && idle && keys.pauseEnabled());
    pause_->setToolTip(noInstrument);
    refresh_->setEnabled(!bound || idle);
    portList_->setEnabled(idle);
    // The pages change the run's settings: not while a run records.
    const bool recording = bound && keys.isRecording();
    userPage_->setEnabled(idle && !recording);
    newRun_->setEnabled(idle && !recording);
    scanSetup_->setEnabled(idle && !recording && scanSetupAvailable_ && scanSetupAvailable_());
    scanSetup_->setToolTip(scanSetup_->isEnabled() || recording ? QString()
                           : !idle ? QStringLiteral("The instrument is busy with a command; this opens once it is done.")
                                   : QStringLiteral("No instrument is attached to this window."));
}

void CCommandPanel::fillPortList() {
    const QSignalBlocker block(portList_);
    portList_->clear();
    const PortChoice& ports = logic_.ports();
    const auto entries = ports.entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        portList_->addItem(qs(entries[i]));
        const std::string device = describePort_ ? describePort_(ports.ports()[i]) : std::string{};
        if (!device.empty()) {
            portList_->setItemData(static_cast<int>(i), qs(device), Qt::ToolTipRole);
        }
    }
    portList_->setCurrentIndex(ports.selection());
}

void CCommandPanel::updateDe1Controls() {
    const AxisState& view = logic_.view().axes();
    aufs_[static_cast<std::size_t>(view.aufsIndex())]->setChecked(true);
    aufsLabel_->setText(qs(view.aufsLabel()));
    const QSignalBlocker b1(marksShown_);
    const QSignalBlocker b2(marksHidden_);
    marksShown_->setChecked(view.eventMarksShown());
    marksHidden_->setChecked(!view.eventMarksShown());
}

}  // namespace corvane
