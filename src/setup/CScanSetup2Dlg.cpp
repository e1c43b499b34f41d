#include "setup/CScanSetup2Dlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/UvLink.h"
#include "setup/CMyComboBox.h"
#include "setup/CMyLED.h"
#include "setup/CMySpinButtonCtrl.h"
#include "setup/CPageWorker.h"
#include "setup/SetupUnit.h"

namespace corvane {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QPushButton* makeButton(const char* caption, const char* tip, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setAutoDefault(false);
    button->setToolTip(QString::fromUtf8(tip));
    return button;
}

// The piston position a streamed packet reports, in mm.
double pistonOf(UvLink& link) {
    if (link.ShortPacketMode()) {
        const auto packet = link.lastCmd2();
        return packet ? packet->pistonMm() : 0.0;
    }
    const auto packet = link.lastCmd0();
    return packet ? packet->pistonMm() : 0.0;
}

}  // namespace

CScanSetup2Dlg::CScanSetup2Dlg(ScanSetupPage::Env env, Clock& clock, QWidget* parent)
    : CUIDlg(clock, parent), page_([&] {
          // The sequences' texts go to the status line, on the page's thread.
          env.status = [this](const std::string& text) {
              worker_->post([this, t = QString::fromStdString(text)] { status_->setText(t); });
          };
          return std::move(env);
      }()),
      worker_(new CPageWorker(this)) {
    setWindowTitle(QStringLiteral("SCANNING SETUP"));
    auto* grid = new QGridLayout(this);

    // Step 1: the rotor.
    auto* rotorLabel = new QLabel(QStringLiteral("Confirm ROTOR:"), this);
    rotor_ = new CMyComboBox(this);
    rotor_->setToolTip(QStringLiteral("Model of the rotor that is to be used for the scan."));
    auto* rotorOk = makeButton("ROTOR OK", "Confirm selection of rotor for scan.", this);
    grid->addWidget(rotorLabel, 0, 1);
    grid->addWidget(rotor_, 0, 2);
    grid->addWidget(rotorOk, 0, 3);
    if (auto* step = addStep({rotorLabel, rotor_, rotorOk})) {
        grid->addWidget(step, 0, 0);
    }
    limit_ = new CMyLED(this);
    auto* limitLabel = new QLabel(QStringLiteral("Upper Limit Status"), this);
    status_ = new QLabel(this);
    status_->setMinimumWidth(360);
    grid->addWidget(limit_, 1, 1, Qt::AlignRight);
    grid->addWidget(limitLabel, 1, 2);
    grid->addWidget(status_, 2, 1, 1, 4);

    // Step 2: the zero and the distance.
    instruction_ = new QLabel(qs(page_.instruction), this);
    instruction_->setWordWrap(true);
    auto* positionLabel = new QLabel(QStringLiteral("POSITION:"), this);
    position_ = new QLabel(QStringLiteral("0.00"), this);
    position_->setToolTip(QStringLiteral("Current position of the piston."));
    position_->setFrameShape(QFrame::StyledPanel);
    auto* distanceLabel = new QLabel(QStringLiteral("SCAN DISTANCE:"), this);
    distance_ = new QLineEdit(this);
    distance_->setToolTip(QStringLiteral("The distance that the piston is moved for the scan."));
    auto* spin = new CMySpinButtonCtrl(distance_, this);
    auto* mm = new QLabel(QStringLiteral("mm"), this);
    auto* zero = makeButton("ZERO POSITION", "Zero the current piston position.", this);
    auto* goToZero = makeButton("GO TO ZERO", "Move the piston to the previously saved zero position.", this);
    ok_ = makeButton("OK", "Scan settings OK.", this);
    goToGraph_ = makeButton("GO TO GRAPH", "Go to the graphing page for viewing data / starting a scan.", this);
    grid->addWidget(instruction_, 3, 1, 1, 4);
    grid->addWidget(positionLabel, 4, 1);
    grid->addWidget(position_, 4, 2);
    grid->addWidget(zero, 4, 3);
    grid->addWidget(goToZero, 4, 4);
    grid->addWidget(distanceLabel, 5, 1);
    grid->addWidget(distance_, 5, 2);
    grid->addWidget(spin, 5, 3, Qt::AlignLeft);
    grid->addWidget(mm, 5, 3, Qt::AlignRight);
    grid->addWidget(ok_, 6, 2);
    grid->addWidget(goToGraph_, 6, 3, 1, 2);
    if (auto* step = addStep({instruction_, positionLabel, position_, zero, goToZero, distanceLabel, distance_,
                              spin, mm, ok_, goToGraph_})) {
        grid->addWidget(step, 3, 0);
    }
    goToGraph_->setVisible(true);

    // The other pages.
    pageButtons_ = new QWidget(this);
    auto* row = new QHBoxLayout(pageButtons_);
    row->setContentsMargins(0, 0, 0, 0);
    const auto add = [&](const char* caption, const char* tip, SetupPage next) {
        auto* button = makeButton(caption, tip, pageButtons_);
        connect(button, &QPushButton::clicked, this, [this, next] { go(next); });
        row->addWidget(button);
    };
    add("USER", "Go back to user settings summary page.", SetupPage::User);
    add("LED POWER", "Go back to LED setup page.", SetupPage::LedSetup);
    add("CALIBRATE", "Go back to CALIBRATE page.", SetupPage::Calibrate);
    add("GRAPH", "Go to the graphing page for viewing data / starting a scan.", SetupPage::Graph);
    auto* zeroOd = makeButton("ZERO OD", "Do quick zero calibration.", pageButtons_);
    row->addWidget(zeroOd);
    row->addWidget(new QLabel(QStringLiteral("(Optional)"), pageButtons_));
    grid->addWidget(pageButtons_, 7, 0, 1, 5);
    // Step 2 waits for ROTOR OK: the unit must have the tube's top and end.
    lockStep(2);
    enableStep(1);

    connect(rotorOk, &QPushButton::clicked, this, [this] {
        page_.rotorEntry = rotor_->currentIndex();
        page_.scanDistance = distance_->text().toStdString();
        worker_->run([this] { return page_.rotorOk(); }, [this](bool ok) { afterRotorOk(ok); });
    });
    connect(zero, &QPushButton::clicked, this, [this] {
        worker_->run([this] { return page_.zeroPosition(); },
                     [this](bool ok) {
                         showFields();
                         if (ok) {
                             distance_->setFocus();
                         }
                     });
    });
    connect(goToZero, &QPushButton::clicked, this,
            [this] { worker_->run([this] { return page_.goToZero(); }, [this](bool) { showFields(); }); });
    connect(zeroOd, &QPushButton::clicked, this, [this] {
        worker_->run([this] {
            page_.zeroOd();
            return true;
        });
    });
    connect(distance_, &QLineEdit::editingFinished, this, [this] { distanceEdited(); });
    connect(spin, &CMySpinButtonCtrl::clicked, this, [this](bool up) {
        page_.scanDistance = distance_->text().toStdString();
        page_.position = position_->text().toStdString();
        page_.spinDistance(up);
        distance_->setText(qs(page_.scanDistance));
    });
    connect(ok_, &QPushButton::clicked, this, [this] {
        page_.scanDistance = distance_->text().toStdString();
        page_.position = position_->text().toStdString();
        if (page_.confirm()) {
            showFields();
            goToGraph_->setFocus();
        }
    });
    connect(goToGraph_, &QPushButton::clicked, this, [this] {
        // Only after ROTOR OK and OK: the unit has the tube and the distance.
        if (page_.goToGraphEnabled()) {
            go(SetupPage::Graph, true);
        }
    });
    connect(worker_, &CPageWorker::busyChanged, this, [this](bool busy) { pageButtons_->setEnabled(!busy); });
}

CScanSetup2Dlg::~CScanSetup2Dlg() { reader_.reset(); }

bool CScanSetup2Dlg::busy() const { return worker_->busy(); }

QString CScanSetup2Dlg::status() const { return status_->text(); }

QPushButton* CScanSetup2Dlg::button(const QString& caption) const {
    for (auto* b : findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

void CScanSetup2Dlg::start() {
    page_.open();
    rotor_->clear();
    for (const auto& model : page_.models) {
        rotor_->addItem(qs(model));
    }
    rotor_->setCurrentIndex(page_.rotorEntry);
    showFields();
    // The Scan Setup command starts with the piston at its upper limit, in
    // manual mode; on the worker, so the page paints while it moves. From
    // LED SETUP or CALIBRATE the piston stays where the operator has it.
    worker_->run([this, toUpperLimit = page_.openedByScanSetup()] {
        const SetupUnit::Exclusive alone(page_.unit());
        if (UvLink* link = page_.unit().link()) {
            if (toUpperLimit) {
                link->GoToUpperLimit(page_.linkHost(), true);
            }
            // A correction left from the last run goes before anything else.
            (void)link->SendPendingScanDistance(page_.linkHost());
        }
        return true;
    });
    // POSITION follows every packet the unit streams.
    reader_ = std::make_unique<PageReader>(
        page_.unit(),
        [this](UvLink& link) {
            if (!link.ReadStreamedPacket()) {
                return false;
            }
            pistonMm_.store(pistonOf(link) - link.GetPositionOffset());
            return true;
        },
        [this] { worker_->post([this] { showPosition(); }); });
}

void CScanSetup2Dlg::afterRotorOk(bool ok) {
    if (ok) {
        unlockStep(2);
        enableStep(2);
    }
    showFields();
}

void CScanSetup2Dlg::stepsApplied() {
    // OK until it has passed, then GO TO GRAPH: a click on step 2 enables
    // neither out of turn.
    if (ok_ != nullptr && goToGraph_ != nullptr) {
        ok_->setEnabled(steps().enabled() == 2 && !page_.goToGraphEnabled());
        goToGraph_->setEnabled(steps().enabled() == 2 && page_.goToGraphEnabled());
    }
}

void CScanSetup2Dlg::showFields() {
    instruction_->setText(qs(page_.instruction));
    position_->setText(qs(page_.position));
    if (!page_.scanDistance.empty()) {
        distance_->setText(qs(page_.scanDistance));
    }
    stepsApplied();
}

void CScanSetup2Dlg::showPosition() {
    // A sequence that moves the piston shows its own texts; the live value
    // takes over again once it is done.
    if (!worker_->busy()) {
        page_.showPosition(pistonMm_.load());
        position_->setText(qs(page_.position));
    }
}

void CScanSetup2Dlg::distanceEdited() {
    page_.scanDistance = distance_->text().toStdString();
    page_.position = position_->text().toStdString();
    (void)page_.checkDistance();  // the message is the answer
}

void CScanSetup2Dlg::periodicRefresh() {
    if (UvLink* link = page_.unit().link()) {
        limit_->setOn(link->upperLimitFlag() == 0);
    }
}

void CScanSetup2Dlg::go(SetupPage next, bool goToGraph) {
    if (worker_->busy()) {
        return;
    }
    if (next == SetupPage::Graph && page_.linkHost().pendingScanDistance() > 0.0) {
        // The distance OK accepted reaches the unit before the scan; GO TO
        // GRAPH stays to try again when it does not.
        worker_->run([this, goToGraph] { return page_.sendKeptDistance(goToGraph); },
                     [this, next, goToGraph](bool sent) {
                         if (!sent && goToGraph) {
                             return;
                         }
                         reader_.reset();
                         emit leave({next});
                     });
        return;
    }
    reader_.reset();
    emit leave({next});
}

void CScanSetup2Dlg::reject() { close(); }

void CScanSetup2Dlg::closeEvent(QCloseEvent* event) {
    if (worker_->mayClose(*event)) {
        // Closing is GRAPH; the page goes once it has left.
        event->ignore();
        go(SetupPage::Graph);
    }
}

}  // namespace corvane
