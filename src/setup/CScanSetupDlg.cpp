#include "setup/CScanSetupDlg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Prompter.h"
#include "link/UvLink.h"
#include "recording/AutoScan.h"
#include "setup/CPageWorker.h"
#include "setup/ScanSetupPage.h"
#include "setup/SetupUnit.h"

namespace corvane {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

enum Field { Distance, Duty, Top, Bottom, Speed, Rate };

}  // namespace

CScanSetupDlg::CScanSetupDlg(Env env, const std::string& rotorModel, QWidget* parent)
    : QDialog(parent), env_(env), form_(env.form), worker_(new CPageWorker(this)) {
    setWindowTitle(QStringLiteral("Scan Setup"));
    UvLink* link = env_.unit.link();
    form_.open(rotorModel, link != nullptr ? link->lastCmd0() : std::nullopt);
    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto addField = [&](Field which, QLabel* label, const char* unit) {
        fields_[which] = new QLineEdit(this);
        grid->addWidget(label, row, 0);
        grid->addWidget(fields_[which], row, 1);
        grid->addWidget(new QLabel(QString::fromUtf8(unit), this), row, 2);
        ++row;
    };
    const auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    addField(Distance, label("Scan Distance (meniscus to bottom of tube):"), "mm");
    topLabel_ = new QLabel(qs(form_.topLabel()), this);
    addField(Top, topLabel_, "mm");
    bottomLabel_ = new QLabel(qs(form_.bottomLabel()), this);
    addField(Bottom, bottomLabel_, "mm");
    addField(Speed, label("Scan Speed"), "mm/sec");
    addField(Duty, label("Duty Cycle"), "(express as A:B ratio, ex: 65:35) ");
    addField(Rate, label("A/D Sampling Rate"), "samples/sec");
    pc_ = new QComboBox(this);
    for (const auto& entry : ScanSettingsForm::pcEntries()) {
        pc_->addItem(qs(entry));
    }
    grid->addWidget(label("pot pC Value"), row, 0);
    grid->addWidget(pc_, row++, 1);

    for (auto*& line : live_) {
        line = new QLabel(this);
        grid->addWidget(line, row++, 0, 1, 3);
    }
    auto* piston = new QWidget(this);
    auto* pistonRow = new QHBoxLayout(piston);
    pistonRow->setContentsMargins(0, 0, 0, 0);
    auto* closing = new QWidget(this);
    auto* closingRow = new QHBoxLayout(closing);
    closingRow->setContentsMargins(0, 0, 0, 0);
    const auto add = [this](QHBoxLayout* into, const char* caption, auto action) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        into->addWidget(button);
    };
    add(pistonRow, "Zero Kelvo Position", [this] {
        worker_->run([this] { return zeroPistonHere(env_.unit, env_.host, env_.form.prompter).has_value(); });
    });
    add(pistonRow, "Return Piston to Upper Limit Switch", [this] {
        worker_->run(
            [this] {
                const SetupUnit::Exclusive alone(env_.unit);
                if (UvLink* link = env_.unit.link()) {
                    link->GoToUpperLimit(env_.linkHost, false);
                }
                scanning_ = false;
                return true;
            },
            [this](bool) { emit scanningChanged(scanning_); });
    });
    add(pistonRow, "Start/Stop Scan", [this] { startStopScan(); });
    add(closingRow, "OK", [this] { apply(true); });
    add(closingRow, "Apply", [this] { apply(false); });
    add(closingRow, "Cancel", [this] { hide(); });
    grid->addWidget(piston, row++, 0, 1, 3);
    grid->addWidget(closing, row++, 0, 1, 3);
    connect(worker_, &CPageWorker::busyChanged, this, [piston, closing](bool busy) {
        piston->setEnabled(!busy);
        closing->setEnabled(!busy);
    });
    showLinkStats({}, std::nullopt);
    showFields();
}

CScanSetupDlg::~CScanSetupDlg() = default;

void CScanSetupDlg::showFields() {
    const std::string* values[] = {&form_.distance, &form_.dutyCycle, &form_.topDistance,
                                   &form_.bottomDistance, &form_.speed, &form_.sampleRate};
    for (int i = 0; i < 6; ++i) {
        fields_[i]->setText(qs(*values[i]));
    }
    pc_->setCurrentIndex(form_.pcEntry);
}

void CScanSetupDlg::readFields() {
    std::string* values[] = {&form_.distance, &form_.dutyCycle, &form_.topDistance,
                             &form_.bottomDistance, &form_.speed, &form_.sampleRate};
    for (int i = 0; i < 6; ++i) {
        *values[i] = fields_[i]->text().toStdString();
    }
    form_.pcEntry = pc_->currentIndex();
}

void CScanSetupDlg::apply(bool thenClose) {
    if (worker_->busy()) {
        return;
    }
    readFields();
    UvLink* link = env_.unit.link();
    const auto last = link != nullptr ? link->lastCmd0() : std::nullopt;
    const auto settings = form_.apply(last ? last->ucRotor : 0);
    if (!settings) {
        return;
    }
    worker_->run(
        [this, sent = *settings] {
            const SetupUnit::Exclusive alone(env_.unit);
            if (!env_.unit.sendConfiguration(sent)) {
                env_.form.prompter.message("Error trying to send settings to uv unit.");
                return false;
            }
            return true;
        },
        [this, thenClose](bool ok) {
            if (ok && thenClose) {
                hide();
            }
        });
}

void CScanSetupDlg::startStopScan() {
    worker_->run(
        [this] {
            const SetupUnit::Exclusive alone(env_.unit);
            UvLink* link = env_.unit.link();
            if (link == nullptr) {
                return false;
            }
            if (scanning_) {
                // A change of mode stops the piston where it is.
                scanning_ = !(link->EnterSetupMode() && link->EnterManualMode());
                return !scanning_;
            }
            scanning_ = link->EnterManualMode() && link->PressKey(AutoScan::kKeyStartScan);
            return scanning_;
        },
        // After the job: the worker's flag is the window's to read now.
        [this](bool) { emit scanningChanged(scanning_); });
}

void CScanSetupDlg::showLinkStats(const LinkStats& stats, const std::optional<Cmd2>& streamed) {
    const auto lines = ScanSettingsForm::live(stats, streamed);
    live_[0]->setText(qs(lines.position));
    live_[1]->setText(qs(lines.speed));
    live_[2]->setText(qs(lines.upper));
    live_[3]->setText(qs(lines.lower));
}

QString CScanSetupDlg::liveText() const {
    return live_[0]->text() + '\n' + live_[1]->text() + '\n' + live_[2]->text() + '\n' + live_[3]->text();
}

QPushButton* CScanSetupDlg::button(const QString& caption) const {
    for (auto* b : findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

QLineEdit* CScanSetupDlg::field(int index) const { return index >= 0 && index < 6 ? fields_[index] : nullptr; }

bool CScanSetupDlg::busy() const { return worker_->busy(); }

void CScanSetupDlg::closeEvent(QCloseEvent* event) {
    // Kept for the rest of the session: the heartbeats keep it current.
    if (worker_->mayClose(*event)) {
        event->ignore();
        hide();
    }
}

}  // namespace corvane
