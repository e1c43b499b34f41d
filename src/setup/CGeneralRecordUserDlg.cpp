#include "setup/CGeneralRecordUserDlg.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "setup/UserPageButtons.h"

namespace corvane {

CGeneralRecordUserDlg::CGeneralRecordUserDlg(GeneralRecordUserPage::Env env, QWidget* parent)
    : QDialog(parent), page_(std::move(env)) {
    setWindowTitle(QStringLiteral("USER"));
    page_.initialise();
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    names_ = new QComboBox(this);
    names_->setEditable(true);
    names_->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& name : page_.names()) {
        names_->addItem(QString::fromStdString(name));
    }
    names_->setEditText(QString::fromStdString(page_.name));
    date_ = new QDateEdit(QDate(page_.when.year, page_.when.month, page_.when.day), this);
    date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    time_ = new QTimeEdit(QTime(page_.when.hour, page_.when.minute, page_.when.second), this);
    time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    description_ = new QPlainTextEdit(QString::fromStdString(page_.description), this);
    description_->setMinimumSize(420, 90);
    form->addRow(QStringLiteral("Name:"), names_);
    form->addRow(QStringLiteral("Date:"), date_);
    form->addRow(QStringLiteral("Time:"), time_);
    form->addRow(QStringLiteral("Description:"), description_);
    layout->addLayout(form);
    layout->addLayout(makeUserPageButtons(*this,
                                          {[this] { takeFields(); },
                                           [this](std::optional<PageStep> step) { finish(std::move(step)); },
                                           [this] { return page_.ok(); }, [this] { return page_.skip(); },
                                           [this] { return page_.goToGraph(); },
                                           [this] { return page_.compareDataSets(); }, [this] { reject(); }},
                                          buttons_));
}

QPushButton* CGeneralRecordUserDlg::button(const QString& caption) const {
    return findButton(buttons_, caption.toLatin1().constData());
}

void CGeneralRecordUserDlg::takeFields() {
    page_.name = names_->currentText().toStdString();
    const QDate d = date_->date();
    const QTime t = time_->time();
    page_.when = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    page_.description = description_->toPlainText().toStdString();
}

void CGeneralRecordUserDlg::finish(std::optional<PageStep> step) {
    if (step) {
        step_ = step;
        accept();
    }
}

}  // namespace corvane
