#pragma once

#include <QDockWidget>
#include <memory>
#include <string>

#include "display/AnalysisState.h"
#include "display/ChangeNotice.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace corvane {

class AnalysisLayer;
class CGraphCtrl;
class GraphView;
class LiveGraph;
class Prompter;

// View > Analysis: the analysis of the runs on show beside the graph. Its
// settings (channel, smoothing, baseline), a table of region areas and
// ratios with the warnings (a row per run, and in a comparison the group's
// mean and SD), copy and save as CSV. While it is open its regions, valleys
// and baseline are on the graph, and the mouse drags the valleys and the
// baseline there; the table follows every change at once.
class CAnalysisPanel : public QDockWidget {
    Q_OBJECT

public:
    // Its width when first docked (pixels): the table's names and three runs.
    static constexpr int kWidth = 440;

    struct Env {
        GraphView& view;
        LiveGraph& graph;
        CGraphCtrl& plot;   // the widget whose mouse it takes first
        Prompter& prompter;
        std::string folder;  // where Save CSV starts
    };

    CAnalysisPanel(Env env, QWidget* parent);
    ~CAnalysisPanel() override;

    // Shows the panel and lays its marks on the graph.
    void open();
    [[nodiscard]] AnalysisState& state() { return state_; }
    [[nodiscard]] AnalysisLayer* layer() const { return layer_.get(); }
    [[nodiscard]] QTableWidget* table() const { return table_; }
    // The CSV put on the clipboard; Save CSV... asks where (an existing file
    // is replaced only when the user says so) and writes it whole.
    void copyTable();
    void saveCsv();
    // Add Profile...: a run or another instrument's profile read and put in
    // the table beside the runs on the graph.
    void addProfile();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void settingsChanged();
    void refreshTable();

    Env env_;
    AnalysisState state_;
    std::unique_ptr<AnalysisLayer> layer_;  // from open() to the panel's close
    ChangeNotice::Token listening_;
    QComboBox* channel_ = nullptr;
    QComboBox* smoothing_ = nullptr;
    QSpinBox* window_ = nullptr;
    QComboBox* baseline_ = nullptr;
    QDoubleSpinBox* level_ = nullptr;
    QPushButton* automatic_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* warnings_ = nullptr;
    bool updating_ = false;
};

}  // namespace corvane
