#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "compare/CompareSets.h"
#include "desktop/CMainDlg.h"

class QHBoxLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QString;
class QWidget;

namespace corvane {

// The compare window: a window of the main window's kind, made of the same
// panels, that shows two to four saved runs in one graph instead of a live
// or loaded run. It has no instruments (no link, no receive thread, no
// INTRO page): the channel, status and command panels give way to the file
// list with Add File(s) and Remove File(s), the X-Axis Offset panel and the
// EVENT MARKS panel. AUTO-ALIGN, RESET ALIGNMENT, the trace drag and the
// gain and offset panels work on its sets. Closing it shows the main window
// again.
class CCompareDlg : public CMainDlg {
    Q_OBJECT

public:
    static constexpr int kMaxSets = 4;
    // One "+" or "-" press moves a set this many samples (held, it repeats).
    static constexpr double kOffsetStep = 1.0;

    struct Setup {
        CompareSets sets;
        int plotType = kPlotAbsA;
        std::array<int, 4> colours{};  // r | g << 8 | b << 16
        ViewSettings view;             // the main window's axes and switches
        XAxisType xAxis = XAxisType::SampleNumber;
    };

    CCompareDlg(const CMainDlg::Seams& seams, Setup setup);

    [[nodiscard]] const CompareSets& sets() const { return sets_; }

    // Add File(s): the multiple data sets dialog filled with the sets shown.
    void addFiles();
    // The same with the dialog's choice given (tests, and addFiles itself).
    void takeFiles(const std::vector<std::filesystem::path>& files, int plotType, const std::array<int, 4>& colours);
    // Remove File(s): the sets selected in the file list.
    void removeFiles();
    // The X-Axis Offset panel and the EVENT MARKS panel.
    void stepOffset(int set, bool up);
    void resetOffset(int set);
    void setEventMarks(int set, bool on);

    // The compare window runs no Compare Data Sets of its own.
    void compareDataSets() override {}
    void exportDataSets() override;

    [[nodiscard]] QListWidget* fileList() const { return files_; }
    [[nodiscard]] QLabel* channelLabel() const { return channel_; }
    [[nodiscard]] QLabel* offsetText(int set) const { return offsets_[static_cast<std::size_t>(set)]; }
    [[nodiscard]] QLabel* valueText(int set) const { return values_[static_cast<std::size_t>(set)]; }
    [[nodiscard]] QRadioButton* eventMarkButton(int set, bool on) const;

signals:
    // The window was closed: the main window shows itself again.
    void compareClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void viewUpdated() override;

private:
    QWidget* makeFilePanel();
    // A panel with a heading and one row per set, each filled by fillRow.
    QWidget* makeSetPanel(const QString& heading, std::array<QWidget*, kMaxSets>& rows,
                          const std::function<void(int, QWidget*, QHBoxLayout*)>& fillRow);
    QWidget* makeOffsetPanel();
    QWidget* makeEventMarkPanel();
    // Caption, file list, channel label, ranges, panels and graph after the
    // sets changed; keepX is the x range shown before, when it stays.
    void setUp(std::optional<AxisRange> keepX);

    CompareSets sets_;
    int plotType_;
    std::array<int, 4> colours_;
    QListWidget* files_ = nullptr;
    QLabel* channel_ = nullptr;
    std::array<QWidget*, kMaxSets> offsetRows_{};
    std::array<QLabel*, kMaxSets> values_{};
    std::array<QLabel*, kMaxSets> offsets_{};
    std::array<QWidget*, kMaxSets> markRows_{};
    std::array<std::array<QRadioButton*, 2>, kMaxSets> marks_{};
};

}  // namespace corvane
