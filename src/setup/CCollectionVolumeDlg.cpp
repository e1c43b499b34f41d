#include "setup/CCollectionVolumeDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "setup/CMySpinButtonCtrl.h"
#include "setup/SetupHost.h"

namespace corvane {

CCollectionDistanceDlg::CCollectionDistanceDlg(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    auto* caption = new QLabel(QLatin1String(CollectionVolumePage::kDistanceCaption), this);
    caption->setWordWrap(true);
    value_ = new QLabel(this);
    QFont bold = value_->font();
    bold.setBold(true);
    value_->setFont(bold);
    layout->addWidget(caption);
    layout->addWidget(value_);
    setAutoFillBackground(true);
    setFixedWidth(170);
}

void CCollectionDistanceDlg::setDistance(const QString& text) { value_->setText(text); }
QString CCollectionDistanceDlg::distance() const { return value_->text(); }

CCollectionVolumeDlg::CCollectionVolumeDlg(std::filesystem::path startupFolder, std::string userName,
                                           double volumePerMm, Prompter& prompter, Clock& clock, SetupHost* host,
                                           QWidget* parent)
    : QDialog(parent),
      page_(std::move(startupFolder), std::move(userName), volumePerMm, prompter, clock),
      host_(host) {
    setWindowTitle(QStringLiteral("Collection Vessel Volume"));
    page_.open();
    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(12);
    auto* prompt = new QLabel(QLatin1String(CollectionVolumePage::kPrompt), this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt, 0, 0, 1, 3);
    auto* row = new QHBoxLayout;
    volume_ = new QLineEdit(QString::fromStdString(page_.text()), this);
    volume_->setMaximumWidth(80);
    spin_ = new CMySpinButtonCtrl(volume_, this);
    row->addWidget(volume_);
    row->addWidget(spin_);
    row->addWidget(new QLabel(QStringLiteral("ml"), this));
    layout->addLayout(row, 1, 0);
    layout->setColumnMinimumWidth(1, 40);  // room for the arrow
    distance_ = new CCollectionDistanceDlg(this);
    layout->addWidget(distance_, 1, 2);
    standard_ = new QRadioButton(QStringLiteral("STANDARD FRACTIONATION"), this);
    autoManual_ = new QRadioButton(QStringLiteral("AUTO + MANUAL FRACTIONATION"), this);
    (page_.kind == CollectionVolumePage::kStandard ? standard_ : autoManual_)->setChecked(true);
    layout->addWidget(standard_, 2, 0, 1, 3);
    layout->addWidget(autoManual_, 3, 0, 1, 3);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    layout->addWidget(ok, 4, 2, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &CCollectionVolumeDlg::accept);
    connect(volume_, &QLineEdit::textEdited, this, [this](const QString& text) {
        page_.setText(text.toStdString());
        showDistance();
    });
    connect(spin_, &CMySpinButtonCtrl::clicked, this, [this](bool up) {
        page_.setText(volume_->text().toStdString());
        page_.spin(up);
        volume_->setText(QString::fromStdString(page_.text()));
        showDistance();
    });
    showDistance();
}

void CCollectionVolumeDlg::showDistance() {
    const auto& distance = page_.distanceText();
    distance_->setVisible(distance.has_value());
    if (distance) {
        distance_->setDistance(QString::fromStdString(*distance));
    }
    update();  // the arrow
}

void CCollectionVolumeDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (!distance_->isVisible()) {
        return;
    }
    // From just right of the field to the read-out, with a two-stroke head.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    const int y = volume_->geometry().center().y();
    const int from = spin_->geometry().right() + 5;
    const int to = distance_->geometry().left() - 2;
    painter.drawLine(from, y, to, y);
    painter.drawLine(to, y, to - 10, y - 6);
    painter.drawLine(to, y, to - 10, y + 6);
}

void CCollectionVolumeDlg::accept() {
    page_.setText(volume_->text().toStdString());
    page_.kind = standard_->isChecked() ? CollectionVolumePage::kStandard : CollectionVolumePage::kAutoAndManual;
    if (page_.ok()) {
        if (host_ != nullptr) {
            host_->setCollection(page_.volume(), page_.kind);
        }
        QDialog::accept();
    }
}

CHoverDistandVolDlg::CHoverDistandVolDlg(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    distance_ = new QLabel(this);
    volume_ = new QLabel(this);
    layout->addWidget(distance_);
    layout->addWidget(volume_);
    setAutoFillBackground(true);
}

void CHoverDistandVolDlg::setFraction(double distanceMm, double volumeMl) {
    distance_->setText(QString::fromStdString(fractionDistanceLine(distanceMm)));
    volume_->setText(QString::fromStdString(fractionVolumeLine(volumeMl)));
    adjustSize();
}

QString CHoverDistandVolDlg::text() const { return distance_->text() + '\n' + volume_->text(); }

}  // namespace corvane
