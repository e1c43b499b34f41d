#pragma once

#include <QDialog>
#include <optional>

#include "link/Packets.h"
#include "setup/ScanSettingsForm.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class CPageWorker;
class LinkHost;
class SetupHost;
class SetupUnit;
struct LinkStats;

// The single-window "Scan Setup" beside the graph: made once when the unit
// has warmed up, refreshed by every heartbeat's statistics. OK and Apply
// send the whole configuration; the piston buttons drive the unit on the
// window's own worker, so the window keeps painting.
class CScanSetupDlg : public QDialog {
    Q_OBJECT

public:
    struct Env {
        ScanSettingsForm::Env form;
        SetupHost& host;
        SetupUnit& unit;
        LinkHost& linkHost;
    };

    CScanSetupDlg(Env env, const std::string& rotorModel, QWidget* parent = nullptr);
    ~CScanSetupDlg() override;

    [[nodiscard]] ScanSettingsForm& form() { return form_; }
    void showLinkStats(const LinkStats& stats, const std::optional<Cmd2>& streamed);
    [[nodiscard]] QPushButton* button(const QString& caption) const;
    [[nodiscard]] QLineEdit* field(int index) const;  // distance, duty, top, bottom, speed, rate
    [[nodiscard]] QComboBox* pcList() const { return pc_; }
    // The four live lines, one under the other.
    [[nodiscard]] QString liveText() const;
    [[nodiscard]] bool busy() const;

signals:
    // Start/Stop Scan started (true) or ended (false) a scan this window
    // drives itself: the recording's scan-setup mode.
    void scanningChanged(bool scanning);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showFields();
    void readFields();
    // OK and Apply: the form's checks here, the send on the worker.
    void apply(bool thenClose);
    void startStopScan();

    Env env_;
    ScanSettingsForm form_;
    CPageWorker* worker_;
    bool scanning_ = false;  // the worker's: the last Start/Stop Scan started one
    QLineEdit* fields_[6] = {};
    QLabel* topLabel_ = nullptr;
    QLabel* bottomLabel_ = nullptr;
    QComboBox* pc_ = nullptr;
    QLabel* live_[4] = {};
};

}  // namespace corvane
