#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "compare/CompareSets.h"
#include "display/AxisState.h"
#include "display/ChangeNotice.h"

class QAction;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QRadioButton;
class QString;
class QWidget;

namespace corvane {

class CAnalysisPanel;
class CGraphCtrl;
class CGraphPanel;
struct GraphPageContent;
class CGraphReading;
class Clock;
class CompareSession;
class DialogFolders;
class GraphReading;
class LiveGraph;
class PrintDialogRunner;
class Prompter;

// The compare window: two to four saved runs in one graph, a window of its
// own composed of the graph panel, the graph's reading (cursors, AUTO-ALIGN,
// the trace drag, zoom, the gain and offset panels) and the compare session
// (CompareSession). Beside the graph: the file list with Add File(s) and
// Remove File(s), the X-Axis Offset panel, the EVENT MARKS panel and SAVE
// WINDOW / SAVE GRAPH; its menu has the print, image, export and view
// entries that apply to compared sets. It has no instruments. Closing it
// shows the main window again.
class CCompareDlg : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kMaxSets = 4;

    struct Env {
        std::filesystem::path startupFolder;
        Clock& clock;
        Prompter& prompter;
        // The main window's: where the file dialogs start.
        DialogFolders& folders;
    };
    // The sets read already, and how the main window showed its graph.
    struct Setup {
        CompareSets sets;
        int plotType = kPlotAbsA;
        std::array<int, 4> colours{};  // r | g << 8 | b << 16
        ViewSettings view;
        XAxisType xAxis = XAxisType::SampleNumber;
    };

    CCompareDlg(Env env, Setup setup, QWidget* parent = nullptr);
    ~CCompareDlg() override;

    [[nodiscard]] GraphReading& reading() { return *reading_; }
    [[nodiscard]] CompareSession& session() { return *session_; }
    [[nodiscard]] const CompareSets& sets() const;
    [[nodiscard]] CGraphCtrl& graph() { return *graph_; }

    // Add File(s): the multiple data sets dialog filled with the sets shown.
    void addFiles();
    // The same with the dialog's choice given (tests, and addFiles itself).
    void takeFiles(const std::vector<std::filesystem::path>& files, int plotType, const std::array<int, 4>& colours);
    // Remove File(s): the sets selected in the file list.
    void removeFiles();
    // The X-Axis Offset panel and the EVENT MARKS panel.
    void stepOffset(int set, bool up);
    void resetOffset(int set);
    void setEventMarks(int set, bool on);
    void exportDataSets();
    // The page of the sets as the window shows them.
    [[nodiscard]] GraphPageContent graphPage() const;
    void printGraph();
    void saveGraphImage();
    void saveWindow();
    // View > Analysis: the analysis panel with a column per set and their
    // mean and SD.
    void openAnalysis();
    [[nodiscard]] CAnalysisPanel* analysisPanel() const;
    void setPrintDialog(PrintDialogRunner* dialog) { printDialog_ = dialog; }

    [[nodiscard]] QListWidget* fileList() const { return files_; }
    [[nodiscard]] QLabel* channelLabel() const { return channel_; }
    [[nodiscard]] QLabel* offsetText(int set) const { return offsets_[static_cast<std::size_t>(set)]; }
    [[nodiscard]] QLabel* valueText(int set) const { return values_[static_cast<std::size_t>(set)]; }
    [[nodiscard]] QRadioButton* eventMarkButton(int set, bool on) const;
    // A menu entry by its text ("&Export Data Sets").
    [[nodiscard]] QAction* action(const QString& text) const;

signals:
    // The window was closed: the main window shows itself again.
    void compareClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void makeMenu();
    QWidget* makeFilePanel();
    // A panel with a heading and one row per set, each filled by fillRow.
    QWidget* makeSetPanel(const QString& heading, std::array<QWidget*, kMaxSets>& rows,
                          const std::function<void(int, QWidget*, QHBoxLayout*)>& fillRow);
    QWidget* makeOffsetPanel();
    QWidget* makeEventMarkPanel();
    // The sets changed: the file list, the rows in use, the channel label.
    void setsChanged();
    // The view changed: each set's offset and its value at the main cursor.
    void viewChanged();

    Env env_;
    std::array<int, 4> colours_;
    CGraphCtrl* graph_ = nullptr;
    std::unique_ptr<LiveGraph> liveGraph_;
    std::unique_ptr<GraphReading> reading_;
    std::unique_ptr<CompareSession> session_;
    ChangeNotice::Token listening_;
    CGraphPanel* graphPanel_ = nullptr;
    CGraphReading* readingView_ = nullptr;
    PrintDialogRunner* printDialog_ = nullptr;
    QListWidget* files_ = nullptr;
    QLabel* channel_ = nullptr;
    std::array<QWidget*, kMaxSets> offsetRows_{};
    std::array<QLabel*, kMaxSets> values_{};
    std::array<QLabel*, kMaxSets> offsets_{};
    std::array<QWidget*, kMaxSets> markRows_{};
    std::array<std::array<QRadioButton*, 2>, kMaxSets> marks_{};
    QPointer<CAnalysisPanel> analysis_;
};

}  // namespace corvane
