#include "setup/CLEDSetupDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/UvLink.h"
#include "setup/CMySpinButtonCtrl.h"
#include "setup/CPageWorker.h"
#include "setup/SetupUnit.h"

namespace corvane {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QPushButton* makeButton(const char* caption, const char* tip, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setAutoDefault(false);
    if (tip != nullptr) {
        button->setToolTip(QString::fromUtf8(tip));
    }
    return button;
}

QLabel* countLabel(const char* tip, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("0"), parent);
    label->setToolTip(QString::fromUtf8(tip));
    label->setMinimumWidth(80);
    label->setFrameShape(QFrame::StyledPanel);
    return label;
}

}  // namespace

CLEDSetupDlg::CLEDSetupDlg(LedSetupPage::Env env, Clock& clock, QWidget* parent)
    : CUIDlg(clock, parent), page_(std::move(env)), worker_(new CPageWorker(this)) {
    setWindowTitle(QStringLiteral("LED Setup"));
    auto* grid = new QGridLayout(this);

    // Step 1: the wavelengths.
    wavelengthA_ = new QLineEdit(this);
    wavelengthA_->setToolTip(QStringLiteral("Wavelength in nm for channel A."));
    wavelengthB_ = new QLineEdit(this);
    wavelengthB_->setToolTip(QStringLiteral("Wavelength in nm for channel B."));
    auto* spinA = new CMySpinButtonCtrl(clock, {10.0, 0, false, 0.0, 2550.0}, wavelengthA_, this);
    auto* spinB = new CMySpinButtonCtrl(clock, {10.0, 0, false, 0.0, 2550.0}, wavelengthB_, this);
    auto* labelA = new QLabel(QStringLiteral("Channel A Wavelength: "), this);
    auto* labelB = new QLabel(QStringLiteral("Channel B Wavelength: "), this);
    auto* nmA = new QLabel(QStringLiteral("nm"), this);
    auto* nmB = new QLabel(QStringLiteral("nm"), this);
    auto* ok1 = makeButton("OK", nullptr, this);
    grid->addWidget(labelA, 0, 1);
    grid->addWidget(wavelengthA_, 0, 2);
    grid->addWidget(spinA, 0, 3);
    grid->addWidget(nmA, 0, 4);
    grid->addWidget(labelB, 1, 1);
    grid->addWidget(wavelengthB_, 1, 2);
    grid->addWidget(spinB, 1, 3);
    grid->addWidget(nmB, 1, 4);
    grid->addWidget(ok1, 0, 5, 2, 1);
    if (auto* step = addStep({labelA, wavelengthA_, spinA, nmA, labelB, wavelengthB_, spinB, nmB, ok1})) {
        grid->addWidget(step, 0, 0);
    }

    // Step 2: the live counts, gain, duty, speed and rate.
    auto* zeroOd = makeButton("ZERO OD", "Do a simple one-step calibration with the needles in pure water.", this);
    auto* perMmLabel = new QLabel(QStringLiteral("Samples/mm"), this);
    perMm_ = new QLineEdit(this);
    perMm_->setToolTip(QStringLiteral("The desired number of samples per mm during the scan of the tube."));
    auto* speedLabel = new QLabel(QStringLiteral("Scan Speed"), this);
    speed_ = new QLineEdit(this);
    speed_->setToolTip(
        QStringLiteral("The speed at which the piston is moved down through the tube during a scan."));
    auto* speedSpin = new CMySpinButtonCtrl(speed_, this);
    auto* mmPerSec = new QLabel(QStringLiteral("mm/sec"), this);
    auto* dutyLabel = new QLabel(QStringLiteral("A/B Duty Cycle"), this);
    duty_ = new QComboBox(this);
    duty_->setToolTip(QStringLiteral("Ratio of integration time for channels A and B."));
    for (const auto& entry : LedSetupPage::dutyEntries()) {
        duty_->addItem(qs(entry));
    }
    auto* potLabel = new QLabel(QStringLiteral("pot"), this);
    pc_ = new QComboBox(this);
    pc_->setToolTip(QStringLiteral(
        "pC value used for controlling gain of output. Lower pC values correspond to more gain."));
    for (const auto& entry : LedSetupPage::pcEntries()) {
        pc_->addItem(qs(entry));
    }
    auto* pcLabel = new QLabel(QStringLiteral("pC"), this);
    auto* channelA = new QLabel(QStringLiteral("Channel A"), this);
    auto* channelB = new QLabel(QStringLiteral("Channel B"), this);
    auto* sampleRow = new QLabel(QStringLiteral("Sample:"), this);
    auto* sourceRow = new QLabel(QStringLiteral("Source:"), this);
    counts_[0] = countLabel("Channel A sample output in counts.", this);
    counts_[1] = countLabel("Channel A source output in counts.", this);
    counts_[2] = countLabel("Channel B sample output in counts.", this);
    counts_[3] = countLabel("Channel B sourcee output in counts.", this);
    auto* rateLabel = new QLabel(QStringLiteral("Samples/sec:"), this);
    rate_ = new QLabel(this);
    rate_->setToolTip(QStringLiteral("The rate (in samples per second) at which data will be collected during the "
                                     "scan (calculated from the scan speed and the samples per mm)."));
    auto* hz = new QLabel(QStringLiteral("Hz"), this);
    instruction_ = new QLabel(this);
    instruction_->setWordWrap(true);
    instruction_->setMinimumHeight(3 * instruction_->fontMetrics().lineSpacing());
    auto* refresh = makeButton("REFRESH", nullptr, this);
    auto* calibrate = makeButton("CALIBRATE", "Go forwards to the calibration setup page.", this);
    auto* ok2 = makeButton("OK", "Proceed to the next setup window.", this);
    grid->addWidget(zeroOd, 2, 1);
    grid->addWidget(perMmLabel, 3, 1);
    grid->addWidget(perMm_, 3, 2);
    grid->addWidget(speedLabel, 4, 1);
    grid->addWidget(speed_, 4, 2);
    grid->addWidget(speedSpin, 4, 3);
    grid->addWidget(mmPerSec, 4, 4);
    grid->addWidget(dutyLabel, 5, 1);
    grid->addWidget(duty_, 5, 2);
    grid->addWidget(potLabel, 6, 1);
    grid->addWidget(pc_, 6, 2);
    grid->addWidget(pcLabel, 6, 3);
    grid->addWidget(channelA, 7, 2);
    grid->addWidget(channelB, 7, 3, 1, 2);
    grid->addWidget(sampleRow, 8, 1);
    grid->addWidget(counts_[0], 8, 2);
    grid->addWidget(counts_[2], 8, 3, 1, 2);
    grid->addWidget(sourceRow, 9, 1);
    grid->addWidget(counts_[1], 9, 2);
    grid->addWidget(counts_[3], 9, 3, 1, 2);
    grid->addWidget(rateLabel, 10, 1);
    grid->addWidget(rate_, 10, 2);
    grid->addWidget(hz, 10, 3);
    grid->addWidget(instruction_, 11, 1, 1, 4);
    grid->addWidget(refresh, 12, 1);
    grid->addWidget(calibrate, 12, 2);
    grid->addWidget(ok2, 12, 5);
    if (auto* step = addStep({zeroOd, perMmLabel, perMm_, speedLabel, speed_, speedSpin, mmPerSec, dutyLabel, duty_,
                              potLabel, pc_, pcLabel, channelA, channelB, sampleRow, sourceRow, counts_[0],
                              counts_[1], counts_[2], counts_[3], rateLabel, rate_, hz, instruction_, refresh,
                              calibrate, ok2})) {
        grid->addWidget(step, 2, 0);
    }

    // Step 3: the other pages.
    auto* hint = new QLabel(QStringLiteral("Click on these buttons to access different pages:"), this);
    auto* user = makeButton("USER", "Go back to the user summary page.", this);
    auto* scan = makeButton("SCAN SETUP", "Go forwards to the scan setup page.", this);
    auto* graph = makeButton("GRAPH", nullptr, this);
    grid->addWidget(hint, 13, 1, 1, 3);
    grid->addWidget(user, 14, 1);
    grid->addWidget(scan, 14, 2);
    grid->addWidget(graph, 14, 3);
    if (auto* step = addStep({hint, user, scan, graph})) {
        grid->addWidget(step, 13, 0);
    }
    // Step 2 waits for the wavelengths.
    lockStep(2);
    enableStep(1);

    connect(ok1, &QPushButton::clicked, this, [this] {
        takeFields();
        worker_->run([this] { return page_.confirmWavelengths(); },
                     [this](bool ok) {
                         if (ok) {
                             instruction_->setText(qs(page_.instruction));
                             unlockStep(2);
                             enableStep(2);
                         }
                     });
    });
    connect(perMm_, &QLineEdit::textEdited, this, [this] { rateEdited(); });
    connect(speed_, &QLineEdit::textEdited, this, [this] { rateEdited(); });
    connect(speedSpin, &CMySpinButtonCtrl::clicked, this, [this](bool up) {
        page_.speed = speed_->text().toStdString();
        page_.spinSpeed(up);
        speed_->setText(qs(page_.speed));
        rateEdited();
    });
    connect(pc_, &QComboBox::activated, this, [this](int entry) { sendLive(page_.withPc(entry)); });
    connect(duty_, &QComboBox::activated, this, [this](int entry) { sendLive(page_.withDuty(entry)); });
    connect(refresh, &QPushButton::clicked, this, [this] {
        worker_->run([this] { return page_.refresh(); }, [this](bool) { showFields(); });
    });
    connect(zeroOd, &QPushButton::clicked, this, [this] { worker_->run([this] {
            page_.zeroOd();
            return true;
        }); });
    connect(ok2, &QPushButton::clicked, this, [this] { leaveFor(SetupPage::Calibrate); });
    connect(calibrate, &QPushButton::clicked, this, [this] { leaveFor(SetupPage::Calibrate); });
    connect(user, &QPushButton::clicked, this, [this] { leaveFor(SetupPage::User); });
    connect(scan, &QPushButton::clicked, this, [this] { leaveFor(SetupPage::ScanningSetup); });
    connect(graph, &QPushButton::clicked, this, [this] { leaveFor(SetupPage::Graph); });
}

CLEDSetupDlg::~CLEDSetupDlg() { reader_.reset(); }

// Until a leave has been decided, as its answer comes back after the worker is free.
bool CLEDSetupDlg::busy() const { return worker_->busy() || leaving_; }

QPushButton* CLEDSetupDlg::button(const QString& caption) const {
    for (auto* b : findChildren<QPushButton*>()) {
        if (b->text() == caption && b->isEnabled()) {
            return b;
        }
    }
    for (auto* b : findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

void CLEDSetupDlg::start() {
    worker_->run([this] { return page_.open(); },
                 [this](bool) {
                     showFields();
                     startReader();
                 });
}

void CLEDSetupDlg::startReader() {
    // Counts on every second packet, as the unit streams faster than anyone reads.
    reader_ = std::make_unique<PageReader>(
        page_.unit(),
        [this](UvLink& link) {
            Cmd0 packet;
            if (!link.ReadCmd0(packet)) {
                return false;
            }
            const std::scoped_lock lock(latestMutex_);
            latest_ = packet;
            return true;
        },
        [this] { worker_->post([this] { showCounts(); }); }, 2);
}

void CLEDSetupDlg::showFields() {
    wavelengthA_->setText(qs(page_.wavelengthA));
    wavelengthB_->setText(qs(page_.wavelengthB));
    perMm_->setText(qs(page_.samplesPerMm));
    speed_->setText(qs(page_.speed));
    rate_->setText(qs(page_.samplesPerSec));
    pc_->setCurrentIndex(page_.pcEntry);
    duty_->setCurrentIndex(page_.dutyEntry);
}

void CLEDSetupDlg::takeFields() {
    page_.wavelengthA = wavelengthA_->text().trimmed().toStdString();
    page_.wavelengthB = wavelengthB_->text().trimmed().toStdString();
    page_.samplesPerMm = perMm_->text().toStdString();
    page_.speed = speed_->text().toStdString();
    page_.samplesPerSec = rate_->text().toStdString();
    page_.pcEntry = pc_->currentIndex();
    page_.dutyEntry = duty_->currentIndex();
}

void CLEDSetupDlg::showCounts() {
    std::optional<Cmd0> packet;
    {
        const std::scoped_lock lock(latestMutex_);
        packet = latest_;
    }
    if (!packet) {
        return;
    }
    const std::array<std::uint32_t, 4> values = {packet->ulATODADataA0, packet->ulATODADataA1,
                                                 packet->ulATODADataB0, packet->ulATODADataB1};
    for (std::size_t i = 0; i < values.size(); ++i) {
        counts_[i]->setText(qs(LedSetupPage::countText(values[i], blank_)));
        counts_[i]->setStyleSheet(LedSetupPage::saturated(values[i]) ? QStringLiteral("color: rgb(220, 0, 0);")
                                                                     : QString());
    }
}

void CLEDSetupDlg::periodicRefresh() {
    blank_ = !blank_;
    showCounts();
}

void CLEDSetupDlg::rateEdited() {
    takeFields();
    const auto live = page_.recomputeRate();
    rate_->setText(qs(page_.samplesPerSec));
    sendLive(live);
}

void CLEDSetupDlg::sendLive(const std::optional<Cmd0Settings>& settings) {
    if (settings) {
        worker_->run([this, s = *settings] { return page_.sendLive(s); });
    }
}

void CLEDSetupDlg::leaveFor(SetupPage next) {
    if (leaving_) {
        return;
    }
    leaving_ = true;
    takeFields();
    // Queued behind the page's sends: the checks see the unit as they left it.
    worker_->run([this] { return page_.applyScanSettings(); },
                 [this, next](bool ok) {
                     leaving_ = false;
                     if (ok) {
                         reader_.reset();
                         emit leave({next});
                     }
                 });
}

void CLEDSetupDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageDown) {
        leaveFor(SetupPage::Calibrate);
    } else if (event->key() == Qt::Key_PageUp) {
        leaveFor(SetupPage::User);
    } else {
        CUIDlg::keyPressEvent(event);
    }
}

void CLEDSetupDlg::reject() { close(); }

void CLEDSetupDlg::closeEvent(QCloseEvent* event) {
    if (worker_->mayClose(*event)) {
        reader_.reset();
        emit leave({SetupPage::Graph});
    }
}

}  // namespace corvane
