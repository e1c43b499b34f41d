#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>

#include "link/Packets.h"
#include "setup/CUIDlg.h"
#include "setup/LedSetupPage.h"
#include "setup/PageDispatcher.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace corvane {

class CPageWorker;
class PageReader;

// The LED SETUP page's window ("LED Setup", modeless): binds its controls
// to a LedSetupPage and shows the live counts its reader brings. The page
// buttons report where they lead (leave) once the scan settings are sent.
class CLEDSetupDlg : public CUIDlg {
    Q_OBJECT

public:
    // Escape is the close box: a page hidden without leaving leaves no window up.
    void reject() override;
    CLEDSetupDlg(LedSetupPage::Env env, Clock& clock, QWidget* parent = nullptr);
    ~CLEDSetupDlg() override;

    [[nodiscard]] LedSetupPage& page() { return page_; }
    // Setup mode and the unit's configuration, then the reader.
    void start();
    [[nodiscard]] QPushButton* button(const QString& caption) const;
    [[nodiscard]] bool busy() const;

signals:
    void leave(const corvane::PageStep& step);

protected:
    void periodicRefresh() override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showFields();
    void takeFields();
    void showCounts();
    void rateEdited();
    void sendLive(const std::optional<Cmd0Settings>& settings);
    // The second OK and every page button: the settings sent, then away.
    void leaveFor(SetupPage next);
    void startReader();

    LedSetupPage page_;
    CPageWorker* worker_;
    std::unique_ptr<PageReader> reader_;
    std::mutex latestMutex_;
    std::optional<Cmd0> latest_;
    bool blank_ = false;
    bool leaving_ = false;

    QLineEdit* wavelengthA_ = nullptr;
    QLineEdit* wavelengthB_ = nullptr;
    QLineEdit* perMm_ = nullptr;
    QLineEdit* speed_ = nullptr;
    QLabel* rate_ = nullptr;
    QComboBox* duty_ = nullptr;
    QComboBox* pc_ = nullptr;
    QLabel* instruction_ = nullptr;
    std::array<QLabel*, 4> counts_{};  // A sample, A source, B sample, B source
};

}  // namespace corvane
