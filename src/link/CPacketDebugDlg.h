#pragma once

#include <QDialog>
#include <atomic>
#include <thread>
#include <vector>

#include "link/PacketDebugMonitor.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class Clock;
class PacketDebugLink;
class Prompter;

// The common window of the three packet debug windows: the packet count,
// every field of the last packet, "Pause"/"Resume", and for CMD0 and CMD1
// "Send Settings". Packets arrive through received() on the link's thread.
// Without a link the window shows nothing and sends nothing.
class CPacketDebugDlg : public QDialog {
    Q_OBJECT

public:
    CPacketDebugDlg(PacketDebugMonitor::Kind kind, Clock& clock, Prompter& prompter,
                    QWidget* parent = nullptr);
    ~CPacketDebugDlg() override;

    // The link the window sends through; null disables the window.
    void setLink(PacketDebugLink* link);

    // From the link's reading thread.
    void received(const Cmd0& packet);
    void received(const Cmd1& packet);
    void received(const Cmd2& packet);

    [[nodiscard]] PacketDebugMonitor& monitor() { return monitor_; }
    [[nodiscard]] QLabel* countLabel() const { return count_; }
    [[nodiscard]] QPushButton* pauseButton() const { return pause_; }
    [[nodiscard]] QPushButton* sendButton() const { return send_; }
    // The editable fields, in the order sendSettings takes them.
    [[nodiscard]] const std::vector<QLineEdit*>& edits() const { return edits_; }
    // Runs "Send Settings" and waits for it (tests).
    void sendAndWait();

public slots:
    void refreshView();

private:
    void startSend();
    void joinSend();
    void queueRefresh(bool due);

    PacketDebugMonitor monitor_;
    Prompter& prompter_;
    PacketDebugLink* link_ = nullptr;
    QLabel* count_;
    QPushButton* pause_;
    QPushButton* send_ = nullptr;
    std::vector<QLabel*> values_;     // read-only fields, or null for an editable one
    std::vector<QLineEdit*> allEdits_;  // per field: the edit, or null
    std::vector<QLineEdit*> edits_;
    std::jthread sendJob_;
    std::atomic<bool> sending_{false};
};

}  // namespace corvane
