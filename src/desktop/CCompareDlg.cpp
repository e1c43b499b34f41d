#include "desktop/CCompareDlg.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <system_error>

#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "desktop/CChannelPanel.h"
#include "desktop/Channels.h"
#include "desktop/CCommandPanel.h"
#include "desktop/CGraphMultiDataSetsDlg.h"
#include "desktop/CGraphPanel.h"
#include "desktop/CStatusLines.h"
#include "desktop/NotYet.h"
#include "desktop/ScreenPlacement.h"

namespace corvane {

namespace {

constexpr int kComparePositionX = 400;
constexpr int kComparePositionY = 200;

Rgb rgbOf(int value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>((value >> 8) & 0xFF),
            static_cast<std::uint8_t>((value >> 16) & 0xFF)};
}

std::array<Rgb, 4> rgbsOf(const std::array<int, 4>& colours) {
    std::array<Rgb, 4> result;
    for (std::size_t k = 0; k < colours.size(); ++k) result[k] = rgbOf(colours[k]);
    return result;
}

CMainDlg::Seams compareSeams(CMainDlg::Seams seams) {
    // A window without instruments: nothing to connect, no INTRO page.
    seams.bridge = nullptr;
    seams.captionSuffix.clear();
    seams.autoFirstShow = false;
    return seams;
}

void placeCompareWindow(const QWidget& owner, QWidget& window) {
    // At its place where the screen has room for it; on a smaller screen
    // pulled back (and shrunk) so its title bar and buttons stay reachable.
    // Its frame is taken to be its owner's, which the system has drawn.
    const QRect outer = owner.frameGeometry();
    const QRect inner = owner.geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const QPoint wanted(kComparePositionX, kComparePositionY);
    QScreen* screen = QGuiApplication::screenAt(wanted);
    if (screen == nullptr) screen = owner.screen();
    const QRect free = screen != nullptr ? screen->availableGeometry() : QRect();
    const QSize size = window.size().grownBy(frame);
    const ScreenRect placed = placeOnScreen({wanted.x(), wanted.y(), size.width(), size.height()},
                                            {free.x(), free.y(), free.width(), free.height()});
    const QSize inside = QSize(placed.width, placed.height).shrunkBy(frame);
    if (inside != window.size()) {
        window.resize(inside.expandedTo(window.minimumSizeHint()));
    }
    window.move(placed.x, placed.y);
}

void showAgainAt(QWidget& window, QRect at) {
    // A window manager may place a window shown again anywhere: it goes
    // back where the user had it. The native window is told outright, as
    // the widget believes it is still there.
    if (QWindow* native = window.windowHandle()) {
        native->setPosition(at.topLeft());
    } else {
        window.move(at.topLeft());
    }
    window.show();
}

}  // namespace

// --- The main window's commands ---

void CMainDlg::compareDataSets() {
    const QRect at = geometry();
    hide();
    CGraphMultiDataSetsDlg dialog(seams_.prompter, folders_,
                                  {{}, logic_->prefs().multiDataType(), logic_->prefs().multiColours()}, nullptr);
    if (dialog.exec() != QDialog::Accepted) {
        showAgainAt(*this, at);
        return;
    }
    const auto choice = dialog.choice();
    logic_->prefs().saveMultiDataSets(choice.colours, choice.plotType);
    (void)openCompare(choice.files, choice.plotType, choice.colours);
}

bool CMainDlg::openCompare(const std::vector<std::string>& files, int plotType, const std::array<int, 4>& colours) {
    const QRect at = geometry();
    hide();
    if (compareWindow_) {
        // One compare window at a time: a new command replaces it.
        compareWindow_->disconnect(this);
        compareWindow_->hide();
        compareWindow_->deleteLater();
        compareWindow_.clear();
    }
    CCompareDlg::Setup setup;
    if (const auto message = setup.sets.load({files.begin(), files.end()}); !message.empty()) {
        seams_.prompter.message(message);
        showAgainAt(*this, at);
        return false;
    }
    setup.plotType = plotType;
    setup.colours = colours;
    setup.view = logic_->view().settings();
    setup.xAxis = logic_->view().xAxisType();
    compareWindow_ = new CCompareDlg(seams_, std::move(setup));
    connect(compareWindow_, &CCompareDlg::compareClosed, this, [this, at] {
        showAgainAt(*this, at);
        raise();
        activateWindow();
    });
    placeCompareWindow(*this, *compareWindow_);
    compareWindow_->show();
    compareWindow_->raise();
    compareWindow_->activateWindow();
    return true;
}

CCompareDlg* CMainDlg::compareWindow() const { return compareWindow_; }

void CMainDlg::exportDataSets() {
    // The main window holds no sets of its own: they live in the compare window.
    seams_.prompter.message("Error, no data files available for export.");
}

// --- The compare window ---

CCompareDlg::CCompareDlg(const CMainDlg::Seams& seams, Setup setup)
    : CMainDlg(compareSeams(seams)),
      sets_(std::move(setup.sets)),
      plotType_(setup.plotType),
      colours_(setup.colours) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The instrument's panels give way to the compare panels.
    channels_->hide();
    statusLines_->hide();
    commands_->hide();
    for (const char* caption : {"OVERLAY GRAPH", "SET STANDARD RUN"}) {
        if (QPushButton* button = graphPanel_->commandButton(QString::fromLatin1(caption))) {
            button->hide();
        }
    }
    auto* left = static_cast<QVBoxLayout*>(channels_->parentWidget()->layout());
    left->insertWidget(0, makeFilePanel());
    auto* right = new QWidget(commands_->parentWidget());
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(makeOffsetPanel());
    rightLayout->addWidget(makeEventMarkPanel());
    // SAVE WINDOW and SAVE GRAPH as on the command panel it replaces; the
    // page carries the compare legend.
    auto* saving = new QHBoxLayout;
    auto* saveWindowButton = new QPushButton(QStringLiteral("SAVE WINDOW"), right);
    auto* saveGraphButton = new QPushButton(QStringLiteral("SAVE GRAPH"), right);
    connect(saveWindowButton, &QPushButton::clicked, this, &CMainDlg::saveWindow);
    connect(saveGraphButton, &QPushButton::clicked, this, &CMainDlg::saveGraphImage);
    saving->addWidget(saveWindowButton);
    saving->addWidget(saveGraphButton);
    rightLayout->addLayout(saving);
    rightLayout->addStretch(1);
    right->setFixedWidth(246);
    commands_->parentWidget()->layout()->addWidget(right);

    GraphView& view = logic().view();
    ViewSettings settings = setup.view;
    settings.shown.fill(false);
    settings.shown[static_cast<std::size_t>(std::clamp(plotType_, 0, kPlotTypeCount - 1))] = true;
    view.apply(settings);
    view.setXAxisType(setup.xAxis);
    view.setCompareSets(&sets_, plotType_, rgbsOf(colours_));
    setUp(std::nullopt);
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
        const Rgb c = rgbOf(colours_[static_cast<std::size_t>(k)]);
        auto* value = new QLabel(QStringLiteral("Value"), row);
        value->setMinimumWidth(64);
        value->setStyleSheet(QStringLiteral("color: %1;").arg(QColor(c.r, c.g, c.b).name()));
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

void CCompareDlg::setUp(std::optional<AxisRange> keepX) {
    GraphView& view = logic().view();
    // A read-out of the mouse names sets that may be gone.
    statusBar()->clearMessage();
    files_->clear();
    for (const auto& line : sets_.listLines()) {
        files_->addItem(qs(line));
    }
    channel_->setText(qs(compareChannelLabel(view.settings().shown, sets_.de1())));
    for (std::size_t k = 0; k < kMaxSets; ++k) {
        const bool used = k < sets_.size();
        offsetRows_[k]->setVisible(used);
        markRows_[k]->setVisible(used);
        eventMarkButton(static_cast<int>(k), used && sets_[k].eventMarks)->setChecked(true);
    }
    const AxisRange x = keepX ? *keepX : view.compareXRange(false);
    view.showXRange(x);
    view.refresh();
    updateAll();
}

void CCompareDlg::viewUpdated() {
    // After an AUTO-ALIGN or a drag the readouts follow the offsets; with a
    // main cursor each set's value at it.
    const GraphView& view = logic().view();
    const auto cursor = logic().cursors().mainPosition();
    for (int k = 0; k < kMaxSets && offsets_[static_cast<std::size_t>(k)] != nullptr; ++k) {
        offsets_[static_cast<std::size_t>(k)]->setText(qs(formatText("%.0f", view.offsets().xOffset(k))));
        const auto sample = cursor ? view.compareSampleAt(k, *cursor) : std::nullopt;
        values_[static_cast<std::size_t>(k)]->setText(
            sample ? qs(formatText("%.6f", channelValue(plotType_, *sample))) : QStringLiteral("Value"));
    }
}

void CCompareDlg::stepOffset(int set, bool up) {
    CompareOffsets& offsets = logic().view().offsets();
    (void)offsets.setXOffset(set, offsets.xOffset(set) + (up ? kOffsetStep : -kOffsetStep));
    logic().view().refresh();
    viewUpdated();
}

void CCompareDlg::resetOffset(int set) {
    (void)logic().view().offsets().setXOffset(set, 0.0);
    logic().view().refresh();
    viewUpdated();
}

void CCompareDlg::setEventMarks(int set, bool on) {
    sets_.setEventMarks(static_cast<std::size_t>(set), on);
    eventMarkButton(set, on)->setChecked(true);
    logic().view().refresh();
}

void CCompareDlg::addFiles() {
    std::vector<std::string> shown;
    for (const auto& path : sets_.paths()) shown.push_back(path.string());
    CGraphMultiDataSetsDlg dialog(seams().prompter, folders(), {shown, plotType_, colours_}, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const auto choice = dialog.choice();
    takeFiles({choice.files.begin(), choice.files.end()}, choice.plotType, choice.colours);
}

void CCompareDlg::takeFiles(const std::vector<std::filesystem::path>& files, int plotType,
                            const std::array<int, 4>& colours) {
    const auto before = sets_.paths();
    // The sets shown stay when a file cannot be read, rather than leaving
    // an empty window.
    if (const auto message = sets_.loadNumbered(files); !message.empty()) {
        seams().prompter.message(message);
        return;
    }
    GraphView& view = logic().view();
    const AxisRange shownX = view.xRange();
    const CompareOffsets old = view.offsets();
    sets_.carryPlacements(before, old, view.offsets());
    plotType_ = std::clamp(plotType, 0, kPlotTypeCount - 1);
    colours_ = colours;
    ViewSettings settings = view.settings();
    settings.shown.fill(false);
    settings.shown[static_cast<std::size_t>(plotType_)] = true;
    const XAxisType axis = view.xAxisType();
    view.apply(settings);
    view.setXAxisType(axis);
    view.setCompareSets(&sets_, plotType_, rgbsOf(colours_));
    setUp(shownX);
}

void CCompareDlg::removeFiles() {
    std::vector<std::size_t> selected;
    for (int i = 0; i < files_->count(); ++i) {
        if (files_->item(i)->isSelected()) selected.push_back(static_cast<std::size_t>(i));
    }
    if (const auto message = sets_.remove(selected, logic().view().offsets()); !message.empty()) {
        seams().prompter.message(message);
        return;
    }
    setUp(std::nullopt);
}

void CCompareDlg::exportDataSets() {
    if (sets_.empty()) {
        seams().prompter.message("Error, no data files available for export.");
        return;
    }
    // The Export folder, made first when missing; the program's current
    // folder stays where it is.
    const auto folder = std::filesystem::absolute(UserStore(seams().startupFolder).exportFolder());
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    FileDialogRequest request;
    request.title = "Save As";
    request.filter = kCompareFileFilter;
    request.defaultExtension = "csv";
    request.initialFolder = folder.string();
    const auto chosen = seams().prompter.saveFile(request);
    if (!chosen) {
        return;
    }
    // The save dialog has asked before replacing a file, but never over a
    // run being compared: the export would take its place.
    for (const auto& run : sets_.paths()) {
        if (std::error_code same; std::filesystem::equivalent(*chosen, run, same)) {
            seams().prompter.message(formatText("Error, unable to write to file: %s (it is one of the runs "
                                                "being compared)",
                                                chosen->c_str()));
            return;
        }
    }
    const auto result = exportToFile(*chosen, sets_.exportSets(logic().view().offsets()), ExistingTarget::Replace);
    seams().prompter.message(exportResultMessage(result, *chosen));
}

void CCompareDlg::closeEvent(QCloseEvent* event) {
    // Back to the main window, without the exit question.
    event->accept();
    emit compareClosed();
}

}  // namespace corvane
