#pragma once

#include <QObject>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QString;

namespace corvane {

class MainWindowLogic;

// The main window's menu bar: File, View and Help.
class CMainMenu : public QObject {
    Q_OBJECT

public:
    CMainMenu(MainWindowLogic& logic, QMainWindow& window);

    // "Close File" / "Close Files" and what may be chosen now.
    void update();
    void setAxisLabelsChecked(bool on);
    void setLegendChecked(bool on);
    // An entry by its text ("&Open Data File"), in any menu.
    [[nodiscard]] QAction* action(const QString& text) const;

signals:
    // "E&xit": the window's close sequence.
    void exitRequested();
    // "Compare &Data Sets" and "&Export Data Sets".
    void compareRequested();
    void exportRequested();
    // View: "Add / Remove Cursor(s)", "Graphing Window Size", "Axis Labels",
    // the gain and offset panels.
    void cursorsRequested();
    void windowSizeRequested();
    void axisLabelsToggled(bool on);
    void legendToggled(bool on);
    void gainsRequested(bool xAxis);
    void offsetsRequested();
    // "&Analysis": the analysis panel beside the graph.
    void analysisRequested();
    // "Absorbance Units Full Scale...": the AUFS dialog.
    void aufsRequested();
    void printRequested();
    void saveGraphImageRequested();
    void saveBufferedRequested();
    void scanSetupRequested();
    // "C&reate Standard Run": a run file into the STANDARD RUN window.
    void createStandardRunRequested();

private:
    MainWindowLogic& logic_;
    QMainWindow& window_;
    QAction* closeData_ = nullptr;
    QAction* rescue_ = nullptr;
    QAction* axisLabels_ = nullptr;
    QAction* legend_ = nullptr;
    QAction* saveBuffered_ = nullptr;
    QAction* scanSetup_ = nullptr;

public:
    // The entries whose state the window decides.
    [[nodiscard]] QAction* saveBufferedAction() const { return saveBuffered_; }
    [[nodiscard]] QAction* scanSetupAction() const { return scanSetup_; }
};

}  // namespace corvane
