#include "desktop/CAnalysisPanel.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/Prompter.h"
#include "display/AnalysisLayer.h"
#include "display/GraphView.h"
#include "runs/ProfileFile.h"
#include "graph/CGraphCtrl.h"

namespace corvane {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

constexpr RunChannel kChannels[] = {RunChannel::AbsA, RunChannel::AbsB, RunChannel::Ratio};
constexpr const char* kChannelNames[] = {"Abs A", "Abs B", "AbsA/AbsB"};
constexpr BaselineKind kBaselines[] = {BaselineKind::Start, BaselineKind::End, BaselineKind::Constant,
                                       BaselineKind::Line};
constexpr const char* kBaselineNames[] = {"level before the gradient", "level after it", "constant",
                                          "line from before to after"};

}  // namespace

CAnalysisPanel::CAnalysisPanel(Env env, QWidget* parent)
    : QDockWidget(QStringLiteral("Analysis"), parent), env_(std::move(env)) {
    setObjectName(QStringLiteral("analysisPanel"));
    auto* body = new QWidget(this);
    auto* form = new QFormLayout;
    channel_ = new QComboBox(body);
    for (const char* name : kChannelNames) {
        channel_->addItem(QString::fromLatin1(name));
    }
    form->addRow(QStringLiteral("Channel"), channel_);
    auto* smoothRow = new QHBoxLayout;
    smoothing_ = new QComboBox(body);
    smoothing_->addItems({QStringLiteral("Savitzky-Golay"), QStringLiteral("moving average"), QStringLiteral("none")});
    window_ = new QSpinBox(body);
    window_->setRange(0, Smoothing::kMaxWindow);
    window_->setSingleStep(2);
    window_->setSpecialValueText(QStringLiteral("auto"));
    window_->setSuffix(QStringLiteral(" samples"));
    smoothRow->addWidget(smoothing_, 1);
    smoothRow->addWidget(window_);
    form->addRow(QStringLiteral("Smoothing"), smoothRow);
    auto* baseRow = new QHBoxLayout;
    baseline_ = new QComboBox(body);
    baseline_->setObjectName(QStringLiteral("baseline"));
    for (const char* name : kBaselineNames) {
        baseline_->addItem(QString::fromLatin1(name));
    }
    level_ = new QDoubleSpinBox(body);
    level_->setObjectName(QStringLiteral("level"));
    level_->setDecimals(4);
    level_->setRange(-1000.0, 1000.0);
    level_->setSingleStep(0.001);
    baseRow->addWidget(baseline_, 1);
    baseRow->addWidget(level_);
    form->addRow(QStringLiteral("Baseline"), baseRow);
    automatic_ = new QPushButton(QStringLiteral("Automatic Regions"), body);
    automatic_->setToolTip(QStringLiteral("Drag a valley on the graph to move a boundary; this puts them back."));
    form->addRow(QString(), automatic_);

    table_ = new QTableWidget(body);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectItems);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    warnings_ = new QLabel(body);
    warnings_->setWordWrap(true);
    warnings_->setStyleSheet(QStringLiteral("color: #a00000;"));
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("Add Profile..."), body);
    add->setToolTip(QStringLiteral("A run or another instrument's profile beside those on the graph"));
    auto* copy = new QPushButton(QStringLiteral("Copy"), body);
    auto* save = new QPushButton(QStringLiteral("Save CSV..."), body);
    buttons->addWidget(add);
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(save);

    auto* column = new QVBoxLayout(body);
    column->addLayout(form);
    column->addWidget(table_, 1);
    column->addWidget(warnings_);
    column->addLayout(buttons);
    setWidget(body);

    connect(channel_, &QComboBox::currentIndexChanged, this, [this](int k) {
        if (!updating_ && k >= 0) {
            state_.setChannel(kChannels[k]);
        }
    });
    connect(smoothing_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(); });
    connect(window_, &QSpinBox::valueChanged, this, [this] { settingsChanged(); });
    connect(baseline_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(); });
    connect(level_, &QDoubleSpinBox::valueChanged, this, [this] { settingsChanged(); });
    connect(automatic_, &QPushButton::clicked, this, [this] {
        if (layer_ && layer_->shownSet() < state_.size()) {
            state_.automaticRegions(layer_->shownSet());
        }
    });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int, int set) {
        if (!updating_ && layer_ && set >= 0 && set < state_.size() && set != layer_->shownSet()) {
            layer_->setShownSet(set);
            refreshTable();
        }
    });
    connect(add, &QPushButton::clicked, this, &CAnalysisPanel::addProfile);
    connect(copy, &QPushButton::clicked, this, &CAnalysisPanel::copyTable);
    connect(save, &QPushButton::clicked, this, &CAnalysisPanel::saveCsv);

    listening_ = state_.listen([this] { refreshTable(); });
    env_.plot.installEventFilter(this);
}

CAnalysisPanel::~CAnalysisPanel() { env_.plot.removeEventFilter(this); }

void CAnalysisPanel::open() {
    if (!layer_) {
        layer_ = std::make_unique<AnalysisLayer>(state_, env_.view, env_.graph);
        refreshTable();
    }
    show();
    raise();
}

void CAnalysisPanel::closeEvent(QCloseEvent* event) {
    // A closed panel leaves nothing on the graph and takes no mouse.
    layer_.reset();
    QDockWidget::closeEvent(event);
}

void CAnalysisPanel::settingsChanged() {
    if (updating_) {
        return;
    }
    Smoothing smoothing;
    smoothing.kind = std::array{SmoothingKind::SavitzkyGolay, SmoothingKind::MovingAverage,
                                SmoothingKind::None}[static_cast<std::size_t>(std::max(0, smoothing_->currentIndex()))];
    // A window is odd: an even one typed takes the next.
    smoothing.window = window_->value() == 0 ? 0 : window_->value() | 1;
    window_->setEnabled(smoothing.kind != SmoothingKind::None);
    BaselineChoice baseline;
    baseline.kind = kBaselines[static_cast<std::size_t>(std::max(0, baseline_->currentIndex()))];
    baseline.level = level_->value();
    level_->setEnabled(baseline.kind == BaselineKind::Constant);
    if (!(smoothing == state_.settings().smoothing)) {
        state_.setSmoothing(smoothing);
    }
    const BaselineChoice& now = state_.settings().baseline;
    if (baseline.kind == BaselineKind::Line) {
        // A line already chosen (or dragged) stays as it is.
        if (now.kind != BaselineKind::Line) {
            state_.setLineThroughTheEnds();
        }
    } else if (baseline.kind != now.kind || baseline.level != now.level) {
        state_.setBaseline(baseline);
    }
}

void CAnalysisPanel::refreshTable() {
    updating_ = true;
    // The controls follow what the analysis used: a level dragged on the
    // graph is a constant one, a line stays a line.
    const BaselineChoice& choice = state_.settings().baseline;
    for (std::size_t k = 0; k < std::size(kBaselines); ++k) {
        if (kBaselines[k] == choice.kind) {
            baseline_->setCurrentIndex(static_cast<int>(k));
        }
    }
    level_->setEnabled(choice.kind == BaselineKind::Constant);
    if (choice.kind == BaselineKind::Constant) {
        level_->setValue(choice.level);
    } else if (state_.size() > 0 && state_.analysis(0).ok()) {
        level_->setValue(state_.analysis(0).baseline.level);
    }

    // A quantity per row and a run (or a group's mean or SD) per column:
    // the panel is narrower than it is high. The warnings, long sentences,
    // go under the table for the run chosen (and into the tool tips).
    const AnalysisTable t = analysisTable(state_);
    table_->clear();
    const int quantities = static_cast<int>(t.header.size()) - 2;
    table_->setRowCount(std::max(quantities, 0));
    table_->setColumnCount(static_cast<int>(t.rows.size()));
    QStringList names;
    for (std::size_t k = 1; k + 1 < t.header.size(); ++k) {
        names << qs(t.header[k]);
    }
    table_->setVerticalHeaderLabels(names);
    QStringList sets;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        sets << qs(t.rows[r][0]);
        for (std::size_t c = 1; c + 1 < t.rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(qs(t.rows[r][c]));
            if (t.warned[r]) {
                item->setForeground(QColor(160, 0, 0));
            }
            item->setToolTip(qs(t.rows[r].back()));
            table_->setItem(static_cast<int>(c) - 1, static_cast<int>(r), item);
        }
    }
    table_->setHorizontalHeaderLabels(sets);
    table_->resizeColumnsToContents();
    const int shown = layer_ ? layer_->shownSet() : 0;
    if (shown < table_->columnCount()) {
        table_->setCurrentCell(0, shown);
    }
    std::string warnings;
    if (state_.size() == 0) {
        warnings = "Open a run file to analyse it.";
    } else if (shown < state_.size()) {
        const ProfileAnalysis& a = state_.analysis(shown);
        warnings = a.ok() ? std::string() : a.problem;
        for (const auto& w : a.warnings) {
            warnings += (warnings.empty() ? "" : "\n") + w;
        }
    }
    warnings_->setText(qs(warnings));
    automatic_->setEnabled(shown < state_.size() && state_.userBoundaries(shown));
    updating_ = false;
}

void CAnalysisPanel::addProfile() {
    FileDialogRequest request;
    request.title = "Add a Profile to the Analysis";
    request.filter = "Profiles and runs (*.pks *.asc *.csv *.txt *.tsv);;All files (*)";
    request.initialFolder = env_.folder;
    const auto path = env_.prompter.openFile(request);
    if (!path) {
        return;
    }
    const std::filesystem::path file(*path);
    RunOrProfileFile read = readRunOrProfileFile(file, {state_.channel(), {}, {}});
    AnalysisSource source;
    source.name = file.filename().string();
    if (read.isRun && !read.run.isExport()) {
        auto profile = profileFromRun(read.run, source.name, state_.channel());
        if (profile) {
            source.profile = std::move(*profile);
            source.run = std::move(read.run);
        }
    } else if (read.profile) {
        source.profile = std::move(*read.profile);
    }
    if (source.profile.size() == 0 && source.profile.x.empty()) {
        const std::string why = read.error.empty() ? "it holds no profile" : read.error;
        env_.prompter.message("Cannot add " + source.name + ": " + why + ".");
        return;
    }
    state_.addSource(std::move(source));
}

void CAnalysisPanel::copyTable() { QApplication::clipboard()->setText(qs(state_.csv())); }

void CAnalysisPanel::saveCsv() {
    FileDialogRequest request;
    request.title = "Save Analysis as CSV";
    request.filter = "CSV files (*.csv)";
    request.initialFolder = env_.folder;
    request.defaultExtension = "csv";
    // The file dialog asks before it names a file that exists.
    const auto path = env_.prompter.saveFile(request);
    if (!path) {
        return;
    }
    QSaveFile file(qs(*path));
    const std::string csv = state_.csv();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) || !file.commit()) {
        env_.prompter.message("Error, could not save " + *path + ".");
    }
}

bool CAnalysisPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &env_.plot || !layer_) {
        return QDockWidget::eventFilter(watched, event);
    }
    const auto type = event->type();
    if (type == QEvent::Leave && !layer_->dragging()) {
        // Off the plot: nothing stays lit.
        (void)layer_->move({-1, -1}, PlotFrame{env_.plot.width(), env_.plot.height(), env_.view.axes().xRange(),
                                               env_.view.axes().yRange()});
        env_.plot.unsetCursor();
        return QDockWidget::eventFilter(watched, event);
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease) {
        return QDockWidget::eventFilter(watched, event);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mouse->position().toPoint();
    const PlotFrame frame{env_.plot.width(), env_.plot.height(), env_.view.axes().xRange(),
                          env_.view.axes().yRange()};
    const PixelPoint at{pos.x(), pos.y()};
    bool taken = false;
    if (type == QEvent::MouseButtonPress) {
        taken = mouse->button() == Qt::LeftButton && layer_->press(at, frame);
    } else if (type == QEvent::MouseMove) {
        taken = layer_->move(at, frame);
        if (layer_->grabbing()) {
            env_.plot.setCursor(layer_->marks().baselineActive ? Qt::SizeVerCursor : Qt::SizeHorCursor);
        } else {
            env_.plot.unsetCursor();
        }
    } else {
        taken = mouse->button() == Qt::LeftButton && layer_->release(at, frame);
    }
    return taken || QDockWidget::eventFilter(watched, event);
}

}  // namespace corvane
