#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/DialogFolders.h"
#include "app/QtWindowPoster.h"
#include "desktop/MainWindowLogic.h"
#include "recording/RunDisplay.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace corvane {

class AcquisitionSession;
class BridgeLibrary;
class CCheckListDlg;
class CGraphCtrl;
class CPacketDebugDlg;
class Clock;
class DeviceJobs;
class Prompter;
class QtConnectionDriver;
class QueuedRecording;
class QueuedSession;
class RecordingController;
class SerialPortApi;

// The program's main window: the live graph with its axis controls, the
// channel switches and readouts, the record buttons, the AUFS selector, the
// port list, the instrument status lines and the menu. The decisions live in
// MainWindowLogic; this class binds the widgets to it and turns posted
// UserMsgs into calls on the window's thread.
//
// Threads: the recording commands and the connection steps run on the
// window's device worker (DeviceJobs), one at a time; the controls that must
// not be pressed meanwhile are disabled. The RunDisplay calls come from that
// worker and from the receive thread and reach the widgets only through the
// logic's lock and posted messages.
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
    [[nodiscard]] BridgeLibrary* bridgeLibrary() const { return seams_.bridge; }

    // Makes the program's connection to the instruments of the seams (the
    // acquisition session with the connection window as its driver) and the
    // recording controller, and binds both. Before the first show; needs a
    // bridge library.
    void attachInstruments();
    // Null before attachInstruments().
    [[nodiscard]] AcquisitionSession* acquisitionSession() const { return ownSession_.get(); }
    [[nodiscard]] RecordingController* recordingController() const { return ownRecording_.get(); }
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
    // then closes).
    std::optional<std::string> runIntroPage(bool instrumentFound);

    // The check list window (UserMsg 22 and 23 open it).
    void openChecklist(bool detailed);
    [[nodiscard]] CCheckListDlg* checklist() const;
    // The three packet debug windows (Ctrl+D, with a link).
    void openDebugWindows();
    [[nodiscard]] CPacketDebugDlg* debugWindow(int kind) const;

    // The first show's work: ports, preferences, connection. Runs once,
    // queued after the window first appears; tests may call it directly.
    void firstShow();
    // Brings every control up to date with the logic.
    void updateAll();

    // Widgets, for tests and screenshots.
    [[nodiscard]] QCheckBox* channelBox(int channel) const { return channelBoxes_[static_cast<std::size_t>(channel)]; }
    [[nodiscard]] QLabel* readout(int channel) const { return readouts_[static_cast<std::size_t>(channel)]; }
    [[nodiscard]] QLabel* recordedLabel() const { return recorded_; }
    [[nodiscard]] QPushButton* recordButton() const { return record_; }
    [[nodiscard]] QPushButton* zeroButton() const { return zero_; }
    [[nodiscard]] QPushButton* pauseButton() const { return pause_; }
    [[nodiscard]] QPushButton* refreshButton() const { return refresh_; }
    [[nodiscard]] QComboBox* portList() const { return portList_; }
    [[nodiscard]] QLineEdit* axisEdit(AxisBox box) const;
    [[nodiscard]] QCheckBox* yAutoBox() const { return yAuto_; }
    [[nodiscard]] QCheckBox* yyAutoBox() const { return yyAuto_; }
    [[nodiscard]] QCheckBox* gridBox() const { return grid_; }
    [[nodiscard]] QLineEdit* windowEdit(bool mm) const { return mm ? windowMmEdit_ : windowSamplesEdit_; }
    [[nodiscard]] QRadioButton* xTypeRadio(bool mm) const { return mm ? xTypeMm_ : xTypeNumber_; }
    [[nodiscard]] QAction* action(const QString& text) const;
    [[nodiscard]] QLabel* statusLine(int index) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct AxisControl;

    void buildMenu();
    QWidget* buildChannelPanel();
    QWidget* buildGraphPanel();
    QWidget* buildCommandPanel();
    AxisControl* makeAxisControl(AxisBox box, const QString& caption, QWidget* parent);
    void handleMessage(UserMsg msg, std::int64_t a, std::int64_t b, const std::any& payload);
    void updateReadouts();
    void updateAxisTexts(bool includeFocused);
    void updateStatus();
    void updateCommands();
    void updateChannelControls();
    void updateMenu();
    void fillPortList();
    void destroyModeless();
    // On the window's thread after every device job.
    void jobEnded();
    // The piston's position and speed from the running stream, when the
    // unit streams it.
    void showStreamedPosition();
    // The INTRO page is still due and nothing else will show it.
    void showIntroIfDue();
    [[nodiscard]] std::optional<WindowKey> windowKey(const QKeyEvent& key) const;

    Seams seams_;
    // Where every file dialog of the program starts; the window's logic and
    // the recording controller share it.
    DialogFolders folders_;
    CGraphCtrl* graph_ = nullptr;
    std::unique_ptr<LiveGraph> liveGraph_;
    QtWindowPoster poster_;
    std::unique_ptr<MainWindowLogic> logic_;
    // The bound pieces themselves; the logic holds their queued fronts.
    InstrumentSession* session_ = nullptr;
    RecordingCommands* recording_ = nullptr;
    std::unique_ptr<DeviceJobs> jobs_;
    std::unique_ptr<QueuedRecording> queuedRecording_;
    std::unique_ptr<QueuedSession> queuedSession_;
    // What attachInstruments() made.
    std::unique_ptr<QtConnectionDriver> driver_;
    std::unique_ptr<AcquisitionSession> ownSession_;
    std::unique_ptr<RecordingController> ownRecording_;
    bool firstShowDone_ = false;
    bool introShown_ = false;
    bool closing_ = false;
    // The close request waits for a device job (the recording's stop with
    // its save question among them) and comes back when it has ended.
    bool closeStarted_ = false;
    bool closePending_ = false;
    bool closeStopAsked_ = false;

    std::array<QCheckBox*, kChannelCount> channelBoxes_{};
    std::array<QLabel*, kChannelCount> readouts_{};
    QLabel* recorded_ = nullptr;
    QComboBox* portList_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* zero_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* upperLimit_ = nullptr;
    std::array<QRadioButton*, 8> aufs_{};
    QLabel* aufsLabel_ = nullptr;
    QRadioButton* marksShown_ = nullptr;
    QRadioButton* marksHidden_ = nullptr;
    std::array<std::unique_ptr<AxisControl>, 4> axes_;
    QCheckBox* yAuto_ = nullptr;
    QCheckBox* yyAuto_ = nullptr;
    QCheckBox* grid_ = nullptr;
    QRadioButton* xTypeMm_ = nullptr;
    QRadioButton* xTypeNumber_ = nullptr;
    QLineEdit* windowMmEdit_ = nullptr;
    QLineEdit* windowSamplesEdit_ = nullptr;
    std::array<QLabel*, 5> status_{};
    QMenu* fileMenu_ = nullptr;
    QAction* closeData_ = nullptr;
    QAction* rescue_ = nullptr;
    QAction* saveGraphData_ = nullptr;

    QPointer<CCheckListDlg> checklist_;
    std::array<QPointer<CPacketDebugDlg>, 3> debug_;
};

}  // namespace corvane
