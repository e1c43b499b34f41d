// First: Qt's emit macro would otherwise meet the simulator's emit().
#include "sim/SimAssistant.h"
#include "sim/SimRig.h"

#include "desktop/CSimInstrumentDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <iterator>


namespace corvane {

namespace {

QSlider* slider(int low, int high, int value, QWidget* parent) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setRange(low, high);
    s->setValue(value);
    s->setMinimumWidth(240);
    return s;
}

// The medium list's rows.
constexpr SimMedium kMediumOrder[] = {SimMedium::Air, SimMedium::Water, SimMedium::Reference, SimMedium::Tube};

}  // namespace

int CSimInstrumentDlg::mediumRow() const { return medium_->currentIndex(); }

void CSimInstrumentDlg::showMedium() {
    const SimMedium now = unit_.medium();
    for (int i = 0; i < static_cast<int>(std::size(kMediumOrder)); ++i) {
        if (kMediumOrder[static_cast<std::size_t>(i)] == now && medium_->currentIndex() != i) {
            const QSignalBlocker quiet(medium_);
            medium_->setCurrentIndex(i);
        }
    }
}

void CSimInstrumentDlg::showEvent(QShowEvent* event) {
    showMedium();
    QDialog::showEvent(event);
}

CSimInstrumentDlg::CSimInstrumentDlg(SimKelvoUnit& unit, SimAssistant* assistant, QWidget* parent)
    : QDialog(parent), unit_(unit) {
    setWindowTitle(QStringLiteral("Simulated Instrument"));
    auto* form = new QFormLayout(this);

    medium_ = new QComboBox(this);
    medium_->addItems({QStringLiteral("Air"), QStringLiteral("Pure water"),
                       QStringLiteral("1.00/0.23 OD 260/280 reference liquid"), QStringLiteral("The tube's gradient")});
    showMedium();
    connect(medium_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < static_cast<int>(std::size(kMediumOrder))) {
            unit_.setMedium(kMediumOrder[static_cast<std::size_t>(i)]);
        }
    });
    auto* follow = new QTimer(this);
    connect(follow, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            showMedium();
        }
    });
    follow->start(250);
    form->addRow(QStringLiteral("Under the needles:"), medium_);
    if (assistant != nullptr) {
        auto* follow = new QCheckBox(QStringLiteral("The assistant moves the needles as the prompts say"), this);
        follow->setChecked(assistant->following());
        connect(follow, &QCheckBox::toggled, this, [assistant](bool on) { assistant->setFollowing(on); });
        form->addRow(QString(), follow);
    }

    // Tenths of the slide's travel, so a drag is as fine as a hand on the screw.
    const auto ledRow = [&](const char* label, SimChannel channel) {
        auto* s = slider(static_cast<int>(kSimLedMin * 10), static_cast<int>(kSimLedMax * 10),
                         static_cast<int>(unit_.ledPosition(channel) * 10), this);
        connect(s, &QSlider::valueChanged, this,
                [this, channel](int v) { unit_.setLedPosition(channel, v / 10.0); });
        form->addRow(QString::fromUtf8(label), s);
    };
    ledRow("Source LED A:", SimChannel::A);
    ledRow("Source LED B:", SimChannel::B);

    auto* knob = slider(0, 255, unit_.knobPosition(), this);
    connect(knob, &QSlider::valueChanged, this,
            [this](int v) { unit_.setKnobPosition(static_cast<std::uint8_t>(v)); });
    form->addRow(QStringLiteral("Dial (128 = fully CCW):"), knob);

    const auto faultRow = [&](const char* label, auto apply) {
        auto* box = new QCheckBox(QString::fromUtf8(label), this);
        connect(box, &QCheckBox::toggled, this, [this, apply](bool on) {
            SimFaults faults = unit_.faults();
            apply(faults, on);
            unit_.setFaults(faults);
        });
        form->addRow(QString(), box);
    };
    faultRow("Silent", [](SimFaults& f, bool on) { f.silent = on; });
    faultRow("Ignores keys", [](SimFaults& f, bool on) { f.ignoreKeys = on; });
    faultRow("Holds control bit 3", [](SimFaults& f, bool on) { f.holdControlBit3 = on; });
    faultRow("Drops 5% of its bytes", [](SimFaults& f, bool on) { f.dropFraction = on ? 0.05 : 0.0; });
    faultRow("Corrupts 5% of its bytes", [](SimFaults& f, bool on) { f.corruptFraction = on ? 0.05 : 0.0; });
}

std::unique_ptr<SimAssistant> makeSimAssistant(Prompter& prompter, SimRig* rig) {
    if (rig == nullptr || rig->kelvo() == nullptr) {
        return nullptr;
    }
    return std::make_unique<SimAssistant>(prompter, *rig->kelvo());
}

void addSimulatedInstrumentMenu(QMainWindow& window, SimRig* rig, SimAssistant* assistant) {
    if (rig == nullptr || rig->kelvo() == nullptr) {
        return;
    }
    SimKelvoUnit& unit = *rig->kelvo();
    QMenu* view = nullptr;
    for (QAction* action : window.menuBar()->actions()) {
        if (action->menu() != nullptr && action->text().remove(QLatin1Char('&')) == QLatin1String("View")) {
            view = action->menu();
        }
    }
    if (view == nullptr) {
        view = window.menuBar()->addMenu(QStringLiteral("&View"));
    }
    auto* bench = new CSimInstrumentDlg(unit, assistant, &window);
    QObject::connect(view->addAction(QStringLiteral("Simulated Instrument")), &QAction::triggered, bench,
                     [bench] {
                         bench->show();
                         bench->raise();
                     });
}

}  // namespace corvane
