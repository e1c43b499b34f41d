#include "setup/CSummaryInfoDlg.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "setup/CMyComboBox.h"
#include "setup/UserPageButtons.h"

namespace corvane {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

void fill(QComboBox* box, const std::vector<std::string>& entries) {
    const QSignalBlocker block(box);
    box->clear();
    for (const auto& entry : entries) {
        box->addItem(qs(entry));
    }
}

void setText(QLineEdit* edit, const std::string& text) {
    if (edit->text() != qs(text)) {
        edit->setText(qs(text));
    }
}

}  // namespace

CSummaryInfoDlg::CSummaryInfoDlg(UserPage::Env env, QWidget* parent) : QDialog(parent), page_(std::move(env)) {
    setWindowTitle(QStringLiteral("USER"));
    build();
    page_.initialise();
    showFields();
}

void CSummaryInfoDlg::build() {
    // The page comes up during the warm-up, before the unit is known: the
    // UV Unit line follows it while the page is up.
    auto* followUnit = new QTimer(this);
    connect(followUnit, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            showUnit();
        }
    });
    followUnit->start(250);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    int row = 0;
    const auto label = [&](const char* text, int column) {
        grid->addWidget(new QLabel(QLatin1String(text), this), row, column, Qt::AlignRight);
    };
    const auto edit = [this]() {
        auto* e = new QLineEdit(this);
        e->setMinimumWidth(90);
        return e;
    };

    names_ = new QComboBox(this);
    names_->setEditable(true);
    names_->setInsertPolicy(QComboBox::NoInsert);
    label("Name:", 0);
    grid->addWidget(names_, row, 1);
    date_ = new QDateEdit(this);
    date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date_->setCalendarPopup(true);
    time_ = new QTimeEdit(this);
    time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    label("Date:", 2);
    grid->addWidget(date_, row, 3);
    label("Time:", 4);
    grid->addWidget(time_, row++, 5);

    experiment_ = edit();
    label("Experiment:", 0);
    grid->addWidget(experiment_, row, 1, 1, 3);
    uvUnit_ = new QComboBox(this);
    fill(uvUnit_, UserPage::uvUnits());
    label("UV Unit:", 4);
    grid->addWidget(uvUnit_, row++, 5);

    manufacturers_ = new QComboBox(this);
    fill(manufacturers_, UserPage::manufacturers());
    label("Rotor Manufacturer:", 0);
    grid->addWidget(manufacturers_, row, 1);
    rotors_ = new CMyComboBox(this);
    rotors_->setMinimumWidth(140);
    label("Rotor:", 2);
    grid->addWidget(rotors_, row, 3);
    tubes_ = new QComboBox(this);
    fill(tubes_, UserPage::tubes());
    label("No. of tubes:", 4);
    grid->addWidget(tubes_, row++, 5);

    gradient_ = edit();
    percent1_ = edit();
    percent2_ = edit();
    units_ = new QComboBox(this);
    fill(units_, UserPage::gradientUnits());
    label("Gradient:", 0);
    grid->addWidget(gradient_, row, 1);
    auto* percents = new QHBoxLayout;
    percents->addWidget(percent1_);
    percents->addWidget(new QLabel(QStringLiteral("% to"), this));
    percents->addWidget(percent2_);
    percents->addWidget(new QLabel(QStringLiteral("%"), this));
    percents->addWidget(units_);
    grid->addLayout(percents, row, 2, 1, 2);
    sampleVolume_ = edit();
    label("Sample Vol:", 4);
    grid->addWidget(sampleVolume_, row++, 5);

    speed_ = edit();
    label("Speed:", 0);
    auto* speedRow = new QHBoxLayout;
    speedRow->addWidget(speed_);
    speedRow->addWidget(new QLabel(QStringLiteral("kRPM"), this));
    grid->addLayout(speedRow, row, 1);
    spinTime_ = edit();
    label("Time:", 2);
    grid->addWidget(spinTime_, row, 3);
    temperature_ = edit();
    label("Temperature:", 4);
    auto* temperatureRow = new QHBoxLayout;
    temperatureRow->addWidget(temperature_);
    temperatureRow->addWidget(new QLabel(QStringLiteral("deg C"), this));
    grid->addLayout(temperatureRow, row++, 5);

    w2t_ = edit();
    exponent_ = edit();
    exponent_->setMaximumWidth(50);
    label("w2t:", 0);
    auto* w2tRow = new QHBoxLayout;
    w2tRow->addWidget(w2t_);
    w2tRow->addWidget(new QLabel(QStringLiteral("x10^"), this));
    w2tRow->addWidget(exponent_);
    grid->addLayout(w2tRow, row++, 1);
    layout->addLayout(grid);

    auto* presetBox = new QGroupBox(QStringLiteral("Preset runs"), this);
    auto* presetRow = new QHBoxLayout(presetBox);
    auto* add = new QPushButton(QStringLiteral("Add Preset Run"), presetBox);
    presetRow->addWidget(add);
    buttons_.push_back(add);
    presetGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(QStringLiteral("Preset Run #%1").arg(i + 1), presetBox);
        radio->setContextMenuPolicy(Qt::CustomContextMenu);
        presetGroup_->addButton(radio, i);
        presetRow->addWidget(radio);
        presets_[static_cast<std::size_t>(i)] = radio;
        connect(radio, &QWidget::customContextMenuRequested, this, [this, radio, i](const QPoint& at) {
            QMenu menu(this);
            QAction* remove = menu.addAction(QStringLiteral("Delete Preset Run"));
            if (menu.exec(radio->mapToGlobal(at)) == remove) {
                takeFields();
                page_.deletePreset(i);
                showFields();
            }
        });
    }
    layout->addWidget(presetBox);

    layout->addLayout(makeUserPageButtons(*this,
                                          {[this] { takeFields(); },
                                           [this](std::optional<PageStep> step) { finish(step); },
                                           [this] { return page_.ok(); }, [this] { return page_.skip(); },
                                           [this] { return page_.goToGraph(); },
                                           [this] { return page_.compareDataSets(); }, [this] { close(); }},
                                          buttons_));
    button(QStringLiteral("OK"))->setDefault(true);

    connect(names_, &QComboBox::activated, this, [this](int index) {
        takeFields();
        page_.chooseUser(index);
        showFields();
    });
    connect(names_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        takeFields();
        page_.nameTyped(ss(text));
        showFields();
    });
    connect(manufacturers_, &QComboBox::activated, this, [this](int index) {
        takeFields();
        page_.chooseManufacturer(index);
        showFields();
    });
    connect(rotors_, &QComboBox::activated, this, [this](int index) {
        takeFields();
        page_.chooseRotor(index);
        showFields();
    });
    connect(rotors_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        takeFields();
        page_.rotorTyped(ss(text));
        showFields();
    });
    connect(presetGroup_, &QButtonGroup::idClicked, this, [this](int index) {
        takeFields();
        page_.choosePreset(index);
        showFields();
    });
    connect(add, &QPushButton::clicked, this, [this] {
        takeFields();
        page_.addPresetRun();
        showFields();
    });
}

QPushButton* CSummaryInfoDlg::button(const QString& caption) const {
    return findButton(buttons_, caption.toLatin1().constData());
}

void CSummaryInfoDlg::fillRotors() {
    fill(rotors_, page_.rotors());
}

void CSummaryInfoDlg::showFields() {
    const UserPageFields& f = page_.fields();
    {
        const QSignalBlocker block(names_);
        if (names_->count() != static_cast<int>(page_.names().size())) {
            fill(names_, page_.names());
        }
        const int index = names_->findText(qs(f.name), Qt::MatchExactly | Qt::MatchCaseSensitive);
        names_->setCurrentIndex(index);
        if (names_->currentText() != qs(f.name)) {
            names_->setEditText(qs(f.name));
        }
    }
    date_->setDate(QDate(f.when.year, f.when.month, f.when.day));
    time_->setTime(QTime(f.when.hour, f.when.minute, f.when.second));
    setText(experiment_, f.experiment);
    uvUnit_->setCurrentIndex(f.uvUnit);
    uvUnit_->setEnabled(false);
    manufacturers_->setCurrentIndex(f.manufacturer);
    fillRotors();
    {
        const QSignalBlocker block(rotors_);
        rotors_->setCurrentIndex(f.rotorText.empty() ? f.rotorEntry : rotors_->findText(qs(f.rotorText)));
        if (rotors_->currentText() != qs(f.rotorText)) {
            rotors_->setEditText(qs(f.rotorText));
        }
    }
    rotors_->setHighlight(page_.rotorMarked());
    setText(sampleVolume_, f.sampleVolume);
    setText(gradient_, f.gradient);
    setText(percent1_, f.percent1);
    setText(percent2_, f.percent2);
    units_->setCurrentIndex(f.gradientUnits);
    tubes_->setCurrentIndex(f.tubesEntry);
    setText(speed_, f.speed);
    setText(spinTime_, f.spinTime);
    setText(w2t_, f.w2t);
    setText(exponent_, f.exponent);
    setText(temperature_, f.temperature);
    for (const char* caption : {"OK", "Skip", "GO TO GRAPH", "COMPARE DATA SETS"}) {
        button(QLatin1String(caption))->setEnabled(page_.buttonsEnabled());
    }
    showPresets();
}

void CSummaryInfoDlg::showPresets() {
    const auto& files = page_.presets();
    presetGroup_->setExclusive(false);
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        QRadioButton* radio = presets_[i];
        const bool used = i < files.size();
        radio->setEnabled(used);
        radio->setChecked(used && static_cast<int>(i) == page_.presetChosen());
        radio->setToolTip(used ? qs(files[i]) : QString());
    }
    presetGroup_->setExclusive(true);
}

void CSummaryInfoDlg::showUnit() { uvUnit_->setCurrentIndex(page_.unitShown()); }

bool CSummaryInfoDlg::event(QEvent* event) {
    // The unit may have answered since the page came up.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        showUnit();
    }
    return QDialog::event(event);
}

void CSummaryInfoDlg::takeFields() {
    UserPageFields& f = page_.fields();
    f.name = ss(names_->currentText());
    const QDate d = date_->date();
    const QTime t = time_->time();
    f.when = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    f.experiment = ss(experiment_->text());
    showUnit();
    f.uvUnit = uvUnit_->currentIndex();
    f.manufacturer = manufacturers_->currentIndex();
    f.rotorEntry = rotors_->currentIndex();
    f.rotorText = ss(rotors_->currentText());
    f.sampleVolume = ss(sampleVolume_->text());
    f.gradient = ss(gradient_->text());
    f.percent1 = ss(percent1_->text());
    f.percent2 = ss(percent2_->text());
    f.gradientUnits = units_->currentIndex();
    f.tubesEntry = tubes_->currentIndex();
    f.speed = ss(speed_->text());
    f.spinTime = ss(spinTime_->text());
    f.w2t = ss(w2t_->text());
    f.exponent = ss(exponent_->text());
    f.temperature = ss(temperature_->text());
}

void CSummaryInfoDlg::finish(const std::optional<PageStep>& step) {
    if (!step) {
        showFields();  // the page stays; a missing rotor shows highlighted
        return;
    }
    finished_ = true;
    hide();
    emit leave(*step);
}

void CSummaryInfoDlg::reject() { close(); }

void CSummaryInfoDlg::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!finished_) {
        finished_ = true;
        emit cancelled();
    }
}

}  // namespace corvane
