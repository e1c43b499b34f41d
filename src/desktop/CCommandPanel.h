#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace corvane {

class MainWindowLogic;

// The window's right column: the port list ("COM Port"), the record buttons
// and the setup commands, the AUFS selector, the event-mark switch and the
// save buttons.
class CCommandPanel : public QWidget {
    Q_OBJECT

public:
    // describePort names the device behind a port number (the list's
    // tooltips); busy tells whether a device job waits or runs.
    CCommandPanel(MainWindowLogic& logic, std::function<std::string(int)> describePort,
                  std::function<bool()> busy, QWidget* parent);

    // Captions and which buttons may be pressed now.
    void updateCommands();
    void fillPortList();
    // The AUFS step and label, the event-mark switch.
    void updateDe1Controls();
    // The AUFS dialog: a step chosen there is taken as the AUFS buttons take it.
    void chooseAufs();

    [[nodiscard]] QPushButton* recordButton() const { return record_; }
    [[nodiscard]] QPushButton* zeroButton() const { return zero_; }
    [[nodiscard]] QPushButton* pauseButton() const { return pause_; }
    [[nodiscard]] QPushButton* refreshButton() const { return refresh_; }
    [[nodiscard]] QPushButton* upperLimitButton() const { return upperLimit_; }
    [[nodiscard]] QComboBox* portList() const { return portList_; }

    // Whether the Scan Setup command has a page to open now.
    void setScanSetupAvailable(std::function<bool()> available) { scanSetupAvailable_ = std::move(available); }
    [[nodiscard]] QPushButton* userPageButton() const { return userPage_; }
    [[nodiscard]] QPushButton* scanSetupButton() const { return scanSetup_; }
    [[nodiscard]] QPushButton* newRunButton() const { return newRun_; }

signals:
    void userPageRequested();
    void scanSetupRequested();
    void newRunRequested();
    // A new port was chosen (the window shows what follows).
    void portChosen();
    // A command ran that changes the readouts or the axes (REFRESH, AUFS).
    void displayChanged();
    // SAVE WINDOW and SAVE GRAPH.
    void saveWindowRequested();
    void saveGraphRequested();

private:
    QWidget* makeRecordButtons();
    QWidget* makeAufs();
    void aufsChosen(int step);
    QWidget* makeEventMarks();

    MainWindowLogic& logic_;
    std::function<std::string(int)> describePort_;
    std::function<bool()> busy_;
    QComboBox* portList_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* zero_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* upperLimit_ = nullptr;
    QPushButton* userPage_ = nullptr;
    QPushButton* scanSetup_ = nullptr;
    QPushButton* newRun_ = nullptr;
    std::function<bool()> scanSetupAvailable_;
    std::array<QRadioButton*, 8> aufs_{};
    QLabel* aufsLabel_ = nullptr;
    QRadioButton* marksShown_ = nullptr;
    QRadioButton* marksHidden_ = nullptr;
};

}  // namespace corvane
