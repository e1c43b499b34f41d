#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DialogFolders.h"
#include "app/QtWindowPoster.h"
#include "display/MainWindowLogic.h"
#include "display/LiveGraph.h"
#include "recording/RunDisplay.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace corvane {

class AcquisitionSession;
class BridgeLibrary;
class CAnalysisPanel;
class CChannelPanel;
class CCheckListDlg;
class CCompareDlg;
class CCommandPanel;
class CGraphCtrl;
class CGraphPanel;
class CGraphReading;
class CMainMenu;
class CPacketDebugDlg;
class CSetupPages;
class CKelvoSetupPages;
class CStatusLines;
class Clock;
class LiveGraph;
class PrintDialogRunner;
struct GraphPageContent;
class Prompter;
class QtConnectionDriver;
class RecordingController;
class SerialPortApi;
class WindowInstruments;

// The program's main window: the composition of its panels (channels,
// graph with its axis controls, commands, status lines, menu) over the
// window's logic (MainWindowLogic) and its instruments (WindowInstruments).
// It turns posted UserMsgs into calls on the window's thread and runs the
// close sequence's turns.
//
// Threads: the recording commands and the connection steps run on the
// device worker, one at a time; the controls that must not be pressed
// meanwhile are disabled. The RunDisplay calls come from that worker and
// from the receive thread; they reach the widgets only through the live
// feed, the status lines' lock and posted messages.
class CMainDlg : public QMainWindow, public RunDisplay {
    Q_OBJECT

public:
    struct Seams {
        std::filesystem::path startupFolder;
        Clock& clock;
        Prompter& prompter;
        SerialPortApi& ports;
        // The bridge library the link will reach the unit through; null
        // when none is available.
        BridgeLibrary* bridge = nullptr;
        // " (simulated instrument)" when the instruments are simulated.
        std::string captionSuffix;
        // The first show's work (ports, preferences, connection, INTRO)
        // starts by itself when the window first appears; tests drive it.
        bool autoFirstShow = true;
    };

    explicit CMainDlg(Seams seams, QWidget* parent = nullptr);
    ~CMainDlg() override;

    [[nodiscard]] MainWindowLogic& logic() { return *logic_; }
    [[nodiscard]] WindowPoster& poster() { return poster_; }
    [[nodiscard]] CGraphCtrl& graph() { return *graph_; }
    [[nodiscard]] WindowInstruments& instruments() { return *instruments_; }
    // The setup pages and the commands that lead there.
    [[nodiscard]] CSetupPages& setupPages() { return *setupPages_; }
    // The Kelvo unit's set-up chain: LED SETUP, CALIBRATE, SCANNING SETUP.
    [[nodiscard]] CKelvoSetupPages& kelvoPages() { return *kelvoPages_; }

    // Makes the program's connection to the instruments of the seams (the
    // acquisition session with the connection window as its driver) and the
    // recording controller, and binds both. Before the first show; needs a
    // bridge library.
    void attachInstruments();
    // Null before attachInstruments().
    [[nodiscard]] AcquisitionSession* acquisitionSession() const;
    [[nodiscard]] RecordingController* recordingController() const;
    [[nodiscard]] QtConnectionDriver* connectionDriver() const { return driver_.get(); }

    // The recording controller and the instrument session, when the program
    // has them; null unbinds. Their commands and the connection run on the
    // window's device worker; the controls that need them follow.
    void bindRecording(RecordingCommands* recording);
    void bindSession(InstrumentSession* session);
    // A device job runs or waits.
    [[nodiscard]] bool deviceBusy() const;

    // --- RunDisplay (any thread) ---
    void clearTraces() override;
    void addSample(const SampleRecord& record) override;
    void redraw() override;
    void setDe1Span(double mm) override;
    void showPositionAndSpeed(double positionMm, double speedMmPerS) override;

    // The INTRO page, modal, with the main window hidden meanwhile: the
    // name typed, or nothing when the operator chose to exit (the window
    // then closes, and with it the program).
    std::optional<std::string> runIntroPage(bool instrumentFound);

    // The check list window (UserMsg 22 and 23 open it).
    void openChecklist(bool detailed);
    [[nodiscard]] CCheckListDlg* checklist() const;
    // The three packet debug windows (Ctrl+D, with a link).
    void openDebugWindows();
    [[nodiscard]] CPacketDebugDlg* debugWindow(int kind) const;

    // Print Graph, Save Graph Image and SAVE WINDOW, each showing its own
    // failure message. Tests hand in a print dialog that prints to a file.
    void printGraph();
    void saveGraphImage();
    void saveWindow();
    void setPrintDialog(PrintDialogRunner* dialog) { printDialog_ = dialog; }
    // The graph page as the window shows it now, for printing and images.
    [[nodiscard]] GraphPageContent graphPage() const;
    // The live run as the legend and the page name it: the file of the run
    // recording (or the last one), else "Live run".
    [[nodiscard]] std::string liveRunName() const;

    // The first show's work: ports, preferences, connection. Runs once,
    // queued after the window first appears; tests may call it directly.
    void firstShow();
    // Brings every control up to date with the logic.
    void updateAll();

    // Widgets, for tests and screenshots.
    [[nodiscard]] QCheckBox* channelBox(int channel) const;
    [[nodiscard]] QLabel* readout(int channel) const;
    [[nodiscard]] QLabel* recordedLabel() const;
    [[nodiscard]] QPushButton* recordButton() const;
    [[nodiscard]] QPushButton* zeroButton() const;
    [[nodiscard]] QPushButton* pauseButton() const;
    [[nodiscard]] QPushButton* refreshButton() const;
    [[nodiscard]] QPushButton* newRunButton() const;
    [[nodiscard]] QComboBox* portList() const;
    [[nodiscard]] QLineEdit* axisEdit(AxisBox box) const;
    [[nodiscard]] QCheckBox* yAutoBox() const;
    [[nodiscard]] QCheckBox* yyAutoBox() const;
    [[nodiscard]] QCheckBox* gridBox() const;
    [[nodiscard]] QLineEdit* windowEdit(bool mm) const;
    [[nodiscard]] QRadioButton* xTypeRadio(bool mm) const;
    [[nodiscard]] QAction* action(const QString& text) const;
    [[nodiscard]] QLabel* statusLine(int index) const;
    [[nodiscard]] CGraphPanel& graphPanel() const { return *graphPanel_; }
    [[nodiscard]] CChannelPanel& channelPanel() const { return *channels_; }
    [[nodiscard]] CGraphReading& graphReading() const { return *reading_; }
    [[nodiscard]] const Seams& seams() const { return seams_; }
    [[nodiscard]] DialogFolders& folders() { return folders_; }

    // "Compare &Data Sets" (and the USER pages' button): the multiple data
    // sets dialog, then the compare window in place of this one.
    void compareDataSets();
    // Its second half, after the dialog's OK: the runs read (a message and
    // this window shown again when one cannot be), then the compare window.
    bool openCompare(const std::vector<std::string>& files, int plotType, const std::array<int, 4>& colours);
    // "&Export Data Sets" of this window: it holds no sets (the compare
    // window exports its own).
    void exportDataSets();
    // The compare window while it is open.
    [[nodiscard]] CCompareDlg* compareWindow() const;
    // View > Analysis: the analysis panel docked beside the graph.
    void openAnalysis();
    [[nodiscard]] CAnalysisPanel* analysisPanel() const;

signals:
    // The close sequence has run to its end: the program ends.
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CChannelPanel* channels_ = nullptr;
    CStatusLines* statusLines_ = nullptr;
    CGraphPanel* graphPanel_ = nullptr;
    CGraphReading* reading_ = nullptr;
    CCommandPanel* commands_ = nullptr;
    CMainMenu* menu_ = nullptr;

    void handleMessage(UserMsg msg, std::int64_t a, std::int64_t b, const std::any& payload);
    void bindLogic();
    void updateReadouts();
    void updateCommands();
    void updateStatus();
    // The graph's commands, axis texts and titles after the view changed.
    void updateGraph();
    void connectGraphReading();
    void destroyModeless();
    // On the window's thread after every device job.
    void jobEnded();
    // The piston's position and speed from the running stream, when the
    // unit streams it.
    void showStreamedPosition();
    // The INTRO page is still due and nothing else will show it.
    void showIntroIfDue();
    // The DE-1 summary of the status lines, after the settings changed.
    void updateDe1Summary();
    void fractionAdvance();
    // The piston stopped at the end of the scan distance while recording.
    void scanEnded(double travelledMm);
    [[nodiscard]] std::optional<WindowKey> windowKey(const QKeyEvent& key) const;

    Seams seams_;
    // Where every file dialog of the program starts; the window's logic and
    // the recording controller share it.
    DialogFolders folders_;
    CGraphCtrl* graph_ = nullptr;
    std::unique_ptr<LiveGraph> liveGraph_;
    QtWindowPoster poster_;
    std::unique_ptr<MainWindowLogic> logic_;
    ChangeNotice::Token listening_;
    // After the logic: the receive thread it feeds ends first.
    std::unique_ptr<WindowInstruments> instruments_;
    std::unique_ptr<QtConnectionDriver> driver_;
    PrintDialogRunner* printDialog_ = nullptr;
    bool firstShowDone_ = false;
    bool introShown_ = false;
    // The record button stopped a two-channel run: the Scan Setup command
    // follows once the device worker is done with the stop.
    bool scanSetupAfterRun_ = false;
    bool closed_ = false;

    CSetupPages* setupPages_ = nullptr;
    CKelvoSetupPages* kelvoPages_ = nullptr;
    QPointer<CCheckListDlg> checklist_;
    QPointer<CCompareDlg> compareWindow_;
    QPointer<CAnalysisPanel> analysis_;
    std::array<QPointer<CPacketDebugDlg>, 3> debug_;
};

// Shows the window and runs the program's event loop until the window's
// close sequence has ended; the loop's exit code.
int runMainWindow(CMainDlg& window);

}  // namespace corvane
