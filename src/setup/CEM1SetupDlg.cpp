#include "setup/CEM1SetupDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "setup/CMyEdit.h"
#include "setup/CMySpinButtonCtrl.h"

namespace corvane {
namespace {

using Spin = De1SetupPage::Spin;

constexpr std::array<const char*, 8> kAufs = {"0.01", "0.02", "0.05", "0.10", "0.20", "0.50", "1.00", "2.00"};

QString qs(const std::string& text) { return QString::fromStdString(text); }

void setText(CMyEdit* edit, const std::string& text) {
    if (edit->text() != qs(text)) {
        edit->setText(qs(text));
    }
}

std::size_t at(Spin which) { return static_cast<std::size_t>(which); }

}  // namespace

CEM1SetupDlg::CEM1SetupDlg(De1SetupPage::Env env, QWidget* parent) : QDialog(parent), page_(std::move(env)) {
    setWindowTitle(QStringLiteral("SCAN SETUP"));
    page_.open();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeSettings());
    layout->addWidget(makeFractions());
    layout->addWidget(makePeaks());
    layout->addWidget(makeZones());
    auto* row = new QHBoxLayout;
    for (const char* caption :
         {"Short check list", "Detailed check list", "SAVE SETTINGS AS", "USER", "GRAPH"}) {
        auto* b = new QPushButton(QLatin1String(caption), this);
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    layout->addLayout(row);
    button(QStringLiteral("GRAPH"))->setDefault(true);
    connect(button(QStringLiteral("Short check list")), &QPushButton::clicked, this, [this] { page_.shortCheckList(); });
    connect(button(QStringLiteral("Detailed check list")), &QPushButton::clicked, this,
            [this] { page_.detailedCheckList(); });
    connect(button(QStringLiteral("SAVE SETTINGS AS")), &QPushButton::clicked, this, [this] {
        takeFields();
        page_.saveSettingsAs();
        refresh();
    });
    connect(button(QStringLiteral("USER")), &QPushButton::clicked, this, [this] {
        takeFields();
        finish(page_.user());
    });
    connect(button(QStringLiteral("GRAPH")), &QPushButton::clicked, this, [this] {
        takeFields();
        finish(page_.graph());
    });
    refresh();
}

QWidget* CEM1SetupDlg::makeSettings() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* aufsBox = new QGroupBox(QStringLiteral("Absorbance Units Full Scale (AUFS)"), box);
    auto* aufsRow = new QHBoxLayout(aufsBox);
    aufs_ = new QButtonGroup(this);
    for (int step = 0; step < 8; ++step) {
        auto* radio = new QRadioButton(QLatin1String(kAufs[static_cast<std::size_t>(step)]), aufsBox);
        radio->setToolTip(QStringLiteral("Set the \"Absorbance Units Full-Scale\" to %1")
                              .arg(QLatin1String(kAufs[static_cast<std::size_t>(step)])));
        aufs_->addButton(radio, step);
        aufsRow->addWidget(radio);
    }
    grid->addWidget(aufsBox, 0, 0, 1, 6);

    const auto edit = [box](const char* tooltip) {
        auto* e = new CMyEdit(box);
        e->setMaximumWidth(80);
        if (tooltip != nullptr) {
            e->setToolTip(QLatin1String(tooltip));
        }
        return e;
    };
    const auto withSpin = [this, box](CMyEdit* e, Spin which) {
        auto* row = new QHBoxLayout;
        auto* spin = new CMySpinButtonCtrl(e, box);
        connect(spin, &CMySpinButtonCtrl::clicked, this, [this, which](bool up) {
            takeFields();
            page_.spin(which, up);
            refresh();
        });
        row->addWidget(e);
        row->addWidget(spin);
        row->addStretch(1);
        return row;
    };
    wavelength_ = new QComboBox(box);
    for (const auto& entry : De1SetupPage::wavelengths()) {
        wavelength_->addItem(qs(entry));
    }
    wavelength_->setToolTip(QStringLiteral("Select the wavelength of UV light to be used."));
    rates_ = new QComboBox(box);
    for (const auto& entry : De1SetupPage::sampleRates()) {
        rates_->addItem(qs(entry));
    }
    rates_->setToolTip(QStringLiteral("Select the sample rate in samples per second."));
    fields_[at(Spin::Speed)] = edit("Select the speed of the piston in mm/sec.");
    fields_[at(Spin::MaxVolume)] = edit(nullptr);
    tubing_ = edit("Select the length of tubing attached to the exit port of the DE-1. Enter zero if you do not "
                   "wish to take the length of tubing into account when determining scanning position offsets.");
    grid->addWidget(new QLabel(QStringLiteral("UV Wavelength"), box), 1, 0);
    grid->addWidget(wavelength_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Samples / sec"), box), 1, 2);
    grid->addWidget(rates_, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Speed"), box), 2, 0);
    grid->addLayout(withSpin(fields_[at(Spin::Speed)], Spin::Speed), 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm/sec"), box), 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Max. vol./fraction"), box), 3, 0);
    grid->addLayout(withSpin(fields_[at(Spin::MaxVolume)], Spin::MaxVolume), 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("ml"), box), 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Length of Tubing"), box), 4, 0);
    grid->addWidget(tubing_, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), box), 4, 2);

    auto* startBox = new QGroupBox(QStringLiteral("Start recording at:"), box);
    auto* startRow = new QVBoxLayout(startBox);
    start_ = new QButtonGroup(this);
    auto* first = new QRadioButton(QStringLiteral("1st Event Mark"), startBox);
    first->setToolTip(
        QStringLiteral("Starts the run when the fractionator sends its first \"Frac Adv\" signal at the start of the run."));
    auto* delayed = new QRadioButton(QStringLiteral("Event with Delay"), startBox);
    delayed->setToolTip(
        QStringLiteral("Starts the run when the distance traveled equals the volume of the system past the flow cell."));
    start_->addButton(first, 0);
    start_->addButton(delayed, 1);
    startRow->addWidget(first);
    startRow->addWidget(delayed);
    autozero_ = new QCheckBox(QStringLiteral("AutoZero at Start"), startBox);
    startRow->addWidget(autozero_);
    grid->addWidget(startBox, 2, 3, 3, 3);

    connect(aufs_, &QButtonGroup::idClicked, this, [this](int step) { page_.aufs = step; });
    return box;
}

QWidget* CEM1SetupDlg::makeFractions() {
    auto* box = new QGroupBox(QStringLiteral("Fractionate by:"), this);
    auto* grid = new QGridLayout(box);
    const std::array<std::pair<Spin, const char*>, 4> rows = {{{Spin::Total, "Total Distance"},
                                                               {Spin::Number, "Number of fractions"},
                                                               {Spin::Distance, "Distance/fraction"},
                                                               {Spin::Volume, "Volume/fraction"}}};
    int column = 0;
    for (const auto& [which, caption] : rows) {
        auto* e = new CMyEdit(box);
        e->setMaximumWidth(80);
        fields_[at(which)] = e;
        auto* spin = new CMySpinButtonCtrl(e, box);
        connect(spin, &CMySpinButtonCtrl::clicked, this, [this, which = which](bool up) {
            takeFields();
            page_.spin(which, up);
            refresh();
        });
        connect(e, &QLineEdit::textEdited, this, [this, which = which](const QString& text) {
            takeFields();  // the refresh below must not undo what was typed elsewhere
            auto& f = page_.fractions();
            const std::string typed = text.toStdString();
            switch (which) {
                case Spin::Total: f.totalTyped(typed); break;
                case Spin::Number: f.numberTyped(typed); break;
                case Spin::Distance: f.distanceTyped(typed); break;
                default: f.volumeTyped(typed); break;
            }
            refresh();
        });
        grid->addWidget(new QLabel(QLatin1String(caption), box), 0, column);
        auto* cell = new QHBoxLayout;
        cell->addWidget(e);
        cell->addWidget(spin);
        grid->addLayout(cell, 1, column++);
    }
    fields_[at(Spin::Distance)]->setToolTip(QStringLiteral(
        "Select the scanning distance for each fraction (i.e. the distance between event markers) (in mm)."));
    fields_[at(Spin::Number)]->setToolTip(QLatin1String(De1SetupPage::kMarksTooltip));
    marks_ = new QCheckBox(box);
    grid->addWidget(marks_, 2, 0, 1, 4);
    connect(marks_, &QCheckBox::toggled, this, [this](bool on) { page_.autosend = on; });
    return box;
}

QWidget* CEM1SetupDlg::makePeaks() {
    auto* box = new QGroupBox(QStringLiteral("Peaks"), this);
    auto* grid = new QGridLayout(box);
    peaksOn_ = new QCheckBox(QStringLiteral("Fractionate by peaks found on the signal (the distance marks are off)"), box);
    grid->addWidget(peaksOn_, 0, 0, 1, 8);
    const std::array<const char*, 8> captions = {"Start level (AU)",  "End level (AU)",     "Start slope (AU/mm)",
                                                 "End slope (AU/mm)", "Min. width (mm)",    "Fractions/peak",
                                                 "Between: every (mm)", "Delay volume (ml)"};
    const std::array<const char*, 8> tips = {
        "A peak starts where the absorbance rises this far above the run's starting level (empty: not used).",
        "A peak ends where the absorbance falls back below this level (empty: the start level).",
        "A peak starts where the signal rises this steeply (empty: not used).",
        "A peak ends where its fall flattens below this slope (empty: not used).",
        "A rise shorter than this is no peak.",
        "Fractions each peak is cut into, at equal distances.",
        "Between peaks a fraction every this many mm (empty: one fraction between two peaks).",
        "The measured volume from the flow cell to the collector (empty: the tubing's dead volume)."};
    for (std::size_t i = 0; i < captions.size(); ++i) {
        auto* e = new CMyEdit(box);
        e->setMaximumWidth(80);
        e->setToolTip(QLatin1String(tips[i]));
        peakEdits_[i] = e;
        const int row = 1 + static_cast<int>(i / 4) * 2;
        const int column = static_cast<int>(i % 4) * 2;
        grid->addWidget(new QLabel(QLatin1String(captions[i]), box), row, column);
        grid->addWidget(e, row + 1, column);
    }
    return box;
}

std::array<std::string*, 8> CEM1SetupDlg::peakTexts() {
    auto& p = page_.peaks;
    return {&p.startLevel, &p.endLevel, &p.startSlope, &p.endSlope,
            &p.minWidth,   &p.perPeak,  &p.betweenEvery, &p.delayVolume};
}

QWidget* CEM1SetupDlg::makeZones() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    zones_ = new QTableWidget(0, 6, box);
    const QStringList headers = {QStringLiteral("ZONE"),
                                 QStringLiteral("START"),
                                 QStringLiteral("END"),
                                 QStringLiteral("Number of Fractions"),
                                 QStringLiteral("Distance/fraction"),
                                 QStringLiteral("Volume/fraction")};
    zones_->setHorizontalHeaderLabels(headers);
    // Equal shares cut the long headers at the page's width: each column is
    // as wide as its header at least, and the table asks for that room.
    QHeaderView* header = zones_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);
    int least = 2 * zones_->frameWidth();
    for (int c = 0; c < headers.size(); ++c) {
        least += header->sectionSizeHint(c);
    }
    zones_->setMinimumWidth(least);
    zones_->verticalHeader()->hide();
    zones_->setMinimumHeight(90);
    layout->addWidget(zones_);
    auto* reset = new QPushButton(QStringLiteral("RESET ALL"), box);
    reset->setAutoDefault(false);
    layout->addWidget(reset, 0, Qt::AlignRight);
    connect(reset, &QPushButton::clicked, this, [this] {
        page_.zones().resetAll();
        showZones();
    });
    connect(zones_, &QTableWidget::cellChanged, this, [this](int row, int column) {
        auto& rows = page_.zones().rows();
        if (row < 0 || row >= static_cast<int>(rows.size())) {
            return;
        }
        const std::string text = zones_->item(row, column)->text().toStdString();
        if (column == 2) {
            rows[static_cast<std::size_t>(row)].end = text;
        } else if (column == 3) {
            (void)page_.zoneNumberTyped(static_cast<std::size_t>(row), text);
        }
        showZones();
    });
    return box;
}

void CEM1SetupDlg::showZones() {
    const QSignalBlocker block(zones_);
    const auto& table = page_.zones();
    zones_->setRowCount(static_cast<int>(table.rows().size()));
    for (std::size_t r = 0; r < table.rows().size(); ++r) {
        const std::array<std::string, 6> cells = {std::to_string(r + 1),       table.startText(r),
                                                  table.rows()[r].end,         table.rows()[r].number,
                                                  table.distanceText(r),       table.volumeText(r)};
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(qs(cells[static_cast<std::size_t>(c)]));
            if (c != 2 && c != 3) {
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            }
            zones_->setItem(static_cast<int>(r), c, item);
        }
    }
}

void CEM1SetupDlg::showMarks() {
    const QSignalBlocker block(marks_);
    marks_->setText(qs(page_.fractions().markText()));
    marks_->setChecked(page_.autosend);
}

void CEM1SetupDlg::refresh() {
    aufs_->button(page_.aufs)->setChecked(true);
    wavelength_->setCurrentIndex(page_.wavelengthEntry);
    rates_->setCurrentIndex(page_.samplesEntry);
    if (page_.startType >= 0) {
        start_->button(page_.startType)->setChecked(true);
    }
    autozero_->setChecked(page_.autozero);
    setText(fields_[at(Spin::Speed)], page_.speed);
    setText(fields_[at(Spin::MaxVolume)], page_.maxVolume);
    setText(tubing_, page_.tubing);
    auto& f = page_.fractions();
    setText(fields_[at(Spin::Total)], f.total());
    setText(fields_[at(Spin::Number)], f.number());
    setText(fields_[at(Spin::Distance)], f.distance());
    setText(fields_[at(Spin::Volume)], f.volume());
    showMarks();
    showZones();
    const De1Field marked = page_.marked();
    fields_[at(Spin::Speed)]->setMarked(marked == De1Field::Speed);
    fields_[at(Spin::MaxVolume)]->setMarked(marked == De1Field::MaxVolume);
    fields_[at(Spin::Distance)]->setMarked(marked == De1Field::Distance);
    fields_[at(Spin::Number)]->setMarked(marked == De1Field::Number);
    tubing_->setMarked(marked == De1Field::Tubing);
    peaksOn_->setChecked(page_.peaks.on);
    const auto texts = peakTexts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        setText(peakEdits_[i], *texts[i]);
        peakEdits_[i]->setMarked(marked == De1Field::Peaks);
    }
}

void CEM1SetupDlg::takeFields() {
    page_.aufs = aufs_->checkedId();
    page_.wavelengthEntry = wavelength_->currentIndex();
    page_.samplesEntry = rates_->currentIndex();
    page_.startType = start_->checkedId();
    page_.autozero = autozero_->isChecked();
    page_.autosend = marks_->isChecked();
    page_.speed = fields_[at(Spin::Speed)]->text().toStdString();
    page_.maxVolume = fields_[at(Spin::MaxVolume)]->text().toStdString();
    page_.tubing = tubing_->text().toStdString();
    page_.peaks.on = peaksOn_->isChecked();
    const auto texts = peakTexts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        *texts[i] = peakEdits_[i]->text().toStdString();
    }
}

QPushButton* CEM1SetupDlg::button(const QString& caption) const {
    for (auto* b : findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

CMyEdit* CEM1SetupDlg::field(De1SetupPage::Spin which) const { return fields_[at(which)]; }

void CEM1SetupDlg::finish(const std::optional<PageStep>& step) {
    refresh();  // the field a check refused shows marked
    if (!step) {
        return;
    }
    finished_ = true;
    hide();
    emit leave(*step);
}

void CEM1SetupDlg::reject() { close(); }

void CEM1SetupDlg::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!finished_) {
        finished_ = true;
        emit closed();
    }
}

}  // namespace corvane
