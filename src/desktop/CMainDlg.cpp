#include "desktop/CMainDlg.h"

#include <QAction>
#include <algorithm>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Prompter.h"
#include "app/Version.h"
#include "graph/CGraphCtrl.h"
#include "link/CCMD0DebugDlg.h"
#include "link/CCMD1DebugDlg.h"
#include "link/CCMD2DebugDlg.h"
#include "link/PacketDebugLink.h"
#include "link/UvLink.h"
#include "link/SerialPortApi.h"
#include "recording/AcquisitionSession.h"
#include "recording/DeviceJobs.h"
#include "runs/Em1RunWriter.h"
#include "desktop/QtConnectionDriver.h"
#include "recording/RecordingController.h"
#include "base/TextFormat.h"
#include "setup/CCheckListDlg.h"
#include "setup/CIntroDlg.h"
#include "link/CSerportTroubleShootingDlg.h"

namespace corvane {

namespace {

// The standard size of the window.
constexpr int kStandardWidth = 1089;
constexpr int kStandardHeight = 785;
// A queued close request comes back this soon while the receive thread ends
// (it notices the stop within one 100 ms turn); a short pause rather than a
// busy loop of posts.
constexpr int kCloseRetryMs = 10;

constexpr std::array<const char*, 8> kAufsCaptions = {"0.01", "0.02", "0.05", "0.10",
                                                      "0.20", "0.50", "1.0",  "2.0"};

QString qs(const std::string& text) { return QString::fromStdString(text); }

QString notYet(const char* feature) {
    return QStringLiteral("Not available in this version yet: it comes with %1.").arg(QLatin1String(feature));
}

// Disables a control whose feature this program does not have yet and says why.
void markNotYet(QWidget* widget, const char* feature) {
    widget->setEnabled(false);
    widget->setToolTip(notYet(feature));
}

void markNotYet(QAction* action, const char* feature) {
    action->setEnabled(false);
    action->setToolTip(notYet(feature));
}

// The plot as the window's logic drives it.
class GraphCtrlLiveGraph : public LiveGraph {
public:
    explicit GraphCtrlLiveGraph(CGraphCtrl& graph) : graph_(graph) {}
    void edit(const std::function<void(GraphModel&)>& f) override { graph_.edit(f); }
    void redraw() override { graph_.redraw(); }
    void redrawAll() override { graph_.redrawAll(); }

private:
    CGraphCtrl& graph_;
};

// The short line beside a channel switch in its trace's colour.
class LegendLine : public QWidget {
public:
    LegendLine(QColor colour, QWidget* parent) : QWidget(parent), colour_(colour) {
        setFixedSize(22, 12);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setPen(QPen(colour_, 1));
        const int y = height() / 2;
        painter.drawLine(2, y, width() - 3, y);
    }

private:
    QColor colour_;
};

}  // namespace

// An axis box with its spin (two small arrow buttons).
struct CMainDlg::AxisControl {
    QWidget* container = nullptr;
    QLineEdit* edit = nullptr;
};

CMainDlg::CMainDlg(Seams seams, QWidget* parent)
    : QMainWindow(parent),
      seams_(std::move(seams)),
      folders_(seams_.startupFolder, seams_.prompter),
      poster_(*this, [this](UserMsg msg, std::int64_t a, std::int64_t b, const std::any& payload) {
          handleMessage(msg, a, b, payload);
      }) {
    graph_ = new CGraphCtrl(seams_.clock, this);
    liveGraph_ = std::make_unique<GraphCtrlLiveGraph>(*graph_);
    logic_ = std::make_unique<MainWindowLogic>(MainWindowLogic::Env{
        seams_.startupFolder, seams_.prompter, folders_, seams_.clock, poster_, *liveGraph_});
    logic_->setCaptionSuffix(seams_.captionSuffix);
    setWindowTitle(qs(logic_->caption()));
    jobs_ = std::make_unique<DeviceJobs>([this] {
        QMetaObject::invokeMethod(this, [this] { jobEnded(); }, Qt::QueuedConnection);
    });

    buildMenu();
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(8, 6, 8, 6);
    columns->setSpacing(8);
    columns->addWidget(buildChannelPanel());
    columns->addWidget(buildGraphPanel(), 1);
    columns->addWidget(buildCommandPanel());
    setCentralWidget(central);
    resize(kStandardWidth, kStandardHeight);

    qApp->installEventFilter(this);
    updateAll();
}

CMainDlg::~CMainDlg() {
    qApp->removeEventFilter(this);
    destroyModeless();
    // A job still running must end before what it uses goes: a warm-up or a
    // meniscus search ends at once, a link wait once the link is stopped.
    if (driver_ != nullptr) {
        driver_->abort();
    }
    if (ownRecording_ != nullptr) {
        ownRecording_->autoScan().requestAbort();
    }
    if (jobs_->busy() && ownSession_ != nullptr) {
        ownSession_->stopLink();
    }
    jobs_.reset();
    logic_->bindRecording(nullptr);
    logic_->bindSession(nullptr);
    queuedRecording_.reset();
    queuedSession_.reset();
    // The controller lets go of the samples before the session (and with it
    // the receive thread) goes.
    ownRecording_.reset();
    ownSession_.reset();
}

// --- Building the window ---

void CMainDlg::buildMenu() {
    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu_->setToolTipsVisible(true);
    connect(fileMenu_->addAction(QStringLiteral("&Open Data File")), &QAction::triggered, this, [this] {
        logic_->openDataFile();
        updateAll();
    });
    markNotYet(fileMenu_->addAction(QStringLiteral("C&reate Standard Run")), "the standard runs");
    closeData_ = fileMenu_->addAction(QStringLiteral("&Close Data File"));
    connect(closeData_, &QAction::triggered, this, [this] {
        logic_->closeDataFile();
        updateAll();
    });
    markNotYet(fileMenu_->addAction(QStringLiteral("Save &Buffered Data")), "the DE-1 recording");
    saveGraphData_ = fileMenu_->addAction(QStringLiteral("Save &Graph Data As..."));
    connect(saveGraphData_, &QAction::triggered, this, [this] { logic_->saveGraphDataAs(); });
    rescue_ = fileMenu_->addAction(QStringLiteral("&Rescue Lost Data"));
    connect(rescue_, &QAction::triggered, this, [this] {
        logic_->rescueLostData();
        updateMenu();
    });
    fileMenu_->addSeparator();
    markNotYet(fileMenu_->addAction(QStringLiteral("Compare &Data Sets")), "the compare window");
    markNotYet(fileMenu_->addAction(QStringLiteral("&Export Data Sets")), "the compare window");
    fileMenu_->addSeparator();
    markNotYet(fileMenu_->addAction(QStringLiteral("&Scan Setup")), "the setup pages");
    fileMenu_->addSeparator();
    markNotYet(fileMenu_->addAction(QStringLiteral("&Print Graph")), "printing");
    markNotYet(fileMenu_->addAction(QStringLiteral("S&ave Graph Image")), "image saving");
    fileMenu_->addSeparator();
    connect(fileMenu_->addAction(QStringLiteral("E&xit")), &QAction::triggered, this, [this] {
        if (logic_->exitCommand()) {
            close();
        }
    });
    connect(fileMenu_, &QMenu::aboutToShow, this, &CMainDlg::updateMenu);

    auto* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setToolTipsVisible(true);
    markNotYet(view->addAction(QStringLiteral("Add / Remove Cursor(s)")), "the graph cursors");
    markNotYet(view->addAction(QStringLiteral("Graphing Window Size")), "the graph options");

    auto* help = menuBar()->addMenu(QStringLiteral("&Help"));
    connect(help->addAction(QStringLiteral("About Corvane")), &QAction::triggered, this, [this] {
        QMessageBox::about(this, QStringLiteral("About Corvane"),
                           QStringLiteral("Corvane version %1").arg(QLatin1String(kVersionText)));
    });
}

QWidget* CMainDlg::buildChannelPanel() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* channels = new QGroupBox(QStringLiteral("Channels"), panel);
    auto* grid = new QGridLayout(channels);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    for (int c = 0; c < kChannelCount; ++c) {
        auto* box = new QCheckBox(qs(logic_->channelCaption(c)), channels);
        const Rgb rgb = graph_->read([c](const GraphModel& m) { return m.getTraceColour(c); }).value_or(Rgb{});
        auto* legend = new LegendLine(QColor(rgb.r, rgb.g, rgb.b), channels);
        auto* value = new QLabel(channels);
        value->setMinimumWidth(64);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(box, c, 0);
        grid->addWidget(legend, c, 1);
        grid->addWidget(value, c, 2);
        channelBoxes_[static_cast<std::size_t>(c)] = box;
        readouts_[static_cast<std::size_t>(c)] = value;
        connect(box, &QCheckBox::toggled, this, [this, c](bool on) {
            if (logic_->channelShown(c) != on) {
                logic_->setChannelShown(c, on);
                updateChannelControls();
                updateAxisTexts(true);
            }
        });
    }
    recorded_ = new QLabel(channels);
    grid->addWidget(recorded_, kChannelCount, 0, 1, 3);
    layout->addWidget(channels);

    auto* status = new QGroupBox(QStringLiteral("Instrument"), panel);
    auto* lines = new QVBoxLayout(status);
    for (auto& line : status_) {
        line = new QLabel(status);
        line->setWordWrap(true);
        lines->addWidget(line);
    }
    layout->addWidget(status);
    layout->addStretch(1);
    panel->setFixedWidth(236);
    return panel;
}

CMainDlg::AxisControl* CMainDlg::makeAxisControl(AxisBox box, const QString& caption, QWidget* parent) {
    auto control = std::make_unique<AxisControl>();
    control->container = new QWidget(parent);
    auto* row = new QHBoxLayout(control->container);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    row->addWidget(new QLabel(caption, control->container));
    control->edit = new QLineEdit(control->container);
    control->edit->setFixedWidth(90);
    row->addWidget(control->edit);
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    auto* up = new QToolButton(control->container);
    auto* down = new QToolButton(control->container);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    up->setFixedSize(18, 12);
    down->setFixedSize(18, 12);
    arrows->addWidget(up);
    arrows->addWidget(down);
    row->addLayout(arrows);
    QLineEdit* edit = control->edit;
    connect(edit, &QLineEdit::textEdited, this, [this, box](const QString& text) {
        logic_->axisTextEdited(box, text.toStdString());
    });
    const auto spin = [this, box, edit](bool upward) {
        logic_->axisSpin(box, edit->text().toStdString(), upward);
        updateAxisTexts(true);
    };
    connect(up, &QToolButton::clicked, this, [spin] { spin(true); });
    connect(down, &QToolButton::clicked, this, [spin] { spin(false); });
    auto* raw = control.get();
    axes_[static_cast<std::size_t>(box)] = std::move(control);
    return raw;
}

QWidget* CMainDlg::buildGraphPanel() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->addWidget(makeAxisControl(AxisBox::YMax, QStringLiteral("Y-axis Maximum"), panel)->container);
    top->addStretch();
    top->addWidget(makeAxisControl(AxisBox::YYMax, QStringLiteral("YY-axis Maximum"), panel)->container);
    layout->addLayout(top);

    graph_->setParent(panel);
    graph_->setMinimumSize(420, 300);
    graph_->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(graph_, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(makeAxisControl(AxisBox::YMin, QStringLiteral("Y-axis Minimum"), panel)->container);
    bottom->addStretch();
    bottom->addWidget(makeAxisControl(AxisBox::YYMin, QStringLiteral("YY-axis Minimum"), panel)->container);
    layout->addLayout(bottom);

    auto* xRow = new QHBoxLayout;
    xRow->addWidget(new QLabel(QStringLiteral("X-axis type:"), panel));
    xTypeMm_ = new QRadioButton(QStringLiteral("mm"), panel);
    xTypeNumber_ = new QRadioButton(QStringLiteral("number"), panel);
    auto* xGroup = new QButtonGroup(panel);
    xGroup->addButton(xTypeMm_);
    xGroup->addButton(xTypeNumber_);
    xRow->addWidget(xTypeMm_);
    xRow->addWidget(xTypeNumber_);
    connect(xTypeMm_, &QRadioButton::toggled, this, [this](bool on) {
        logic_->setXAxisType(on ? XAxisType::Millimetres : XAxisType::SampleNumber);
        updateAxisTexts(true);
    });
    xRow->addSpacing(18);
    xRow->addWidget(new QLabel(QStringLiteral("Window size"), panel));
    const auto windowBox = [this, panel, xRow](bool mm) {
        auto* edit = new QLineEdit(panel);
        edit->setFixedWidth(62);
        auto* spin = new QSpinBox(panel);
        // Only the arrows of the spin are used: each click doubles or halves the width.
        spin->setRange(-1000000, 1000000);
        spin->setFixedWidth(18);
        spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        spin->setFocusPolicy(Qt::NoFocus);
        xRow->addWidget(edit);
        xRow->addWidget(spin);
        xRow->addWidget(new QLabel(mm ? QStringLiteral("mm") : QStringLiteral("samples"), panel));
        connect(edit, &QLineEdit::editingFinished, this, [this, edit, mm] {
            logic_->windowSizeEdited(mm, edit->text().toStdString());
            updateAxisTexts(true);
        });
        connect(spin, &QSpinBox::valueChanged, this, [this, spin, mm](int value) {
            if (value == 0) {
                return;
            }
            logic_->windowSizeSpin(mm, value > 0);
            const QSignalBlocker block(spin);
            spin->setValue(0);
            updateAxisTexts(true);
        });
        return edit;
    };
    windowMmEdit_ = windowBox(true);
    windowSamplesEdit_ = windowBox(false);
    xRow->addStretch();
    layout->addLayout(xRow);

    auto* switches = new QHBoxLayout;
    grid_ = new QCheckBox(QStringLiteral("Show Grid Lines"), panel);
    yAuto_ = new QCheckBox(QStringLiteral("Y-axis Auto Scale"), panel);
    yyAuto_ = new QCheckBox(QStringLiteral("YY-axis Auto Scale"), panel);
    switches->addWidget(grid_);
    switches->addWidget(yAuto_);
    switches->addWidget(yyAuto_);
    connect(grid_, &QCheckBox::toggled, this, [this](bool on) { logic_->setShowGrid(on); });
    connect(yAuto_, &QCheckBox::toggled, this, [this](bool on) {
        logic_->setYAutoScale(on);
        updateAxisTexts(true);
    });
    connect(yyAuto_, &QCheckBox::toggled, this, [this](bool on) {
        logic_->setYYAutoScale(on);
        updateAxisTexts(true);
    });
    switches->addStretch();
    auto* options = new QPushButton(QStringLiteral("Graph Options"), panel);
    markNotYet(options, "the graph options");
    switches->addWidget(options);
    layout->addLayout(switches);

    auto* overlay = new QGroupBox(QStringLiteral("Overlay and standard run"), panel);
    auto* overlayGrid = new QGridLayout(overlay);
    overlayGrid->setHorizontalSpacing(6);
    overlayGrid->setVerticalSpacing(4);
    const std::array<const char*, 7> overlayButtons = {"OVERLAY GRAPH", "SET STANDARD RUN",
                                                       "AUTO-ALIGN",    "RESET ALIGNMENT",
                                                       "FOCUS",         "RESET",
                                                       "FRAC ADV"};
    int column = 0;
    for (const char* caption : overlayButtons) {
        auto* button = new QPushButton(QLatin1String(caption), overlay);
        markNotYet(button, column == 6 ? "the fraction collection" : "the overlays and standard runs");
        overlayGrid->addWidget(button, column / 3, column % 3);
        ++column;
    }
    auto* profile = new QCheckBox(QStringLiteral("Show Standard Run Profile"), overlay);
    markNotYet(profile, "the overlays and standard runs");
    overlayGrid->addWidget(profile, 2, 1, 1, 2);
    auto* cursorRow = new QHBoxLayout;
    auto* cursorLabel = new QLabel(QStringLiteral("CURSOR / POSITION"), overlay);
    auto* cursorSpin = new QSpinBox(overlay);
    markNotYet(cursorLabel, "the graph cursors");
    markNotYet(cursorSpin, "the graph cursors");
    cursorRow->addWidget(cursorLabel);
    cursorRow->addWidget(cursorSpin);
    cursorRow->addStretch();
    overlayGrid->addLayout(cursorRow, 3, 0, 1, 3);
    layout->addWidget(overlay);
    return panel;
}

QWidget* CMainDlg::buildCommandPanel() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel(QStringLiteral("COM Port"), panel));
    portList_ = new QComboBox(panel);
    portList_->setMinimumWidth(110);
    portRow->addWidget(portList_, 1);
    layout->addLayout(portRow);
    connect(portList_, &QComboBox::activated, this, [this](int index) {
        if (!logic_->choosePort(index)) {
            return;
        }
        if (!logic_->connectIfPossible() && queuedSession_ != nullptr) {
            // A running link moves to the new port too: the recording on the
            // old one is stopped first, as the record button does.
            if (recording_ != nullptr && recording_->isRecording()) {
                queuedRecording_->stopRecording();
            }
            queuedSession_->connect(logic_->comPort(), logic_->baudRate(), logic_->interByteDelayMs());
        }
        updateAll();
    });

    auto* run = new QGroupBox(QStringLiteral("Recording"), panel);
    auto* runLayout = new QVBoxLayout(run);
    runLayout->setSpacing(4);
    const auto bigButton = [run](const QString& caption) {
        auto* button = new QPushButton(caption, run);
        button->setMinimumHeight(27);
        button->setAutoDefault(false);
        return button;
    };
    record_ = bigButton(QStringLiteral("START RECORD (F1)"));
    zero_ = bigButton(QStringLiteral("ZERO (F2)"));
    pause_ = bigButton(QStringLiteral("PAUSE (F3)"));
    refresh_ = bigButton(QStringLiteral("REFRESH (F4)"));
    runLayout->addWidget(record_);
    runLayout->addWidget(zero_);
    auto* note = new QLabel(QStringLiteral("non-EM1 uses only"), run);
    note->setAlignment(Qt::AlignHCenter);
    runLayout->addWidget(note);
    runLayout->addWidget(pause_);
    runLayout->addWidget(refresh_);
    connect(record_, &QPushButton::clicked, this, [this] {
        logic_->startStop();
        updateCommands();
    });
    connect(zero_, &QPushButton::clicked, this, [this] {
        logic_->zero();
        updateCommands();
    });
    connect(pause_, &QPushButton::clicked, this, [this] {
        logic_->pauseResume();
        updateCommands();
    });
    connect(refresh_, &QPushButton::clicked, this, [this] {
        logic_->refresh();
        updateReadouts();
        updateCommands();
    });
    upperLimit_ = bigButton(QStringLiteral("GO TO UPPER LIMIT"));
    runLayout->addWidget(upperLimit_);
    connect(upperLimit_, &QPushButton::clicked, this, [this] {
        logic_->goToUpperLimit();
        updateCommands();
    });
    auto* userPage = bigButton(QStringLiteral("Go to User Page"));
    auto* scanSetup = bigButton(QStringLiteral("Open Scan Setup (F6)"));
    auto* newRun = bigButton(QStringLiteral("NEW RUN?"));
    markNotYet(userPage, "the setup pages");
    markNotYet(scanSetup, "the setup pages");
    markNotYet(newRun, "the setup pages");
    runLayout->addWidget(userPage);
    runLayout->addWidget(scanSetup);
    runLayout->addWidget(newRun);
    layout->addWidget(run);

    auto* aufs = new QGroupBox(QStringLiteral("Absorbance Units Full Scale (AUFS)"), panel);
    auto* aufsGrid = new QGridLayout(aufs);
    aufsGrid->setVerticalSpacing(2);
    auto* aufsGroup = new QButtonGroup(aufs);
    for (int step = 0; step < 8; ++step) {
        auto* radio = new QRadioButton(QLatin1String(kAufsCaptions[static_cast<std::size_t>(step)]), aufs);
        aufsGroup->addButton(radio, step);
        aufsGrid->addWidget(radio, step / 4, step % 4);
        aufs_[static_cast<std::size_t>(step)] = radio;
    }
    aufsLabel_ = new QLabel(aufs);
    aufsLabel_->setAlignment(Qt::AlignHCenter);
    QFont aufsFont = aufsLabel_->font();
    aufsFont.setBold(true);
    aufsLabel_->setFont(aufsFont);
    aufsGrid->addWidget(aufsLabel_, 2, 0, 1, 4);
    connect(aufsGroup, &QButtonGroup::idClicked, this, [this](int step) {
        logic_->setAufs(step);
        aufsLabel_->setText(qs(logic_->aufsLabel()));
        updateAxisTexts(true);
    });
    layout->addWidget(aufs);

    auto* marks = new QGroupBox(QStringLiteral("Event marks"), panel);
    auto* marksLayout = new QVBoxLayout(marks);
    marksLayout->setSpacing(2);
    marksShown_ = new QRadioButton(QStringLiteral("Show Event Marks"), marks);
    marksHidden_ = new QRadioButton(QStringLiteral("Do Not Show Event Marks"), marks);
    marksLayout->addWidget(marksShown_);
    marksLayout->addWidget(marksHidden_);
    connect(marksShown_, &QRadioButton::toggled, this, [this](bool on) {
        if (logic_->eventMarksShown() != on) {
            logic_->setEventMarksShown(on);
        }
    });
    layout->addWidget(marks);

    auto* saving = new QHBoxLayout;
    auto* saveWindow = new QPushButton(QStringLiteral("SAVE WINDOW"), panel);
    auto* saveGraph = new QPushButton(QStringLiteral("SAVE GRAPH"), panel);
    markNotYet(saveWindow, "image saving");
    markNotYet(saveGraph, "image saving");
    saving->addWidget(saveWindow);
    saving->addWidget(saveGraph);
    layout->addLayout(saving);
    layout->addStretch(1);
    panel->setFixedWidth(246);
    return panel;
}

// --- Binding ---

void CMainDlg::bindRecording(RecordingCommands* recording) {
    auto queued = recording != nullptr ? std::make_unique<QueuedRecording>(*recording, *jobs_) : nullptr;
    logic_->bindRecording(queued.get());
    recording_ = recording;
    queuedRecording_ = std::move(queued);
    updateCommands();
}

void CMainDlg::bindSession(InstrumentSession* session) {
    auto queued = session != nullptr ? std::make_unique<QueuedSession>(*session, *jobs_) : nullptr;
    logic_->bindSession(queued.get());
    session_ = session;
    queuedSession_ = std::move(queued);
    updateAll();
}

bool CMainDlg::deviceBusy() const { return jobs_->busy(); }

void CMainDlg::attachInstruments() {
    if (ownSession_ != nullptr || seams_.bridge == nullptr) {
        return;
    }
    ownSession_ = std::make_unique<AcquisitionSession>(
        SessionSeams{seams_.ports, *seams_.bridge, seams_.clock, seams_.prompter, poster_, nullptr},
        seams_.startupFolder);
    driver_ = std::make_unique<QtConnectionDriver>(this, [this]() -> std::optional<IntroChoice> {
        auto name = runIntroPage(true);
        if (!name) {
            return std::nullopt;
        }
        return IntroChoice{std::move(*name), 0};
    });
    ownSession_->setDriver(driver_.get());
    ownSession_->setDisplay(this);
    ownSession_->setIntroPending(!introShown_);
    ownRecording_ = std::make_unique<RecordingController>(
        RecordingEnv{seams_.startupFolder, seams_.prompter, folders_, seams_.clock, *this, *ownSession_});
    bindSession(ownSession_.get());
    bindRecording(ownRecording_.get());
}

void CMainDlg::jobEnded() {
    updateCommands();
    updateReadouts();
    updateStatus();
    setWindowTitle(qs(logic_->caption()));
    if (closePending_) {
        close();
        return;
    }
    showIntroIfDue();
}

void CMainDlg::showIntroIfDue() {
    // The connection shows the INTRO page itself once the unit answers; when
    // it ended without (no unit, skipped), the page comes now.
    if (ownSession_ != nullptr && firstShowDone_ && !introShown_ && !closeStarted_ && !jobs_->busy()) {
        (void)runIntroPage(false);
    }
}

// --- RunDisplay ---

void CMainDlg::clearTraces() {
    logic_->clearTraces();
    poster_.post(UserMsg::Readouts);
}

void CMainDlg::addSample(const SampleRecord& record) { logic_->onSample(record); }

void CMainDlg::redraw() { graph_->redraw(); }

void CMainDlg::setDe1Span(double mm) {
    QMetaObject::invokeMethod(
        this,
        [this, mm] {
            logic_->windowSizeEdited(true, formatText("%.2f", mm));
            updateAxisTexts(true);
        },
        Qt::QueuedConnection);
}

void CMainDlg::showStreamedPosition() {
    // In its running modes the unit streams CMD2 and the last CMD0 shows the
    // piston where it stood before: the position line follows the stream.
    // Only the window's thread and connection jobs replace the link.
    if (ownSession_ == nullptr || queuedSession_ == nullptr || queuedSession_->connecting()) {
        return;
    }
    const UvLink* link = ownSession_->link();
    if (link == nullptr || !link->ShortPacketMode()) {
        return;
    }
    if (const auto packet = link->lastCmd2()) {
        logic_->showPositionAndSpeed(static_cast<std::int16_t>(packet->uiPistonPos) * 0.01,
                                     packet->iPistonSpeed * 0.1);
    }
}

void CMainDlg::showPositionAndSpeed(double positionMm, double speedMmPerS) {
    logic_->showPositionAndSpeed(positionMm, speedMmPerS);
    poster_.post(UserMsg::Readouts);
}

// --- Keeping the controls up to date ---

void CMainDlg::updateAll() {
    setWindowTitle(qs(logic_->caption()));
    updateChannelControls();
    updateReadouts();
    updateAxisTexts(true);
    updateStatus();
    updateCommands();
    updateMenu();
    {
        const QSignalBlocker blockMm(xTypeMm_);
        const QSignalBlocker blockNumber(xTypeNumber_);
        const bool mm = logic_->xAxisType() == XAxisType::Millimetres;
        xTypeMm_->setChecked(mm);
        xTypeNumber_->setChecked(!mm);
    }
    {
        const QSignalBlocker b1(yAuto_);
        const QSignalBlocker b2(yyAuto_);
        const QSignalBlocker b3(grid_);
        yAuto_->setChecked(logic_->yAutoScale());
        yyAuto_->setChecked(logic_->yyAutoScale());
        grid_->setChecked(logic_->showGrid());
    }
    const int step = logic_->aufsIndex();
    aufs_[static_cast<std::size_t>(step)]->setChecked(true);
    aufsLabel_->setText(qs(logic_->aufsLabel()));
    {
        const QSignalBlocker b1(marksShown_);
        const QSignalBlocker b2(marksHidden_);
        marksShown_->setChecked(logic_->eventMarksShown());
        marksHidden_->setChecked(!logic_->eventMarksShown());
    }
    fillPortList();
}

void CMainDlg::fillPortList() {
    const QSignalBlocker block(portList_);
    portList_->clear();
    const auto entries = logic_->portEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int port = logic_->ports()[i];
        portList_->addItem(qs(entries[i]));
        const std::string device = seams_.ports.describe(port);
        if (!device.empty()) {
            portList_->setItemData(static_cast<int>(i), qs(device), Qt::ToolTipRole);
        }
    }
    portList_->setCurrentIndex(logic_->portSelection());
}

void CMainDlg::updateChannelControls() {
    for (int c = 0; c < kChannelCount; ++c) {
        auto* box = channelBoxes_[static_cast<std::size_t>(c)];
        const QSignalBlocker block(box);
        const bool shown = logic_->channelShown(c);
        box->setText(qs(logic_->channelCaption(c)));
        box->setChecked(shown);
        // A hidden trace hides its readout too.
        readouts_[static_cast<std::size_t>(c)]->setVisible(shown);
    }
    const bool y = logic_->yControlsVisible();
    const bool yy = logic_->yyControlsVisible();
    axes_[static_cast<std::size_t>(AxisBox::YMax)]->container->setVisible(y);
    axes_[static_cast<std::size_t>(AxisBox::YMin)]->container->setVisible(y);
    yAuto_->setVisible(y);
    axes_[static_cast<std::size_t>(AxisBox::YYMax)]->container->setVisible(yy);
    axes_[static_cast<std::size_t>(AxisBox::YYMin)]->container->setVisible(yy);
    yyAuto_->setVisible(yy);
}

void CMainDlg::updateReadouts() {
    const auto texts = logic_->readoutTexts();
    for (int c = 0; c < kChannelCount; ++c) {
        readouts_[static_cast<std::size_t>(c)]->setText(qs(texts[static_cast<std::size_t>(c)]));
    }
    recorded_->setText(qs(logic_->recordedText()));
}

void CMainDlg::updateAxisTexts(bool includeFocused) {
    const auto texts = logic_->axisTexts();
    const auto set = [includeFocused](QLineEdit* edit, const std::string& text) {
        // Never rewrite a box under the operator's fingers while a run
        // refreshes the display.
        if (includeFocused || !edit->hasFocus()) {
            edit->setText(qs(text));
        }
    };
    set(axes_[static_cast<std::size_t>(AxisBox::YMax)]->edit, texts.yMax);
    set(axes_[static_cast<std::size_t>(AxisBox::YMin)]->edit, texts.yMin);
    set(axes_[static_cast<std::size_t>(AxisBox::YYMax)]->edit, texts.yyMax);
    set(axes_[static_cast<std::size_t>(AxisBox::YYMin)]->edit, texts.yyMin);
    set(windowMmEdit_, texts.windowMm);
    set(windowSamplesEdit_, texts.windowSamples);
    // An auto-scaled axis is not typed into.
    const bool yTyped = !logic_->yAutoScale();
    const bool yyTyped = !logic_->yyAutoScale();
    axes_[static_cast<std::size_t>(AxisBox::YMax)]->container->setEnabled(yTyped);
    axes_[static_cast<std::size_t>(AxisBox::YMin)]->container->setEnabled(yTyped);
    axes_[static_cast<std::size_t>(AxisBox::YYMax)]->container->setEnabled(yyTyped);
    axes_[static_cast<std::size_t>(AxisBox::YYMin)]->container->setEnabled(yyTyped);
}

void CMainDlg::updateStatus() {
    const auto texts = logic_->statusTexts();
    const std::array<std::string, 5> lines = {texts.positionSpeed, texts.upperLimit, texts.samplingRate,
                                              texts.dutyCycle, texts.potValue};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        status_[i]->setText(qs(lines[i]));
        status_[i]->setVisible(!lines[i].empty());
    }
}

void CMainDlg::updateCommands() {
    const bool bound = logic_->recordingBound();
    // While the unit is being commanded, nothing else may command it.
    const bool idle = !jobs_->busy();
    record_->setText(qs(logic_->recordCaption()));
    pause_->setText(qs(logic_->pauseCaption()));
    for (auto* button : {record_, zero_, upperLimit_}) {
        button->setEnabled(bound && idle);
        button->setToolTip(bound ? QString() : notYet("the recording controller"));
    }
    pause_->setEnabled(bound && idle && logic_->pauseEnabled());
    pause_->setToolTip(bound ? QString() : notYet("the recording controller"));
    refresh_->setEnabled(!bound || idle);
    portList_->setEnabled(idle);
}

void CMainDlg::updateMenu() {
    closeData_->setText(qs(logic_->closeDataMenuText()));
    closeData_->setEnabled(logic_->openDataSets() > 0);
    saveGraphData_->setEnabled(true);
    rescue_->setEnabled(logic_->lostDataPresent());
}

QLineEdit* CMainDlg::axisEdit(AxisBox box) const { return axes_[static_cast<std::size_t>(box)]->edit; }

QAction* CMainDlg::action(const QString& text) const {
    for (QAction* menu : menuBar()->actions()) {
        if (menu->menu() == nullptr) {
            continue;
        }
        for (QAction* entry : menu->menu()->actions()) {
            if (entry->text() == text) {
                return entry;
            }
        }
    }
    return nullptr;
}

QLabel* CMainDlg::statusLine(int index) const {
    return index >= 0 && index < static_cast<int>(status_.size()) ? status_[static_cast<std::size_t>(index)]
                                                                  : nullptr;
}

CCheckListDlg* CMainDlg::checklist() const { return checklist_.data(); }

CPacketDebugDlg* CMainDlg::debugWindow(int kind) const {
    return kind >= 0 && kind < 3 ? debug_[static_cast<std::size_t>(kind)].data() : nullptr;
}

// --- First show ---

void CMainDlg::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShowDone_ && seams_.autoFirstShow) {
        firstShowDone_ = true;
        // After the window has painted, so its dialogs come up over it.
        QTimer::singleShot(0, this, &CMainDlg::firstShow);
    }
}

void CMainDlg::firstShow() {
    firstShowDone_ = true;
    setWindowTitle(qs(logic_->caption()));
    for (auto* line : status_) {
        line->clear();
        line->hide();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<int> ports = seams_.ports.enumerate();
    QApplication::restoreOverrideCursor();
    while (ports.empty()) {
        CSerportTroubleShootingDlg help(logic_->comPort(), this);
        if (help.exec() != CSerportTroubleShootingDlg::kTryAgain) {
            break;
        }
        ports = seams_.ports.enumerate();
    }
    logic_->setPorts(std::move(ports));
    logic_->loadPreferences();
    if (!logic_->connectIfPossible()) {
        const std::string missing = logic_->missingPortMessage();
        if (!missing.empty()) {
            seams_.prompter.message(missing);
        }
    }
    logic_->refreshGraph();
    updateAll();
    if (!logic_->sessionBound()) {
        // Nothing connects, so nothing else brings up the INTRO page.
        (void)runIntroPage(false);
        return;
    }
    showIntroIfDue();
}

std::optional<std::string> CMainDlg::runIntroPage(bool instrumentFound) {
    introShown_ = true;
    if (ownSession_ != nullptr) {
        ownSession_->setIntroPending(false);
    }
    CIntroDlg intro(seams_.startupFolder, seams_.prompter, instrumentFound, this);
    bool exit = false;
    connect(&intro, &CIntroDlg::exitRequested, this, [&exit] { exit = true; });
    hide();
    const int result = intro.exec();
    if (exit || result != QDialog::Accepted) {
        // The page has asked "Are you sure you wish to exit?" already.
        if (logic_->sessionBound()) {
            logic_->setExitConfirmed();
        } else {
            logic_->setCloseWithoutQuestion(true);
        }
        QTimer::singleShot(0, this, &CMainDlg::close);
        return std::nullopt;
    }
    show();
    return intro.page().userName();
}

// --- Modeless windows ---

void CMainDlg::openChecklist(bool detailed) {
    const auto file = logic_->checklistFile(detailed);
    if (!file) {
        return;
    }
    if (checklist_ == nullptr) {
        checklist_ = new CCheckListDlg(seams_.startupFolder, seams_.prompter, this);
        connect(checklist_, &QDialog::finished, this, [this] { logic_->setChecklistOpen(false); });
    }
    checklist_->setDetailed(detailed);
    checklist_->show();
    checklist_->raise();
    logic_->setChecklistOpen(true);
}

void CMainDlg::openDebugWindows() {
    PacketDebugLink* link = session_ != nullptr ? session_->packetDebugLink() : nullptr;
    if (link == nullptr) {
        return;
    }
    if (debug_[0] == nullptr) {
        debug_[0] = new CCMD0DebugDlg(seams_.clock, seams_.prompter, this);
        debug_[1] = new CCMD1DebugDlg(seams_.clock, seams_.prompter, this);
        debug_[2] = new CCMD2DebugDlg(seams_.clock, seams_.prompter, this);
        for (auto& window : debug_) {
            connect(window, &QDialog::finished, this, [this] {
                const bool anyOpen = std::any_of(debug_.begin(), debug_.end(),
                                                 [](const auto& w) { return w != nullptr && w->isVisible(); });
                logic_->setDebugDisplayOn(anyOpen);
                setWindowTitle(qs(logic_->caption()));
            });
        }
    }
    CPacketDebugDlg* cmd0 = debug_[0];
    CPacketDebugDlg* cmd1 = debug_[1];
    CPacketDebugDlg* cmd2 = debug_[2];
    link->observePackets([cmd0](const Cmd0& p) { cmd0->received(p); },
                         [cmd1](const Cmd1& p) { cmd1->received(p); },
                         [cmd2](const Cmd2& p) { cmd2->received(p); });
    int offset = 0;
    for (auto& window : debug_) {
        window->setLink(link);
        window->move(pos() + QPoint(40 + offset, 40 + offset));
        window->show();
        offset += 30;
    }
    logic_->setDebugDisplayOn(true);
}

void CMainDlg::destroyModeless() {
    if (debug_[0] != nullptr && session_ != nullptr) {
        if (PacketDebugLink* link = session_->packetDebugLink()) {
            // No packet may reach a window that is going.
            link->observePackets({}, {}, {});
        }
    }
    for (auto& window : debug_) {
        delete window.data();
        window = nullptr;
    }
    delete checklist_.data();
    checklist_ = nullptr;
    logic_->setChecklistOpen(false);
    logic_->setDebugDisplayOn(false);
}

// --- Messages ---

void CMainDlg::handleMessage(UserMsg msg, std::int64_t /*a*/, std::int64_t /*b*/, const std::any& payload) {
    switch (msg) {
        case UserMsg::LinkStats:
            if (const auto* stats = std::any_cast<LinkStats>(&payload)) {
                logic_->onLinkStats(stats->heartbeatsReceived, stats->heartbeatsTransmitted,
                                    stats->upperLimit, stats->lastCmd0);
                showStreamedPosition();
                updateStatus();
                setWindowTitle(qs(logic_->caption()));
            }
            break;
        case UserMsg::RedrawGraph:
            logic_->refreshGraph();
            updateAll();
            break;
        case UserMsg::LinkLost:
            logic_->onLinkLost();
            updateCommands();
            break;
        case UserMsg::Readouts:
            updateReadouts();
            updateCommands();
            if (logic_->yAutoScale() || logic_->yyAutoScale()) {
                updateAxisTexts(false);
            }
            updateStatus();
            setWindowTitle(qs(logic_->caption()));
            break;
        case UserMsg::ReceiveEnded:
            logic_->onReceiveEnded();
            updateStatus();
            break;
        case UserMsg::OpenDetailedChecklist:
            openChecklist(true);
            break;
        case UserMsg::OpenShortChecklist:
            openChecklist(false);
            break;
        case UserMsg::WarmedUp:
        case UserMsg::PageSample:
        case UserMsg::PageRunningSample:
        case UserMsg::OpenCompare:
        case UserMsg::ReleaseModeless:
        case UserMsg::DestroyAuxiliary:
        case UserMsg::RedoOverlay:
        case UserMsg::OpenSetupPages:
            // The windows these open (Scan Setup, compare, overlay, setup
            // pages) are not part of this program yet.
            break;
    }
}

// --- Keys ---

std::optional<WindowKey> CMainDlg::windowKey(const QKeyEvent& key) const {
    const bool ctrl = key.modifiers().testFlag(Qt::ControlModifier);
    switch (key.key()) {
        case Qt::Key_F1: return WindowKey::F1;
        case Qt::Key_F2: return WindowKey::F2;
        case Qt::Key_F3: return WindowKey::F3;
        case Qt::Key_F4: return WindowKey::F4;
        case Qt::Key_F5: return WindowKey::F5;
        case Qt::Key_F6: return WindowKey::F6;
        case Qt::Key_Left: return WindowKey::Left;
        case Qt::Key_Right: return WindowKey::Right;
        case Qt::Key_Up: return WindowKey::Up;
        case Qt::Key_Down: return WindowKey::Down;
        case Qt::Key_D:
            return ctrl ? std::optional(WindowKey::CtrlD) : std::nullopt;
        case Qt::Key_4:
            return ctrl && key.modifiers().testFlag(Qt::KeypadModifier) ? std::optional(WindowKey::CtrlD)
                                                                         : std::nullopt;
        default: return std::nullopt;
    }
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return QMainWindow::eventFilter(watched, event);
    }
    // Keys of this window and its child controls, before they reach the
    // focused control; the modeless windows handle their own.
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) {
        return QMainWindow::eventFilter(watched, event);
    }
    const auto& keyEvent = static_cast<const QKeyEvent&>(*event);
    const auto key = windowKey(keyEvent);
    if (!key) {
        return QMainWindow::eventFilter(watched, event);
    }
    const bool commandKey = *key == WindowKey::F1 || *key == WindowKey::F2 || *key == WindowKey::F3 ||
                            *key == WindowKey::F4;
    if (commandKey && jobs_->busy() && logic_->recordingBound()) {
        // As the buttons are disabled meanwhile, so are their keys.
        return true;
    }
    switch (logic_->keyDown(*key, keyEvent.isAutoRepeat())) {
        case KeyOutcome::PassOn:
            return QMainWindow::eventFilter(watched, event);
        case KeyOutcome::Handled:
            updateCommands();
            updateReadouts();
            updateAxisTexts(true);
            return true;
        case KeyOutcome::OpenDebugWindows:
            openDebugWindows();
            setWindowTitle(qs(logic_->caption()));
            return true;
        case KeyOutcome::ChecklistUp:
            if (checklist_ != nullptr) {
                checklist_->moveUp();
            }
            return true;
        case KeyOutcome::ChecklistDown:
            if (checklist_ != nullptr) {
                checklist_->moveDown();
            }
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Closing ---

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    if (!closeStarted_) {
        closeStarted_ = true;
        // Nothing long may hold the close up: a warm-up or a meniscus search
        // ends at once.
        if (driver_ != nullptr) {
            driver_->abort();
        }
        if (ownRecording_ != nullptr) {
            ownRecording_->autoScan().requestAbort();
        }
    }
    // Never wait for the worker here: the close comes back when its job ends.
    if (jobs_->busy()) {
        closePending_ = true;
        event->ignore();
        return;
    }
    if (recording_ != nullptr && recording_->isRecording() && !closeStopAsked_) {
        // Stopped as the record button does, its save question included.
        closeStopAsked_ = true;
        closePending_ = true;
        (void)jobs_->submit([recording = recording_] { recording->stopRecording(); });
        updateCommands();
        event->ignore();
        return;
    }
    closePending_ = false;
    // From here on the acquisition object may go: no job may start.
    jobs_->close();
    switch (logic_->closeRequested([this] { destroyModeless(); })) {
        case CloseStep::Stay:
            jobs_->reopen();
            closeStarted_ = false;
            closeStopAsked_ = false;
            if (driver_ != nullptr) {
                driver_->resume();
            }
            updateCommands();
            event->ignore();
            return;
        case CloseStep::RepostClose:
            event->ignore();
            QTimer::singleShot(kCloseRetryMs, this, &CMainDlg::close);
            return;
        case CloseStep::Close:
            break;
    }
    if (!closing_) {
        closing_ = true;
        // The preferences are kept at every close; a missing "prefs.cfg"
        // was reported when it was loaded.
        if (firstShowDone_) {
            logic_->savePreferences();
        }
    }
    event->accept();
}

}  // namespace corvane
