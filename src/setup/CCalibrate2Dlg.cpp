#include "setup/CCalibrate2Dlg.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "setup/CPageWorker.h"
#include "setup/SetupUnit.h"

namespace corvane {

CCalibrate2Dlg::CCalibrate2Dlg(Prompter& prompter, SetupUnit& unit, CalibrationChannels channels, QWidget* parent)
    : QDialog(parent),
      worker_(new CPageWorker(this)),
      status_(new QLabel(this)),
      unit_(unit),
      page_({prompter, unit,
             [this](const std::string& text) {
                 worker_->post([this, t = QString::fromStdString(text)] { status_->setText(t); });
             },
             channels}) {
    setWindowTitle(QStringLiteral("CALIBRATE"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QString::fromUtf8(CalibratePage::kInstructions), this);
    text->setWordWrap(true);
    text->setMinimumWidth(420);
    layout->addWidget(text);
    status_->setMinimumHeight(24);
    layout->addWidget(status_);
    buttons_ = new QWidget(this);
    auto* row = new QHBoxLayout(buttons_);
    row->setContentsMargins(0, 0, 0, 0);
    const auto add = [&](const char* caption, auto action) {
        auto* button = new QPushButton(QString::fromUtf8(caption), buttons_);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        row->addWidget(button);
    };
    add("SKIP", [this] { go(SetupPage::ScanningSetup); });
    add("OK", [this] {
        worker_->run([this] { return page_.calibrate(); },
                     [this](bool ok) {
                         if (ok) {
                             go(SetupPage::ScanningSetup);
                         }
                     });
    });
    add("USER", [this] { go(SetupPage::User); });
    add("LED POWER", [this] { ledPower(); });
    add("SCAN SETUP", [this] { go(SetupPage::ScanningSetup); });
    add("GRAPH", [this] { go(SetupPage::Graph); });
    layout->addWidget(buttons_);
    connect(worker_, &CPageWorker::busyChanged, buttons_, [this](bool busy) { buttons_->setEnabled(!busy); });
}

QPushButton* CCalibrate2Dlg::button(const QString& caption) const {
    for (auto* b : buttons_->findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

QString CCalibrate2Dlg::status() const { return status_->text(); }

bool CCalibrate2Dlg::busy() const { return worker_->busy(); }

void CCalibrate2Dlg::go(SetupPage next) {
    if (!worker_->busy()) {
        emit leave({next});
    }
}

void CCalibrate2Dlg::ledPower() {
    // The LEDs are lit in setup mode.
    worker_->run(
        [this] {
            const SetupUnit::Exclusive alone(unit_);
            return unit_.enterSetupMode();
        },
        [this](bool) { emit leave({SetupPage::LedSetup}); });
}

void CCalibrate2Dlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageDown) {
        go(SetupPage::ScanningSetup);
    } else if (event->key() == Qt::Key_PageUp) {
        ledPower();
    } else {
        QDialog::keyPressEvent(event);
    }
}

void CCalibrate2Dlg::reject() { close(); }

void CCalibrate2Dlg::closeEvent(QCloseEvent* event) {
    if (worker_->mayClose(*event)) {
        emit leave({SetupPage::Graph});
    }
}

}  // namespace corvane
