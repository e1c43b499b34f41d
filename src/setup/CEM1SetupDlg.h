#pragma once

#include <QDialog>
#include <array>

#include "setup/De1SetupPage.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QPushButton;
class QTableWidget;

namespace corvane {

class CMyEdit;

// The DE-1 SETUP page's window ("SCAN SETUP", modeless): binds its controls
// to a De1SetupPage. USER and GRAPH report where they lead (leave); the close
// box gives the window back (closed).
class CEM1SetupDlg : public QDialog {
    Q_OBJECT

public:
    // Escape is the close box: a page hidden without leaving leaves no window up.
    void reject() override;
    CEM1SetupDlg(De1SetupPage::Env env, QWidget* parent = nullptr);

    [[nodiscard]] De1SetupPage& page() { return page_; }
    // The controls as the page's fields say (a check list's setup item asks
    // for it too).
    void refresh();
    // What the controls hold, into the page.
    void takeFields();

    [[nodiscard]] QPushButton* button(const QString& caption) const;
    [[nodiscard]] CMyEdit* field(De1SetupPage::Spin which) const;
    [[nodiscard]] CMyEdit* tubingEdit() const { return tubing_; }
    [[nodiscard]] QCheckBox* marksBox() const { return marks_; }
    [[nodiscard]] QTableWidget* zoneTable() const { return zones_; }

signals:
    void leave(const corvane::PageStep& step);
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* makeSettings();
    QWidget* makeFractions();
    QWidget* makeZones();
    QWidget* makePeaks();
    // The Peaks fields, in PeakFields' order, and where each lives in it.
    [[nodiscard]] std::array<std::string*, 8> peakTexts();
    void showZones();
    void showMarks();
    void finish(const std::optional<PageStep>& step);

    De1SetupPage page_;
    bool finished_ = false;
    QButtonGroup* aufs_ = nullptr;
    QComboBox* wavelength_ = nullptr;
    QComboBox* rates_ = nullptr;
    QButtonGroup* start_ = nullptr;
    QCheckBox* autozero_ = nullptr;
    QCheckBox* marks_ = nullptr;
    CMyEdit* tubing_ = nullptr;
    std::array<CMyEdit*, 6> fields_{};  // by De1SetupPage::Spin
    QTableWidget* zones_ = nullptr;
    QCheckBox* peaksOn_ = nullptr;
    std::array<CMyEdit*, 8> peakEdits_{};
};

}  // namespace corvane
