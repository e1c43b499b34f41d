#include "desktop/CCompareDlg.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/DialogFolders.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "desktop/CAnalysisPanel.h"
#include "desktop/CGraphMultiDataSetsDlg.h"
#include "desktop/CGraphPanel.h"
#include "desktop/CGraphReading.h"
#include "desktop/CPrintGraphData.h"
#include "desktop/GraphCtrlLiveGraph.h"
#include "desktop/NotYet.h"
#include "display/CompareSession.h"
#include "display/GraphPageContent.h"
#include "display/GraphReading.h"
#include "display/WindowSizes.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"
#include "graph/CGraphFrame.h"

namespace corvane {

CCompareDlg::CCompareDlg(Env env, Setup setup, QWidget* parent)
    : QMainWindow(parent), env_(env), colours_(setup.colours) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Compare Data Sets"));
    graph_ = new CGraphCtrl(env_.clock, this);
    liveGraph_ = std::make_unique<GraphCtrlLiveGraph>(*graph_);
    reading_ = std::make_unique<GraphReading>(
        GraphReading::Env{env_.startupFolder, env_.prompter, env_.folders, env_.clock, *liveGraph_,
                          [this](PixelPoint p) { return graph_->hitTestTrace(p.x, p.y); }});
    session_ = std::make_unique<CompareSession>(reading_->view(), env_.prompter, env_.startupFolder,
                                                std::move(setup.sets));

    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(8, 6, 8, 6);
    columns->setSpacing(8);
    auto* left = new QWidget(central);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(makeFilePanel());
    leftLayout->addStretch(1);
    left->setFixedWidth(236);
    graphPanel_ = new CGraphPanel(*reading_, *graph_, central);
    // The compare window shows saved runs: nothing is laid over them.
    for (const char* caption : {"OVERLAY GRAPH", "SET STANDARD RUN", "FRAC ADV"}) {
        if (QPushButton* button = graphPanel_->commandButton(QString::fromLatin1(caption))) {
            button->hide();
        }
    }
    connect(graphPanel_, &CGraphPanel::windowSizeTyped, this,
            [this](bool mm, const QString& text) { (void)reading_->view().windowSizeEdited(mm, text.toStdString()); });
    connect(graphPanel_, &CGraphPanel::windowSizeStepped, this,
            [this](bool mm, bool up) { (void)reading_->view().windowSizeSpin(mm, up); });
    auto* right = new QWidget(central);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(makeOffsetPanel());
    rightLayout->addWidget(makeEventMarkPanel());
    auto* saving = new QHBoxLayout;
    auto* saveWindowButton = new QPushButton(QStringLiteral("SAVE WINDOW"), right);
    auto* saveGraphButton = new QPushButton(QStringLiteral("SAVE GRAPH"), right);
    connect(saveWindowButton, &QPushButton::clicked, this, &CCompareDlg::saveWindow);
    connect(saveGraphButton, &QPushButton::clicked, this, &CCompareDlg::saveGraphImage);
    saving->addWidget(saveWindowButton);
    saving->addWidget(saveGraphButton);
    rightLayout->addLayout(saving);
    rightLayout->addStretch(1);
    right->setFixedWidth(246);
    columns->addWidget(left);
    columns->addWidget(graphPanel_, 1);
    columns->addWidget(right);
    setCentralWidget(central);
    resize(kWindowSizes[0].width, kWindowSizes[0].height);

    readingView_ = new CGraphReading(*reading_, graphPanel_->frame(), env_.prompter, env_.clock, *this, {});
    CGraphReading* r = readingView_;
    r->followPanel(*graphPanel_, *this);
    connect(graph_, &CGraphCtrl::keyPressed, r, [r](int key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            (void)r->arrowKey(key == Qt::Key_Right);
        }
    });
    makeMenu();

    listening_ = reading_->view().listen([this] { viewChanged(); });
    session_->show(setup.plotType, setup.colours, {}, setup.view, setup.xAxis);
    setsChanged();
}

CCompareDlg::~CCompareDlg() {
    // Before the graph and the view it draws on.
    delete analysis_.data();
}

CAnalysisPanel* CCompareDlg::analysisPanel() const { return analysis_; }

void CCompareDlg::openAnalysis() {
    if (analysis_ == nullptr) {
        analysis_ = new CAnalysisPanel(
            {reading_->view(), *liveGraph_, *graph_, env_.prompter, env_.folders.folder(DialogFolder::Data)}, this);
        addDockWidget(Qt::RightDockWidgetArea, analysis_);
        resizeDocks({analysis_}, {CAnalysisPanel::kWidth}, Qt::Horizontal);
    }
    analysis_->open();
}

const CompareSets& CCompareDlg::sets() const { return session_->sets(); }

void CCompareDlg::makeMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    connect(file->addAction(QStringLiteral("&Export Data Sets")), &QAction::triggered, this,
            &CCompareDlg::exportDataSets);
    file->addSeparator();
    connect(file->addAction(QStringLiteral("&Print Graph")), &QAction::triggered, this, &CCompareDlg::printGraph);
    connect(file->addAction(QStringLiteral("S&ave Graph Image")), &QAction::triggered, this,
            &CCompareDlg::saveGraphImage);
    file->addSeparator();
    connect(file->addAction(QStringLiteral("&Close")), &QAction::triggered, this, &QWidget::close);
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    CGraphReading* r = readingView_;
    connect(view->addAction(QStringLiteral("Add / Remove Cursor(s)")), &QAction::triggered, r,
            &CGraphReading::addRemoveCursors);
    connect(view->addAction(QStringLiteral("Graphing Window Size")), &QAction::triggered, r,
            &CGraphReading::windowSize);
    view->addSeparator();
    QAction* labels = view->addAction(QStringLiteral("Axis Labels"));
    labels->setCheckable(true);
    labels->setChecked(true);
    connect(labels, &QAction::toggled, r, &CGraphReading::setAxisLabels);
    QAction* legend = view->addAction(QStringLiteral("Legend"));
    legend->setCheckable(true);
    legend->setChecked(true);
    connect(legend, &QAction::toggled, r, &CGraphReading::setLegendShown);
    view->addSeparator();
    connect(view->addAction(QStringLiteral("X-Axis Scale...")), &QAction::triggered, r,
            [r] { r->axisGains(true); });
    connect(view->addAction(QStringLiteral("Y-Axis Scale...")), &QAction::triggered, r,
            [r] { r->axisGains(false); });
    connect(view->addAction(QStringLiteral("Y-Axis Offsets...")), &QAction::triggered, r, &CGraphReading::yOffsets);
    view->addSeparator();
    connect(view->addAction(QStringLiteral("&Analysis")), &QAction::triggered, this, &CCompareDlg::openAnalysis);
}

QAction* CCompareDlg::action(const QString& text) const {
    for (QAction* menu : menuBar()->actions()) {
        for (QAction* entry : menu->menu() != nullptr ? menu->menu()->actions() : QList<QAction*>{}) {
            if (entry->text() == text) {
                return entry;
            }
        }
    }
    return nullptr;
}

QWidget* CCompareDlg::makeFilePanel() {
    auto* box = new QGroupBox(QStringLiteral("Data Sets"), this);
    auto* layout = new QVBoxLayout(box);
    files_ = new QListWidget(box);
    files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    files_->setMinimumHeight(90);
    layout->addWidget(files_);
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("Add File(s)"), box);
    auto* remove = new QPushButton(QStringLiteral("Remove File(s)"), box);
    connect(add, &QPushButton::clicked, this, &CCompareDlg::addFiles);
    connect(remove, &QPushButton::clicked, this, &CCompareDlg::removeFiles);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    layout->addLayout(buttons);
    channel_ = new QLabel(box);
    layout->addWidget(channel_);
    return box;
}

QWidget* CCompareDlg::makeSetPanel(const QString& heading, std::array<QWidget*, kMaxSets>& rows,
                                   const std::function<void(int, QWidget*, QHBoxLayout*)>& fillRow) {
    auto* box = new QGroupBox(this);
    auto* layout = new QVBoxLayout(box);
    auto* title = new QLabel(heading, box);
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);
    for (int k = 0; k < kMaxSets; ++k) {
        auto* row = new QWidget(box);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        fillRow(k, row, line);
        rows[static_cast<std::size_t>(k)] = row;
        layout->addWidget(row);
    }
    return box;
}

QWidget* CCompareDlg::makeOffsetPanel() {
    return makeSetPanel(QStringLiteral("X-Axis Offset \n(Samples)"), offsetRows_, [this](int k, QWidget* row,
                                                                                        QHBoxLayout* line) {
        const int c = colours_[static_cast<std::size_t>(k)];
        auto* value = new QLabel(QStringLiteral("Value"), row);
        value->setMinimumWidth(64);
        value->setStyleSheet(
            QStringLiteral("color: %1;").arg(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF).name()));
        auto* minus = new QPushButton(QStringLiteral("-"), row);
        auto* offset = new QLabel(QStringLiteral("0"), row);
        offset->setMinimumWidth(44);
        offset->setAlignment(Qt::AlignCenter);
        offset->setFrameShape(QFrame::StyledPanel);
        auto* plus = new QPushButton(QStringLiteral("+"), row);
        auto* reset = new QPushButton(QStringLiteral("RESET"), row);
        reset->setFlat(true);
        for (QPushButton* step : {minus, plus}) {
            step->setFixedWidth(24);
            step->setAutoRepeat(true);  // held, the offset keeps moving
        }
        connect(minus, &QPushButton::clicked, this, [this, k] { stepOffset(k, false); });
        connect(plus, &QPushButton::clicked, this, [this, k] { stepOffset(k, true); });
        connect(reset, &QPushButton::clicked, this, [this, k] { resetOffset(k); });
        for (QWidget* w : std::initializer_list<QWidget*>{value, minus, offset, plus, reset}) line->addWidget(w);
        values_[static_cast<std::size_t>(k)] = value;
        offsets_[static_cast<std::size_t>(k)] = offset;
    });
}

QWidget* CCompareDlg::makeEventMarkPanel() {
    return makeSetPanel(QStringLiteral("EVENT MARKS"), markRows_, [this](int k, QWidget* row, QHBoxLayout* line) {
        line->addWidget(new QLabel(QStringLiteral("DS%1").arg(k + 1), row));
        auto* group = new QButtonGroup(row);
        for (int on = 0; on < 2; ++on) {
            auto* radio = new QRadioButton(on != 0 ? QStringLiteral("ON") : QStringLiteral("OFF"), row);
            group->addButton(radio);
            line->addWidget(radio);
            marks_[static_cast<std::size_t>(k)][static_cast<std::size_t>(on)] = radio;
            connect(radio, &QRadioButton::clicked, this, [this, k, on] { setEventMarks(k, on != 0); });
        }
        marks_[static_cast<std::size_t>(k)][0]->setChecked(true);  // every set starts with its marks off
    });
}

QRadioButton* CCompareDlg::eventMarkButton(int set, bool on) const {
    return marks_[static_cast<std::size_t>(set)][on ? 1 : 0];
}

void CCompareDlg::setsChanged() {
    // A read-out of the mouse names sets that may be gone.
    statusBar()->clearMessage();
    files_->clear();
    for (const auto& line : session_->listLines()) {
        files_->addItem(qs(line));
    }
    channel_->setText(qs(session_->channelLabel()));
    const CompareSets& sets = session_->sets();
    for (std::size_t k = 0; k < kMaxSets; ++k) {
        const bool used = k < sets.size();
        offsetRows_[k]->setVisible(used);
        markRows_[k]->setVisible(used);
        eventMarkButton(static_cast<int>(k), used && sets[k].eventMarks)->setChecked(true);
    }
    viewChanged();
}

void CCompareDlg::viewChanged() {
    // After an AUTO-ALIGN or a drag the offsets follow; with a main cursor
    // each set's value at it.
    const GraphView& view = reading_->view();
    const auto cursor = reading_->cursors().mainPosition();
    for (int k = 0; k < kMaxSets; ++k) {
        offsets_[static_cast<std::size_t>(k)]->setText(qs(formatText("%.0f", view.offsets().xOffset(k))));
        const auto sample = cursor ? view.sampleAt(k, *cursor) : std::nullopt;
        values_[static_cast<std::size_t>(k)]->setText(
            sample ? qs(absorbanceText(channelValue(session_->plotType(), *sample))) : QStringLiteral("Value"));
    }
}

void CCompareDlg::stepOffset(int set, bool up) { session_->stepOffset(set, up); }

void CCompareDlg::resetOffset(int set) { session_->resetOffset(set); }

void CCompareDlg::setEventMarks(int set, bool on) {
    session_->setEventMarks(set, on);
    eventMarkButton(set, on)->setChecked(true);
}

void CCompareDlg::addFiles() {
    std::vector<std::string> shown;
    for (const auto& path : session_->sets().paths()) shown.push_back(path.string());
    CGraphMultiDataSetsDlg dialog(env_.prompter, env_.folders, {shown, session_->plotType(), session_->colours()},
                                  this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const auto choice = dialog.choice();
    takeFiles({choice.files.begin(), choice.files.end()}, choice.plotType, choice.colours);
}

void CCompareDlg::takeFiles(const std::vector<std::filesystem::path>& files, int plotType,
                            const std::array<int, 4>& colours) {
    if (session_->takeFiles(files, plotType, colours)) {
        colours_ = colours;
        setsChanged();
    }
}

void CCompareDlg::removeFiles() {
    std::vector<std::size_t> selected;
    for (int i = 0; i < files_->count(); ++i) {
        if (files_->item(i)->isSelected()) selected.push_back(static_cast<std::size_t>(i));
    }
    if (session_->removeFiles(selected)) {
        setsChanged();
    }
}

void CCompareDlg::exportDataSets() { session_->exportSets(); }

GraphPageContent CCompareDlg::graphPage() const {
    PageSource source;
    source.drawn = pageLegend(*graph_, reading_->view());
    source.legendShown = graphPanel_->frame().legendShown();
    return graphPageContent(reading_->view(), reading_->cursors(), nullptr, pageColours(*graph_), nullptr, source);
}

void CCompareDlg::printGraph() {
    CPrintGraphData print(env_.prompter, env_.folders.folder(DialogFolder::Data));
    QtPrintDialogRunner shown(this);
    if (!print.printGraph(*graph_, graphPage(), printDialog_ != nullptr ? *printDialog_ : shown)) {
        env_.prompter.message("Error, could not print graph.");
    }
}

void CCompareDlg::saveGraphImage() {
    CPrintGraphData print(env_.prompter, env_.folders.folder(DialogFolder::Data));
    if (!print.saveGraphImage(*graph_, graphPage())) {
        env_.prompter.message("Error, could not save image of graph.");
    }
}

void CCompareDlg::saveWindow() {
    CPrintGraphData print(env_.prompter, env_.folders.folder(DialogFolder::Data));
    if (!print.saveWindow(*this)) {
        env_.prompter.message("Error acquiring capture of main window.");
    }
}

void CCompareDlg::closeEvent(QCloseEvent* event) {
    // Back to the main window, without the exit question.
    event->accept();
    emit compareClosed();
}

}  // namespace corvane
