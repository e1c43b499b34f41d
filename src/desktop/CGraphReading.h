#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "desktop/CDataMarkersDlg.h"
#include "display/ChangeNotice.h"
#include "display/GraphMouse.h"

class QLabel;
class QMainWindow;
class QWidget;

namespace corvane {

class CAutoAlignMsg;
class CAxisScaleDlg;
class CGraphCtrl;
class CGraphFrame;
class CGraphPanel;
class COverlayTracesDlg;
class CWindowScale;
class CYAxisOffsetsDlg;
class Clock;
class GraphReading;
class Prompter;
class SetupHost;

// The reading of the graph in a window: the mouse routed to the logic
// (GraphMouse), the cursor popup, the instruction window, the cursor label
// windows, the overlay traces panel, the gain and offset panels, and the
// commands of the overlay, standard-run, zoom and cursor controls. The
// panels and the menu call it; what it shows follows the view's change
// notice.
class CGraphReading : public QObject {
    Q_OBJECT

public:
    // What the commands need of the window beyond the graph (none in a
    // compare window).
    struct Hooks {
        // Graph Options applied, or the axis labels switched: the window
        // keeps its settings.
        std::function<void()> optionsApplied;
        std::function<void(bool)> axisLabelsSwitched;
        // Graph Options' "Stop recording at the end of the scan": as it
        // stands, and switched; a window that records nothing has neither.
        std::function<bool()> scanEndStop;
        std::function<void(bool)> scanEndStopSwitched;
        std::function<void(bool)> legendSwitched;
        // The live run's name in the legend (its file once it records).
        std::function<std::string()> liveName;
        // The STANDARD RUN window's Scan Setup reaches the main window.
        SetupHost* setupHost = nullptr;
    };

    CGraphReading(GraphReading& reading, CGraphFrame& frame, Prompter& prompter, Clock& clock, QWidget& window,
                  Hooks hooks);
    ~CGraphReading() override;

    // The commands of the graph panel that every window with a graph has
    // (AUTO-ALIGN, RESET ALIGNMENT, FOCUS, the RESETs, Graph Options, the
    // cursor spin), and the hover read-out in the window's status bar.
    void followPanel(CGraphPanel& panel, QMainWindow& window);

    // --- Commands ---
    void overlayGraph();
    void standardRun();
    void showStandardProfile(bool on);
    // "C&reate Standard Run": a run chosen, its zones edited in the STANDARD
    // RUN window and saved there; nothing stays on the graph.
    void createStandardRun();
    void autoAlign();
    void resetAlignment();
    void focus();
    void resetZoom();
    void resetFullRange();
    void addRemoveCursors();
    void graphOptions();
    void windowSize();
    // One of the three window sizes, everything in the window rescaled;
    // the current size does nothing.
    void setWindowSize(int index);
    void axisGains(bool xAxis);
    void yOffsets();
    void setAxisLabels(bool on);
    void setLegendShown(bool on);
    // The legend again from what is drawn (a live run's name changes when
    // it starts recording, which the view is not told of).
    void refreshLegend();
    // Left/Right with cursors: true when the main cursor stepped.
    bool arrowKey(bool right);
    // The gain and offset panels, while open (null otherwise).
    [[nodiscard]] QWidget* gainPanel(bool xAxis) const;
    [[nodiscard]] QWidget* offsetPanel() const;
    // UserMsg::RedoOverlay: the overlay command again.
    void redoOverlay() { overlayGraph(); }

    [[nodiscard]] bool resetZoomEnabled() const;
    [[nodiscard]] QWidget* instruction() const;
    [[nodiscard]] CDataMarkersDlg* popup() const { return popup_.data(); }
    [[nodiscard]] COverlayTracesDlg* overlayPanel() const;
    [[nodiscard]] QLabel* cursorLabel(int i) const { return labels_[static_cast<std::size_t>(i)]; }
    [[nodiscard]] int windowSizeIndex() const { return sizeIndex_; }

signals:
    // The hover read-out for the status bar.
    void hoverText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Left and Right pressed in the panel step the main cursor.
    void passArrowsToCursor(QWidget& panel);
    void pressed(QPoint pos);
    void moved(QPoint pos);
    void released(QPoint pos);
    void wheel(QPoint pos, int steps, Qt::KeyboardModifiers modifiers);
    void apply(const MouseOutcome& outcome);
    // The view changed: the axis titles, the cursor labels, the overlay
    // traces panel (closed once no overlay is shown) and the open panels.
    void viewChanged();
    void updateTitles();
    void updateCursorViews();
    void showInstruction(const QString& text);
    void closeInstruction();
    void openPopup(int cursor, QPoint at);
    void popupChosen(int cursor, CDataMarkersDlg::Choice choice);
    void startPlaceMode();
    void placeLabels();
    void hover(QPoint pos);
    [[nodiscard]] PlotFrame plot() const;

    GraphReading& logic_;
    Hooks hooks_;
    ChangeNotice::Token listening_;
    CGraphFrame& frame_;
    CGraphCtrl& graph_;
    Prompter& prompter_;
    Clock& clock_;
    QWidget& window_;
    QPointer<CAutoAlignMsg> instruction_;
    QPointer<CDataMarkersDlg> popup_;
    QPointer<COverlayTracesDlg> overlayPanel_;
    QPointer<CAxisScaleDlg> xGains_;
    QPointer<CAxisScaleDlg> yGains_;
    QPointer<CYAxisOffsetsDlg> offsets_;
    std::array<QLabel*, 4> labels_{};
    QPoint lastPress_;
    int sizeIndex_ = 0;
    std::unique_ptr<CWindowScale> scale_;
};

}  // namespace corvane
