#include "desktop/CGraphReading.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QWidget>

#include "base/TextFormat.h"
#include "desktop/CAddRemoveCursorDlg.h"
#include "desktop/CAutoAlignMsg.h"
#include "desktop/CAxisScaleDlg.h"
#include "desktop/CGraphPanel.h"
#include "desktop/CGraphOptionsDlg.h"
#include "desktop/CGraphingWindowSizeDlg.h"
#include "desktop/CWindowScale.h"
#include "desktop/COverlayTracesDlg.h"
#include "desktop/CRemoveCursorDlg.h"
#include "desktop/CYAxisOffsetsDlg.h"
#include "display/GraphReading.h"
#include "display/RunTraces.h"
#include "display/TraceLegend.h"
#include "desktop/NotYet.h"
#include "display/WindowSizes.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"
#include "runs/OverlayPlanRules.h"
#include "setup/CCollectionVolumeDlg.h"
#include "setup/SetupHost.h"
#include "setup/COverlayPlanDlg.h"

namespace corvane {

namespace {

[[nodiscard]] PixelPoint pixel(QPoint p) { return {p.x(), p.y()}; }

}  // namespace

CGraphReading::CGraphReading(GraphReading& reading, CGraphFrame& frame, Prompter& prompter, Clock& clock,
                             QWidget& window, Hooks hooks)
    : QObject(&window),
      logic_(reading),
      hooks_(std::move(hooks)),
      frame_(frame),
      graph_(frame.graph()),
      prompter_(prompter),
      clock_(clock),
      window_(window) {
    connect(&graph_, &CGraphCtrl::mousePressed, this, [this](QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers) {
        if (button == Qt::LeftButton) {
            pressed(pos);
        }
    });
    connect(&graph_, &CGraphCtrl::mouseMoved, this, [this](QPoint pos, Qt::MouseButtons) { moved(pos); });
    connect(&graph_, &CGraphCtrl::mouseReleased, this, [this](QPoint pos, Qt::MouseButton button) {
        if (button == Qt::LeftButton) {
            released(pos);
        }
    });
    connect(&graph_, &CGraphCtrl::wheelTurned, this, &CGraphReading::wheel);
    for (auto& label : labels_) {
        label = new QLabel(&graph_);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setStyleSheet(QStringLiteral("background: rgba(255,255,230,220); border: 1px solid gray; padding: 1px;"));
        label->hide();
    }
    listening_ = logic_.view().listen([this] { viewChanged(); });
}

CGraphReading::~CGraphReading() = default;

PlotFrame CGraphReading::plot() const {
    return {graph_.width(), graph_.height(), logic_.view().axes().xRange(), logic_.view().axes().yRange()};
}

// --- Mouse ---

void CGraphReading::pressed(QPoint pos) {
    lastPress_ = pos;
    apply(logic_.mouse().press(pixel(pos), plot()));
}

void CGraphReading::moved(QPoint pos) {
    apply(logic_.mouse().move(pixel(pos), plot()));
    hover(pos);
}

void CGraphReading::released(QPoint pos) { apply(logic_.mouse().release(pixel(pos), plot())); }

void CGraphReading::wheel(QPoint pos, int steps, Qt::KeyboardModifiers modifiers) {
    apply(logic_.mouse().wheel(pixel(pos), plot(), steps, modifiers.testFlag(Qt::ShiftModifier)));
}

void CGraphReading::apply(const MouseOutcome& outcome) {
    if (outcome.closePopup && popup_ != nullptr) {
        popup_->deleteLater();
        popup_ = nullptr;
    }
    if (outcome.closeInstruction) {
        closeInstruction();
    }
    if (outcome.shape) {
        switch (*outcome.shape) {
            case MouseShape::Hand: graph_.setCursor(Qt::PointingHandCursor); break;
            case MouseShape::Cross: graph_.setCursor(Qt::CrossCursor); break;
            case MouseShape::Arrow: graph_.unsetCursor(); break;
        }
    }
    if (outcome.openPopup) {
        openPopup(*outcome.openPopup, lastPress_);
    }
    if (outcome.cursorsChanged) {
        logic_.cursorsChanged();
    }
}

void CGraphReading::viewChanged() {
    if (overlayPanel_ != nullptr && !logic_.view().overlayShown()) {
        // The overlay has gone (removed, or another run opened): its panel
        // goes with it, so its switches no longer reach this window's channels.
        overlayPanel_->deleteLater();
        overlayPanel_ = nullptr;
    }
    for (CAxisScaleDlg* gains : {xGains_.data(), yGains_.data()}) {
        if (gains != nullptr) {
            gains->refresh();
        }
    }
    if (offsets_ != nullptr) {
        offsets_->refresh();
    }
    updateTitles();
    updateCursorViews();
}

void CGraphReading::hover(QPoint pos) {
    const PlotFrame frame = plot();
    if (!frame.inside(pixel(pos)) || !(frame.x.max > frame.x.min)) {
        emit hoverText({});
        return;
    }
    const double x = frame.xAt(pos.x());
    std::string text = "x = " + xValueText(x, logic_.view().axes().xAxisType());
    for (const auto& line : logic_.labelLinesAt(x)) {
        text += "    " + line;
    }
    emit hoverText(qs(text));
}

// --- Windows over the graph ---

void CGraphReading::showInstruction(const QString& text) {
    closeInstruction();
    instruction_ = new CAutoAlignMsg(text, &window_, graph_.mapToGlobal(QPoint(0, 0)));
    instruction_->show();
}

void CGraphReading::closeInstruction() {
    if (instruction_ != nullptr) {
        instruction_->deleteLater();
        instruction_ = nullptr;
    }
}

QWidget* CGraphReading::instruction() const { return instruction_.data(); }

COverlayTracesDlg* CGraphReading::overlayPanel() const { return overlayPanel_.data(); }

void CGraphReading::openPopup(int cursor, QPoint at) {
    if (popup_ != nullptr) {
        popup_->deleteLater();
    }
    popup_ = new CDataMarkersDlg(cursor, &window_);
    connect(popup_, &CDataMarkersDlg::chosen, this, &CGraphReading::popupChosen, Qt::QueuedConnection);
    // Right of the click, or left of it at the graph's right edge; up by
    // its own height at the bottom.
    QPoint place = at + QPoint(4, 0);
    if (place.x() + popup_->width() > graph_.width()) {
        place.setX(at.x() - popup_->width() - 4);
    }
    if (place.y() + popup_->height() > graph_.height()) {
        place.setY(place.y() - popup_->height());
    }
    popup_->move(graph_.mapToGlobal(place));
    popup_->show();
}

void CGraphReading::popupChosen(int cursor, CDataMarkersDlg::Choice choice) {
    if (popup_ != nullptr) {
        popup_->deleteLater();
        popup_ = nullptr;
    }
    logic_.mouse().setPopup(-1);
    GraphCursors& cursors = logic_.cursors();
    switch (choice) {
        case CDataMarkersDlg::Choice::Delete: cursors.remove(cursor); break;
        case CDataMarkersDlg::Choice::Move:
            cursors.startMove(cursor, graph_.height());
            showInstruction(QString::fromLatin1(GraphMouse::kMoveText));
            break;
        case CDataMarkersDlg::Choice::MakeMain: cursors.makeMain(cursor); break;
        case CDataMarkersDlg::Choice::Add: startPlaceMode(); break;
    }
    logic_.cursorsChanged();
    window_.setFocus();
}

void CGraphReading::startPlaceMode() {
    logic_.cursors().setPlaceMode(true);
    graph_.setCursor(Qt::CrossCursor);
    showInstruction(QString::fromLatin1(GraphMouse::kPlaceText));
}

void CGraphReading::updateCursorViews() {
    placeLabels();
    if (overlayPanel_ != nullptr) {
        const GraphView& view = logic_.view();
        COverlayTracesDlg::DrawnColours colours{};
        constexpr std::array<int, 3> kChannels{kChannelAbsA, kChannelAbsB, kChannelRatio};
        (void)graph_.read([&](const GraphModel& model) {
            for (int side = 0; side < 2; ++side) {
                for (std::size_t k = 0; k < kChannels.size(); ++k) {
                    const int slot = slotOfChannel(view, side, kChannels[k]);
                    // A profile's marks sit in a channel's slot: they are no trace of it.
                    if (slot >= 0 && model.slot(slot).count() > 0 && !model.slot(slot).markStyle) {
                        colours[static_cast<std::size_t>(side)][k] = model.slot(slot).colour;
                    }
                }
            }
        });
        const auto position = logic_.cursors().mainPosition();
        if (position) {
            overlayPanel_->refresh(view.sampleAt(0, *position), view.sampleAt(1, *position), colours);
        } else {
            overlayPanel_->refresh(std::nullopt, std::nullopt, colours);
        }
    }
}

void CGraphReading::placeLabels() {
    const auto& records = logic_.cursors().records();
    const PlotFrame frame = plot();
    const XAxisType axis = logic_.view().axes().xAxisType();
    int row = 2;
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        QLabel* label = labels_[i];
        if (i >= records.size() || !(frame.x.max > frame.x.min)) {
            label->hide();
            continue;
        }
        QString text = qs(GraphCursors::labelText(records[i].position, axis));
        if (records[i].isMain) {
            for (const auto& line : logic_.cursorLabelLines()) {
                text += QLatin1Char('\n') + qs(line);
            }
        }
        label->setText(text);
        label->adjustSize();
        const int px = frame.pxOf(records[i].position);
        if (px < 0 || px > frame.width) {
            label->hide();
            continue;
        }
        // Right of the line, or left of it near the right edge; labels of
        // several cursors stacked so they do not cover each other.
        int x = px + 4;
        if (x + label->width() > frame.width) {
            x = px - 4 - label->width();
        }
        label->move(std::max(0, x), row);
        row += label->height() + 2;
        label->show();
        label->raise();
    }
}

// --- Commands ---

void CGraphReading::overlayGraph() {
    const bool had = logic_.view().overlayShown();
    if (!logic_.overlays().toggleOverlay()) {
        return;
    }
    bool placePanel = false;
    if (!had) {
        if (overlayPanel_ == nullptr) {
            placePanel = true;
            overlayPanel_ = new COverlayTracesDlg(logic_.view(), logic_.overlays(), &window_);
        }
        overlayPanel_->show();
    }
    logic_.cursorsChanged();
    if (placePanel && overlayPanel_ != nullptr) {
        // At its size with the file names in: beside the window's bottom
        // right where the screen has room, else inside that corner.
        overlayPanel_->adjustSize();
        const QSize size = overlayPanel_->frameGeometry().size();
        QPoint at = window_.mapToGlobal(QPoint(window_.width() + 8, window_.height() - size.height()));
        const QScreen* screen = window_.screen();
        if (screen != nullptr && at.x() + size.width() > screen->availableGeometry().right()) {
            at = window_.mapToGlobal(
                QPoint(window_.width() - size.width() - 16, window_.height() - size.height() - 40));
        }
        overlayPanel_->move(at);
    }
}

void CGraphReading::followPanel(CGraphPanel& panel, QMainWindow& window) {
    connect(&panel, &CGraphPanel::autoAlignPressed, this, &CGraphReading::autoAlign);
    connect(&panel, &CGraphPanel::resetAlignmentPressed, this, &CGraphReading::resetAlignment);
    connect(&panel, &CGraphPanel::focusPressed, this, &CGraphReading::focus);
    connect(&panel, &CGraphPanel::resetZoomPressed, this, &CGraphReading::resetZoom);
    connect(&panel, &CGraphPanel::resetFullRangePressed, this, &CGraphReading::resetFullRange);
    connect(&panel, &CGraphPanel::optionsPressed, this, &CGraphReading::graphOptions);
    connect(&panel, &CGraphPanel::cursorStepped, this, [this](bool right) { (void)arrowKey(right); });
    // The read-out's bar is there from the start: the plot does not shrink
    // when it first speaks.
    QStatusBar* bar = window.statusBar();
    connect(this, &CGraphReading::hoverText, bar, [bar](const QString& text) { bar->showMessage(text); });
}

void CGraphReading::standardRun() {
    const bool shown = logic_.overlays().standardRun() != nullptr;
    if (!logic_.overlays().toggleStandardRun() || shown || logic_.overlays().standardRun() == nullptr ||
        hooks_.setupHost == nullptr) {
        return;
    }
    // The vessel the run is cut into, now that the standard run's own (and
    // its tube) are known; OK hands it to the window.
    SetupHost& host = *hooks_.setupHost;
    const auto& info = host.runInfo();
    CCollectionVolumeDlg vessel(logic_.overlays().startupFolder(), info ? info->userName : std::string(),
                                volumePerMmForRun(info ? info->volumePerMm : 0.0, host.standardRunVolumePerMm()),
                                prompter_, clock_, &host, &window_);
    (void)vessel.exec();
}

void CGraphReading::createStandardRun() {
    auto chosen = logic_.overlays().chooseRunForStandard();
    if (!chosen) {
        return;
    }
    COverlayPlanDlg dialog({logic_.overlays().startupFolder(), prompter_, chosen->volumePerMm, chosen->collectionLimit},
                           chosen->path, chosen->run, chosen->plan, &window_);
    if (hooks_.setupHost != nullptr) {
        dialog.setScanSetup({logic_.overlays().startupFolder(), prompter_, *hooks_.setupHost, clock_});
    }
    (void)dialog.exec();
}

void CGraphReading::showStandardProfile(bool on) {
    logic_.overlays().setShowStandardProfile(on);
    graph_.redrawAll();
}

void CGraphReading::autoAlign() {
    if (logic_.overlays().startAutoAlign()) {
        showInstruction(QString::fromLatin1(GraphOverlays::kAutoAlignText));
    }
}

void CGraphReading::resetAlignment() { logic_.overlays().resetAlignment(); }

void CGraphReading::focus() {
    (void)logic_.mouse().armFocus();
    showInstruction(QString::fromLatin1(GraphMouse::kFocusText));
}

void CGraphReading::resetZoom() {
    logic_.view().change([](AxisState& axes) { (void)axes.resetZoom(); });
}

void CGraphReading::resetFullRange() { logic_.view().resetFullRange(); }

bool CGraphReading::resetZoomEnabled() const { return logic_.view().axes().zoomActive(); }

void CGraphReading::addRemoveCursors() {
    GraphCursors& cursors = logic_.cursors();
    if (!cursors.addRemoveAsks()) {
        startPlaceMode();
        return;
    }
    CAddRemoveCursorDlg choice(&window_);
    if (choice.exec() != QDialog::Accepted) {
        return;
    }
    if (choice.addChosen()) {
        startPlaceMode();
        return;
    }
    const XAxisType axis = logic_.view().axes().xAxisType();
    QStringList lines;
    for (int i = 0; i < cursors.count(); ++i) {
        lines << qs(cursors.removeListLine(i, axis));
    }
    CRemoveCursorDlg remove(lines, [&cursors](std::vector<int> chosen) { return cursors.removeSelected(chosen); },
                            &window_);
    if (remove.exec() == QDialog::Accepted) {
        logic_.cursorsChanged();
    }
}

void CGraphReading::graphOptions() {
    CGraphOptionsDlg dialog(logic_.view(), prompter_, &window_);
    connect(&dialog, &CGraphOptionsDlg::applied, this, [this] {
        if (hooks_.optionsApplied) {
            hooks_.optionsApplied();
        }
    });
    if (hooks_.scanEndStop && hooks_.scanEndStopSwitched) {
        dialog.offerScanEndStop(hooks_.scanEndStop());
        connect(&dialog, &CGraphOptionsDlg::scanEndStopApplied, this,
                [this](bool on) { hooks_.scanEndStopSwitched(on); });
    }
    dialog.exec();
}

void CGraphReading::windowSize() {
    CGraphingWindowSizeDlg dialog(sizeIndex_, &window_);
    if (dialog.exec() == QDialog::Accepted) {
        setWindowSize(dialog.chosen());
    }
}

void CGraphReading::setWindowSize(int index) {
    if (!windowRescale(sizeIndex_, index)) {
        return;
    }
    const auto fromStandard = windowRescale(0, index);
    sizeIndex_ = index;
    if (!scale_) {
        scale_ = std::make_unique<CWindowScale>(window_);
    }
    // Fonts, given sizes and spaces from the standard size; the layouts
    // then place every child in the table's size, whatever size the window
    // had taken meanwhile.
    scale_->apply(fromStandard ? fromStandard->x : 1.0, fromStandard ? fromStandard->y : 1.0);
    const WindowSize& size = kWindowSizes[static_cast<std::size_t>(index)];
    window_.resize(size.width, size.height);
}

void CGraphReading::axisGains(bool xAxis) {
    QPointer<CAxisScaleDlg>& dialog = xAxis ? xGains_ : yGains_;
    if (dialog == nullptr) {
        dialog = new CAxisScaleDlg(xAxis ? CAxisScaleDlg::Axis::X : CAxisScaleDlg::Axis::Y, logic_.view().offsets(),
                                   clock_, [this] { logic_.view().refresh(); }, &window_);
        passArrowsToCursor(*dialog);
    }
    dialog->refresh();
    dialog->show();
    dialog->raise();
}

void CGraphReading::yOffsets() {
    if (offsets_ == nullptr) {
        offsets_ = new CYAxisOffsetsDlg(
            logic_.view().offsets(), clock_,
            [this] { return logic_.view().axes().yRange().max - logic_.view().axes().yRange().min; },
            [this] { return graph_.height(); }, [this] { logic_.view().refresh(); }, &window_);
        passArrowsToCursor(*offsets_);
    }
    offsets_->refresh();
    offsets_->show();
    offsets_->raise();
}

void CGraphReading::setAxisLabels(bool on) {
    frame_.setLabelsShown(on);
    if (hooks_.axisLabelsSwitched) {
        hooks_.axisLabelsSwitched(on);
    }
    // The plot changed size: its picture is drawn again.
    graph_.redrawAll();
}

QWidget* CGraphReading::gainPanel(bool xAxis) const { return xAxis ? xGains_.data() : yGains_.data(); }

QWidget* CGraphReading::offsetPanel() const { return offsets_.data(); }

void CGraphReading::passArrowsToCursor(QWidget& panel) {
    panel.installEventFilter(this);
    for (QWidget* child : panel.findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

bool CGraphReading::eventFilter(QObject* watched, QEvent* event) {
    // A gain or offset panel with the focus: the arrows still step the
    // main cursor, as they do over the graph (its buttons take no arrows).
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<const QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Left || key == Qt::Key_Right) && arrowKey(key == Qt::Key_Right)) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CGraphReading::setLegendShown(bool on) {
    frame_.setLegendShown(on);
    if (hooks_.legendSwitched) {
        hooks_.legendSwitched(on);
    }
    graph_.redrawAll();
}

bool CGraphReading::arrowKey(bool right) {
    if (!logic_.mouse().arrow(right)) {
        return false;
    }
    logic_.cursorsChanged();
    return true;
}

void CGraphReading::updateTitles() {
    const GraphView& view = logic_.view();
    const YAxisTitles titles = yAxisTitles(view);
    frame_.setTitles(QLatin1String(xAxisWords(view.axes().xAxisType()).windowTitle), QString::fromStdString(titles.y),
                     QString::fromStdString(titles.yy));
    refreshLegend();
}

void CGraphReading::refreshLegend() {
    const GraphView& view = logic_.view();
    const std::string live = hooks_.liveName ? hooks_.liveName() : std::string("Live run");
    frame_.setLegend(graph_.read([&](const GraphModel& model) { return traceLegend(view, model, live); })
                         .value_or(frame_.legend()));
}

}  // namespace corvane
