#include "desktop/CMainDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "desktop/CChannelPanel.h"
#include "desktop/CCommandPanel.h"
#include "desktop/CCompareDlg.h"
#include "desktop/CGraphPanel.h"
#include "desktop/CGraphReading.h"
#include "desktop/CAnalysisPanel.h"
#include "desktop/CMainMenu.h"
#include "desktop/CKelvoSetupPages.h"
#include "desktop/CPrintGraphData.h"
#include "desktop/CSetupPages.h"
#include "display/RunSetupCommands.h"
#include "desktop/CStatusLines.h"
#include "desktop/GraphCtrlLiveGraph.h"
#include "display/GraphPageContent.h"
#include "display/LiveGraph.h"
#include "desktop/NotYet.h"
#include "desktop/QtConnectionDriver.h"
#include "display/WindowInstruments.h"
#include "display/WindowSizes.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"
#include "link/CCMD0DebugDlg.h"
#include "link/CCMD1DebugDlg.h"
#include "link/CCMD2DebugDlg.h"
#include "link/CSerportTroubleShootingDlg.h"
#include "link/PacketDebugLink.h"
#include "link/UvLink.h"
#include "recording/AcquisitionSession.h"
#include "recording/RecordingController.h"
#include "setup/CCheckListDlg.h"
#include "setup/CEM1SetupDlg.h"
#include "setup/CSummaryInfoDlg.h"
#include "setup/CIntroDlg.h"

namespace corvane {

namespace {

// A queued close request comes back this soon while the receive thread ends
// (it notices the stop within one 100 ms turn); a short pause rather than a
// busy loop of posts.
constexpr int kCloseRetryMs = 10;

}  // namespace

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
        .startupFolder = seams_.startupFolder,
        .prompter = seams_.prompter,
        .folders = folders_,
        .clock = seams_.clock,
        .window = poster_,
        .graph = *liveGraph_,
        .busy = [this] { return deviceBusy(); },
        .hitTest = [this](PixelPoint p) { return graph_->hitTestTrace(p.x, p.y); },
        .link = [this]() -> LinkHost* { return instruments_->acquisitionSession(); },
        .setTargetPosition =
            [this](double mm) {
                if (RecordingController* controller = recordingController()) {
                    controller->setTargetPosition(mm);
                }
            },
        .kelvoUnit = [this] { return instruments_->kelvoConnected(); },
        .raiseWindow =
            [this] {
                show();
                raise();
                activateWindow();
                updateAll();
            },
        .hideWindow = [this] { hide(); }});
    logic_->status().setCaptionSuffix(seams_.captionSuffix);
    instruments_ = std::make_unique<WindowInstruments>(seams_.prompter, [this] {
        QMetaObject::invokeMethod(this, [this] { jobEnded(); }, Qt::QueuedConnection);
    });
    instruments_->setModelessCloser([this] { destroyModeless(); });
    setWindowTitle(qs(logic_->caption()));

    menu_ = new CMainMenu(*logic_, *this);
    connect(menu_, &CMainMenu::exitRequested, this, &CMainDlg::close);
    connect(menu_, &CMainMenu::compareRequested, this, [this] { compareDataSets(); });
    connect(menu_, &CMainMenu::exportRequested, this, [this] { exportDataSets(); });

    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(8, 6, 8, 6);
    columns->setSpacing(8);
    auto* left = new QWidget(central);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    channels_ = new CChannelPanel(*logic_, *graph_, left);
    statusLines_ = new CStatusLines(left);
    leftLayout->addWidget(channels_);
    leftLayout->addWidget(statusLines_);
    leftLayout->addStretch(1);
    left->setFixedWidth(236);
    graphPanel_ = new CGraphPanel(logic_->graph(), *graph_, central);
    commands_ = new CCommandPanel(
        *logic_, [this](int port) { return seams_.ports.describe(port); },
        [this] { return deviceBusy(); }, central);
    commands_->setFixedWidth(246);
    columns->addWidget(left);
    columns->addWidget(graphPanel_, 1);
    columns->addWidget(commands_);
    setCentralWidget(central);
    resize(kWindowSizes[0].width, kWindowSizes[0].height);

    connectGraphReading();
    connect(graphPanel_, &CGraphPanel::windowSizeTyped, this,
            [this](bool mm, const QString& text) { logic_->windowSizeEdited(mm, text.toStdString()); });
    connect(graphPanel_, &CGraphPanel::windowSizeStepped, this,
            [this](bool mm, bool up) { logic_->windowSizeSpin(mm, up); });
    // What the graph shows changed: the caption, the AUFS and event-mark
    // switches and the DE-1 summary follow (the panels follow by themselves).
    listening_ = logic_->view().listen([this] {
        setWindowTitle(qs(logic_->caption()));
        commands_->updateDe1Controls();
        updateDe1Summary();
        updateStatus();
    });
    connect(commands_, &CCommandPanel::portChosen, this, &CMainDlg::updateAll);
    connect(commands_, &CCommandPanel::displayChanged, this, [this] {
        updateReadouts();
        graphPanel_->updateAxisTexts(true);
    });

    setupPages_ = new CSetupPages(CSetupPages::Env{
        seams_.startupFolder, seams_.prompter, seams_.clock, folders_, *logic_, *this,
        [this](const std::string& name) {
            if (RecordingController* controller = recordingController()) {
                controller->setRunName(name);
            }
        },
        [this] {
            const RecordingController* controller = recordingController();
            return controller != nullptr && !controller->tempFile().empty();
        },
        [this] {
            if (RecordingController* controller = recordingController()) {
                controller->resetDe1Writer();
            }
        }});
    connect(setupPages_, &CSetupPages::setupChanged, this, &CMainDlg::updateAll);
    kelvoPages_ = new CKelvoSetupPages({seams_.startupFolder, seams_.prompter, seams_.clock, logic_->setupHost(),
                                        *instruments_, *this},
                                       setupPages_->pages());
    connect(kelvoPages_, &CKelvoSetupPages::scanSetupModeChanged, this, &CMainDlg::updateAll);
    RunSetupCommands& runSetup = setupPages_->commands();
    commands_->setScanSetupAvailable([&runSetup] { return runSetup.scanSetupAvailable(); });
    connect(commands_, &CCommandPanel::userPageRequested, this, [&runSetup] { runSetup.goToUserPage(); });
    connect(commands_, &CCommandPanel::scanSetupRequested, this, [&runSetup] { runSetup.scanSetup(); });
    connect(menu_, &CMainMenu::scanSetupRequested, this, [&runSetup] { runSetup.scanSetup(); });
    connect(commands_, &CCommandPanel::newRunRequested, this, [this, &runSetup] {
        // The overlay goes with its panel, as Remove Overlay takes it.
        if (logic_->view().overlayShown()) {
            reading_->overlayGraph();
        }
        runSetup.newRun();
        updateAll();
    });
    connect(menu_, &CMainMenu::saveBufferedRequested, this, [&runSetup] { runSetup.saveBufferedData(); });
    connect(menu_, &CMainMenu::aufsRequested, commands_, &CCommandPanel::chooseAufs);
    connect(graphPanel_, &CGraphPanel::fracAdvRequested, this, &CMainDlg::fractionAdvance);

    qApp->installEventFilter(this);
    updateAll();
}

CMainDlg::~CMainDlg() {
    delete compareWindow_.data();
    // Before the graph and the view it draws on.
    delete analysis_.data();
    qApp->removeEventFilter(this);
    destroyModeless();
    logic_->bind(nullptr, nullptr);
    // The worker and the receive thread end before the windows and the
    // logic they report to.
    instruments_.reset();
}

void CMainDlg::openAnalysis() {
    if (analysis_ == nullptr) {
        analysis_ = new CAnalysisPanel({logic_->view(), *liveGraph_, *graph_, seams_.prompter,
                                        folders_.folder(DialogFolder::Data)},
                                       this);
        addDockWidget(Qt::RightDockWidgetArea, analysis_);
        resizeDocks({analysis_}, {CAnalysisPanel::kWidth}, Qt::Horizontal);
    }
    analysis_->open();
}

CAnalysisPanel* CMainDlg::analysisPanel() const { return analysis_; }

void CMainDlg::connectGraphReading() {
    reading_ = new CGraphReading(logic_->graph(), graphPanel_->frame(), seams_.prompter, seams_.clock, *this,
                                 {.optionsApplied = [this] { logic_->savePreferences(); },
                                  .axisLabelsSwitched = [this](bool on) { logic_->prefs().saveAxisLabels(on); },
                                  .scanEndStop = [this] { return logic_->stopAtScanEnd(); },
                                  .scanEndStopSwitched = [this](bool on) { logic_->setStopAtScanEnd(on); },
                                  .legendSwitched = [this](bool on) { logic_->prefs().saveLegend(on); },
                                  .liveName = [this] { return liveRunName(); },
                                  .setupHost = &logic_->setupHost()});
    CGraphReading* r = reading_;
    r->followPanel(*graphPanel_, *this);
    connect(graphPanel_, &CGraphPanel::overlayPressed, r, &CGraphReading::overlayGraph);
    connect(graphPanel_, &CGraphPanel::standardPressed, r, &CGraphReading::standardRun);
    connect(graphPanel_, &CGraphPanel::profileToggled, r, &CGraphReading::showStandardProfile);
    connect(menu_, &CMainMenu::createStandardRunRequested, r, &CGraphReading::createStandardRun);
    connect(menu_, &CMainMenu::cursorsRequested, r, &CGraphReading::addRemoveCursors);
    connect(menu_, &CMainMenu::windowSizeRequested, r, &CGraphReading::windowSize);
    connect(menu_, &CMainMenu::axisLabelsToggled, r, &CGraphReading::setAxisLabels);
    connect(menu_, &CMainMenu::legendToggled, r, &CGraphReading::setLegendShown);
    connect(menu_, &CMainMenu::gainsRequested, r, &CGraphReading::axisGains);
    connect(menu_, &CMainMenu::offsetsRequested, r, &CGraphReading::yOffsets);
    connect(menu_, &CMainMenu::analysisRequested, this, &CMainDlg::openAnalysis);
    connect(menu_, &CMainMenu::printRequested, this, &CMainDlg::printGraph);
    connect(menu_, &CMainMenu::saveGraphImageRequested, this, &CMainDlg::saveGraphImage);
    connect(commands_, &CCommandPanel::saveGraphRequested, this, &CMainDlg::saveGraphImage);
    connect(commands_, &CCommandPanel::saveWindowRequested, this, &CMainDlg::saveWindow);
}

void CMainDlg::updateGraph() {
    graphPanel_->updateAxisTexts(true);
    graphPanel_->updateGraphCommands();
    setWindowTitle(qs(logic_->caption()));
}

// --- Binding ---

void CMainDlg::bindLogic() {
    logic_->bind(instruments_->queuedRecording(), instruments_->queuedSession());
    updateAll();
}

void CMainDlg::bindRecording(RecordingCommands* recording) {
    instruments_->bindRecording(recording);
    bindLogic();
}

void CMainDlg::bindSession(InstrumentSession* session) {
    instruments_->bindSession(session);
    bindLogic();
}

bool CMainDlg::deviceBusy() const { return instruments_->busy(); }

AcquisitionSession* CMainDlg::acquisitionSession() const { return instruments_->acquisitionSession(); }

RecordingController* CMainDlg::recordingController() const { return instruments_->recordingController(); }

void CMainDlg::attachInstruments() {
    if (instruments_->acquisitionSession() != nullptr || seams_.bridge == nullptr) {
        return;
    }
    driver_ = std::make_unique<QtConnectionDriver>(this, [this]() -> std::optional<IntroChoice> {
        auto name = runIntroPage(true);
        if (!name) {
            return std::nullopt;
        }
        return IntroChoice{std::move(*name), 0};
    });
    instruments_->attach(
        SessionSeams{seams_.ports, *seams_.bridge, seams_.clock, seams_.prompter, poster_, nullptr},
        WindowInstruments::Attachment{seams_.startupFolder, folders_, *driver_,
                                      [driver = driver_.get()] { driver->abort(); },
                                      [driver = driver_.get()] { driver->resume(); }, *this,
                                      logic_->nextRun(), !introShown_});
    if (RecordingController* controller = recordingController()) {
        // "Do you want to do another identical run?" after the save question:
        // asked on the window's thread once the stop's job has ended.
        controller->setAfterTwoChannelRun([this] {
            QMetaObject::invokeMethod(this, [this] { scanSetupAfterRun_ = true; }, Qt::QueuedConnection);
        });
        controller->setScanEndAction([this](double travelledMm) {
            QMetaObject::invokeMethod(this, [this, travelledMm] { scanEnded(travelledMm); }, Qt::QueuedConnection);
        });
    }
    bindLogic();
}

void CMainDlg::updateDe1Summary() {
    std::string summary;
    if (logic_->de1Mode()) {
        const Em1Settings settings = setupPages_->commands().de1Settings();
        summary = de1StartModeText(settings) + "\n" +
                  de1SummaryText(settings, logic_->setupHost().fractionationKind());
    }
    logic_->status().setDe1Summary(std::move(summary));
}

void CMainDlg::scanEnded(double travelledMm) {
    const bool stop = logic_->scanEnded(travelledMm);
    updateStatus();
    RecordingController* controller = recordingController();
    if (stop && controller != nullptr && !instruments_->closing().started()) {
        // As STOP RECORD: the piston's return, the save question, then the
        // identical-run question once the job has ended.
        (void)instruments_->jobs().submit([controller] { controller->finishScan(); });
        updateCommands();
    }
}

void CMainDlg::fractionAdvance() {
    RecordingController* controller = recordingController();
    if (controller == nullptr || deviceBusy() || !controller->fractionAdvance()) {
        graphPanel_->setFracAdvAvailable(false);
    }
}

void CMainDlg::jobEnded() {
    updateCommands();
    updateReadouts();
    updateStatus();
    setWindowTitle(qs(logic_->caption()));
    if (instruments_->closing().waitingForJob()) {
        close();
        return;
    }
    if (std::exchange(scanSetupAfterRun_, false) && !instruments_->closing().started() &&
        setupPages_->commands().scanSetupAvailable()) {
        setupPages_->commands().scanSetup();
    }
    showIntroIfDue();
}

void CMainDlg::showIntroIfDue() {
    // The connection shows the INTRO page itself once the unit answers; when
    // it ended without (no unit, skipped), the page comes now.
    if (instruments_->acquisitionSession() != nullptr && firstShowDone_ && !introShown_ &&
        !instruments_->closing().started() && !deviceBusy()) {
        (void)runIntroPage(false);
    }
}

// --- RunDisplay ---

void CMainDlg::clearTraces() {
    logic_->feed().clear();
    poster_.post(UserMsg::Readouts);
}

void CMainDlg::addSample(const SampleRecord& record) { logic_->feed().add(record); }

void CMainDlg::redraw() { graph_->redraw(); }

void CMainDlg::setDe1Span(double mm) {
    QMetaObject::invokeMethod(
        this,
        [this, mm] {
            logic_->windowSizeEdited(true, formatText("%.2f", mm));
            graphPanel_->updateAxisTexts(true);
        },
        Qt::QueuedConnection);
}

void CMainDlg::showPositionAndSpeed(double positionMm, double speedMmPerS) {
    logic_->status().showPositionAndSpeed(positionMm, speedMmPerS);
    poster_.post(UserMsg::Readouts);
}

void CMainDlg::showStreamedPosition() {
    // In its running modes the unit streams CMD2 and the last CMD0 shows the
    // piston where it stood before: the position line follows the stream.
    // Only the window's thread and connection jobs replace the link.
    AcquisitionSession* session = instruments_->acquisitionSession();
    if (session == nullptr || instruments_->connecting()) {
        return;
    }
    const UvLink* link = session->link();
    if (link == nullptr || !link->ShortPacketMode()) {
        return;
    }
    if (const auto packet = link->lastCmd2()) {
        logic_->status().showPositionAndSpeed(packet->pistonMm(),
                                              packet->iPistonSpeed * 0.1);
    }
}

// --- Keeping the controls up to date ---

void CMainDlg::updateAll() {
    setWindowTitle(qs(logic_->caption()));
    updateDe1Summary();
    channels_->updateChannels();
    graphPanel_->updateControls();
    updateReadouts();
    updateGraph();
    updateStatus();
    updateCommands();
    menu_->update();
    commands_->updateDe1Controls();
    commands_->fillPortList();
}

void CMainDlg::updateReadouts() {
    channels_->updateReadouts();
    // A run that started recording names the live trace by its file.
    if (reading_ != nullptr && logic_->view().scene().live()) {
        reading_->refreshLegend();
    }
}

void CMainDlg::updateCommands() {
    commands_->updateCommands();
    const bool idle = !deviceBusy();
    const AcquisitionSession* session = instruments_->acquisitionSession();
    graphPanel_->setFracAdvAvailable(idle && session != nullptr && session->de1Source());
    menu_->saveBufferedAction()->setEnabled(logic_->de1Mode());
    menu_->scanSetupAction()->setEnabled(idle && setupPages_->commands().scanSetupAvailable() &&
                                         !logic_->keys().isRecording());
}

void CMainDlg::updateStatus() { statusLines_->showTexts(logic_->status().texts()); }

QCheckBox* CMainDlg::channelBox(int channel) const { return channels_->box(channel); }
QLabel* CMainDlg::readout(int channel) const { return channels_->readout(channel); }
QLabel* CMainDlg::recordedLabel() const { return channels_->recorded(); }
QPushButton* CMainDlg::recordButton() const { return commands_->recordButton(); }
QPushButton* CMainDlg::zeroButton() const { return commands_->zeroButton(); }
QPushButton* CMainDlg::pauseButton() const { return commands_->pauseButton(); }
QPushButton* CMainDlg::refreshButton() const { return commands_->refreshButton(); }
QPushButton* CMainDlg::newRunButton() const { return commands_->newRunButton(); }
QComboBox* CMainDlg::portList() const { return commands_->portList(); }
QLineEdit* CMainDlg::axisEdit(AxisBox box) const { return graphPanel_->axisEdit(box); }
QCheckBox* CMainDlg::yAutoBox() const { return graphPanel_->yAutoBox(); }
QCheckBox* CMainDlg::yyAutoBox() const { return graphPanel_->yyAutoBox(); }
QCheckBox* CMainDlg::gridBox() const { return graphPanel_->gridBox(); }
QLineEdit* CMainDlg::windowEdit(bool mm) const { return graphPanel_->windowEdit(mm); }
QRadioButton* CMainDlg::xTypeRadio(bool mm) const { return graphPanel_->xTypeRadio(mm); }
QAction* CMainDlg::action(const QString& text) const { return menu_->action(text); }
QLabel* CMainDlg::statusLine(int index) const { return statusLines_->line(index); }
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
    updateStatus();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<int> ports = seams_.ports.enumerate();
    QApplication::restoreOverrideCursor();
    while (ports.empty()) {
        CSerportTroubleShootingDlg help(logic_->ports().comPort(), this);
        if (help.exec() != CSerportTroubleShootingDlg::kTryAgain) {
            break;
        }
        ports = seams_.ports.enumerate();
    }
    logic_->ports().setPorts(std::move(ports));
    if (logic_->loadPreferences()) {
        graphPanel_->frame().setLabelsShown(logic_->axisLabels());
        menu_->setAxisLabelsChecked(logic_->axisLabels());
        graphPanel_->frame().setLegendShown(logic_->legendShown());
        menu_->setLegendChecked(logic_->legendShown());
    }
    if (!logic_->ports().connectIfPossible()) {
        const std::string missing = logic_->ports().missingPortMessage();
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
    if (AcquisitionSession* session = instruments_->acquisitionSession()) {
        session->setIntroPending(false);
    }
    CIntroDlg intro(seams_.startupFolder, seams_.prompter, instrumentFound, this);
    bool exit = false;
    connect(&intro, &CIntroDlg::exitRequested, this, [&exit] { exit = true; });
    hide();
    const int result = intro.exec();
    if (exit || result != QDialog::Accepted) {
        // The page has asked "Are you sure you wish to exit?" already; the
        // window, hidden, closes and the program ends with it.
        instruments_->closing().setExitConfirmed();
        QTimer::singleShot(0, this, &CMainDlg::close);
        return std::nullopt;
    }
    // OK leads on to the USER page, which gives the window back.
    std::string name = intro.page().userName();
    QTimer::singleShot(0, setupPages_, [pages = setupPages_, name] { pages->afterIntro(name); });
    return name;
}

// --- Modeless windows ---

void CMainDlg::openChecklist(bool detailed) {
    const auto file = logic_->files().checklistFile(detailed);
    if (!file) {
        return;
    }
    if (checklist_ == nullptr) {
        checklist_ = new CCheckListDlg(seams_.startupFolder, seams_.prompter, this);
        connect(checklist_, &QDialog::finished, this, [this] { logic_->keys().setChecklistOpen(false); });
        connect(checklist_, &CCheckListDlg::itemShown, this, [this](bool setupItem) {
            const CEM1SetupDlg* de1 = setupPages_->de1Page();
            switch (checklistFollow(setupItem, isHidden(), de1 != nullptr && de1->isVisible())) {
                case ChecklistFollow::RefreshDe1Page: setupPages_->refreshDe1Page(); break;
                case ChecklistFollow::ShowGraph: logic_->setupHost().showGraph(); break;
                case ChecklistFollow::Nothing: break;
            }
        });
    }
    checklist_->setDetailed(detailed);
    checklist_->show();
    checklist_->raise();
    logic_->keys().setChecklistOpen(true);
}

void CMainDlg::openDebugWindows() {
    InstrumentSession* session = instruments_->session();
    PacketDebugLink* link = session != nullptr ? session->packetDebugLink() : nullptr;
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
                logic_->status().setDebugDisplayOn(anyOpen);
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
    logic_->status().setDebugDisplayOn(true);
}

void CMainDlg::destroyModeless() {
    InstrumentSession* session = instruments_ != nullptr ? instruments_->session() : nullptr;
    if (debug_[0] != nullptr && session != nullptr) {
        if (PacketDebugLink* link = session->packetDebugLink()) {
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
    logic_->keys().setChecklistOpen(false);
    logic_->status().setDebugDisplayOn(false);
}

// --- Messages ---

void CMainDlg::handleMessage(UserMsg msg, std::int64_t /*a*/, std::int64_t /*b*/, const std::any& payload) {
    kelvoPages_->onWindowMessage(msg, payload);  // the "Scan Setup" window's share
    switch (msg) {
        case UserMsg::LiveData:
            // Taken before the traces are built: a sample that arrives
            // meanwhile posts the next one.
            logic_->feed().liveDataTaken();
            logic_->view().syncLive();
            break;
        case UserMsg::LinkStats:
            if (const auto* stats = std::any_cast<LinkStats>(&payload)) {
                logic_->status().onLinkStats(stats->heartbeatsReceived, stats->heartbeatsTransmitted,
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
            if (logic_->view().axes().yAutoScale() || logic_->view().axes().yyAutoScale()) {
                graphPanel_->updateAxisTexts(false);
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
        case UserMsg::RedoOverlay:
            reading_->redoOverlay();
            break;
        case UserMsg::OpenCompare:
            compareDataSets();
            break;
        case UserMsg::WarmedUp:  // taken above; the rest by the windows they concern
        case UserMsg::PageSample:
        case UserMsg::PageRunningSample:
        case UserMsg::ReleaseModeless:
        case UserMsg::DestroyAuxiliary:
            break;
        case UserMsg::OpenSetupPages:
            setupPages_->commands().goToUserPage();
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
    // With cursors on the graph the arrows step the main cursor.
    if ((*key == WindowKey::Left || *key == WindowKey::Right) && !logic_->cursors().empty() &&
        reading_->arrowKey(*key == WindowKey::Right)) {
        return true;
    }
    switch (logic_->keys().keyDown(*key, keyEvent.isAutoRepeat())) {
        case KeyOutcome::PassOn:
            return QMainWindow::eventFilter(watched, event);
        case KeyOutcome::Handled:
            updateCommands();
            updateReadouts();
            graphPanel_->updateAxisTexts(true);
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
        case KeyOutcome::ScanSetup:
            if (setupPages_->commands().scanSetupAvailable() && !deviceBusy() && !logic_->keys().isRecording()) {
                setupPages_->commands().scanSetup();
            }
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Closing ---

void CMainDlg::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    switch (instruments_->closing().turn()) {
        case CloseStep::Stay:
        case CloseStep::WaitForJob:
            // A job that runs calls the close again when it has ended.
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
    closed_ = true;
    // The preferences are kept at every close; a missing "prefs.cfg" was
    // reported when it was loaded.
    if (firstShowDone_) {
        logic_->savePreferences();
    }
    event->accept();
    emit closed();
}

int runMainWindow(CMainDlg& window) {
    // The program ends when the close sequence has run to its end, not when
    // the last visible window goes: the main window is hidden while the
    // INTRO page shows, and a close then must still end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &CMainDlg::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}

}  // namespace corvane
