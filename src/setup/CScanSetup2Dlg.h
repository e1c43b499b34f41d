#pragma once

#include <atomic>
#include <memory>

#include "setup/CUIDlg.h"
#include "setup/PageDispatcher.h"
#include "setup/ScanSetupPage.h"

class QLabel;
class QLineEdit;

namespace corvane {

class CMyComboBox;
class CMyLED;
class CPageWorker;
class PageReader;

// The SCANNING SETUP page's window, modal chain (code 3) or beside the
// graph (code 5): binds its controls to a ScanSetupPage and shows the
// piston position its reader brings. The page buttons report where they
// lead (leave).
class CScanSetup2Dlg : public CUIDlg {
    Q_OBJECT

public:
    // Escape is the close box: a page hidden without leaving leaves no window up.
    void reject() override;
    CScanSetup2Dlg(ScanSetupPage::Env env, Clock& clock, QWidget* parent = nullptr);
    ~CScanSetup2Dlg() override;

    [[nodiscard]] ScanSetupPage& page() { return page_; }
    // The rotor list, then the reader.
    void start();
    [[nodiscard]] QPushButton* button(const QString& caption) const;
    [[nodiscard]] QString status() const;
    [[nodiscard]] bool busy() const;

signals:
    void leave(const corvane::PageStep& step);

protected:
    void periodicRefresh() override;
    void stepsApplied() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showFields();
    void showPosition();
    void distanceEdited();
    void go(SetupPage next, bool goToGraph = false);
    void afterRotorOk(bool ok);

    ScanSetupPage page_;
    CPageWorker* worker_;
    std::unique_ptr<PageReader> reader_;
    std::atomic<double> pistonMm_{0.0};

    CMyComboBox* rotor_ = nullptr;
    QLabel* status_ = nullptr;
    CMyLED* limit_ = nullptr;
    QLabel* instruction_ = nullptr;
    QLabel* position_ = nullptr;
    QLineEdit* distance_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* goToGraph_ = nullptr;
    QWidget* pageButtons_ = nullptr;
};

}  // namespace corvane
