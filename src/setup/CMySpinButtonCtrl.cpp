#include "setup/CMySpinButtonCtrl.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvane {

CMySpinButtonCtrl::CMySpinButtonCtrl(QLineEdit* buddy, QWidget* parent) : QWidget(parent), buddy_(buddy) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (auto* button : {up_, down_}) {
        button->setFixedSize(16, 11);
        layout->addWidget(button);
    }
    connect(up_, &QToolButton::clicked, this, [this] { click(true); });
    connect(down_, &QToolButton::clicked, this, [this] { click(false); });
}

CMySpinButtonCtrl::CMySpinButtonCtrl(Clock& clock, SpinStepper::Config config, QLineEdit* buddy, QWidget* parent)
    : CMySpinButtonCtrl(buddy, parent) {
    stepper_ = std::make_unique<SpinStepper>(clock, std::move(config));
}

CMySpinButtonCtrl::~CMySpinButtonCtrl() = default;

void CMySpinButtonCtrl::click(bool up) {
    emit clicked(up);
    if (!stepper_ || buddy_ == nullptr) {
        return;
    }
    if (const auto next = stepper_->click(buddy_->text().toStdString(), up)) {
        buddy_->setText(QString::fromStdString(*next));
        emit stepped(buddy_->text());
    }
}

}  // namespace corvane
