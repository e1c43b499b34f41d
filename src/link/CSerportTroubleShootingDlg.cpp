#include "link/CSerportTroubleShootingDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/CDeviceManagerInstructDlg.h"
#include "link/ConnectionHelp.h"

namespace corvane {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CSerportTroubleShootingDlg::CSerportTroubleShootingDlg(int comPort, QWidget* parent) : QDialog(parent) {
    setWindowTitle(qs(kTroubleShootingCaption));
#if defined(_WIN32)
    constexpr bool kPosix = false;
#else
    constexpr bool kPosix = true;
#endif
    auto* layout = new QVBoxLayout(this);
    auto* steps = new QLabel(QString::fromStdString(troubleShootingSteps(comPort, kPosix)), this);
    steps->setWordWrap(true);
    steps->setMinimumWidth(520);
    layout->addWidget(steps);
    auto* link = new QLabel(QStringLiteral("How to open Device Manager: <a href=\"#\">%1</a>")
                                .arg(qs(kClickHereText)),
                            this);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this, [this] {
        CDeviceManagerInstructDlg help(this);
        help.exec();
    });
    layout->addWidget(link);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    tryAgain_ = new QPushButton(qs(kTryAgainText), this);
    continueWithout_ = new QPushButton(qs(kContinueWithoutText), this);
    tryAgain_->setDefault(true);
    buttons->addWidget(tryAgain_);
    buttons->addWidget(continueWithout_);
    layout->addLayout(buttons);
    connect(tryAgain_, &QPushButton::clicked, this, [this] { done(kTryAgain); });
    connect(continueWithout_, &QPushButton::clicked, this, [this] { done(kContinueWithout); });
}

}  // namespace corvane
