#pragma once

#include <QDialog>
#include <QWidget>
#include <optional>

#include "setup/De1SetupPage.h"
#include "setup/OverlayPlanEditor.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace corvane {

class CHoverDistandVolDlg;
class CMySpinButtonCtrl;
class Prompter;

// "Number of Fractions": "Enter number of fractions in Zone %d:", the number
// with its arrows, OK. OK stores the number in the editor's zone; a number
// that does not pass keeps the dialog open after its message.
class CNumFractionsDlg : public QDialog {
    Q_OBJECT

public:
    CNumFractionsDlg(OverlayPlanEditor& editor, std::size_t zone, Prompter& prompter, QWidget* parent = nullptr);
    [[nodiscard]] QLineEdit* numberEdit() const { return edit_; }
    void accept() override;

private:
    OverlayPlanEditor& editor_;
    std::size_t zone_;
    Prompter& prompter_;
    QLineEdit* edit_;
};

// The plot of the STANDARD RUN window: the run's trace, each zone's right
// boundary as a line to drag, the zones' labels and fraction cuts, and the
// end marker.
class COverlayPlanPlot : public QWidget {
    Q_OBJECT

public:
    COverlayPlanPlot(OverlayPlanEditor& editor, QWidget* parent = nullptr);

    // The y range shown; nothing for the trace's own.
    void setYRange(std::optional<std::pair<double, double>> range);
    [[nodiscard]] std::pair<double, double> autoYRange() const;
    // Where zone k's boundary is drawn, in widget pixels (for tests and
    // scripted drags).
    [[nodiscard]] int boundaryPixel(std::size_t zone) const;

signals:
    // A boundary was let go: the zone whose end it is.
    void boundaryReleased(std::size_t zone);
    void hovered(std::optional<QPoint> at, double distanceMm, double volumeMl);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    [[nodiscard]] QRect plotRect() const;
    [[nodiscard]] double xMaxShown() const;
    [[nodiscard]] int px(double mm) const;
    [[nodiscard]] double mmAt(int x) const;
    [[nodiscard]] int py(double y) const;
    [[nodiscard]] std::pair<double, double> yRange() const;

    OverlayPlanEditor& editor_;
    std::optional<std::pair<double, double>> yRange_;
    std::optional<std::size_t> dragging_;
};

// The STANDARD RUN window: the plot, CREATE ZONE, the y axis controls,
// DONE (checks and saves, then closes), Cancel and REVIEW SCAN SETUP.
class COverlayPlanDlg : public QDialog {
    Q_OBJECT

public:
    COverlayPlanDlg(OverlayPlanEditor::Env env, std::filesystem::path source, const RunDataFile& run,
                    OverlayPlan plan, QWidget* parent = nullptr);
    ~COverlayPlanDlg() override;

    [[nodiscard]] OverlayPlanEditor& editor() { return editor_; }
    [[nodiscard]] COverlayPlanPlot* plot() const { return plot_; }
    // Asks the number of fractions of a zone (CNumFractionsDlg).
    void askFractions(std::size_t zone);
    void accept() override;
    // REVIEW SCAN SETUP: the DE-1 SETUP page ("SCAN SETUP") with this
    // window's zones in its zone table. Leaving it by GRAPH brings the zones
    // back as checked and stored there, with its collection vessel; any
    // other way out leaves the window's zones as they were. Without a page
    // environment the button stays disabled.
    void setScanSetup(De1SetupPage::Env env);
    void reviewScanSetup();
    // COLLECTION VOLUME: the "Collection Vessel Volume" dialog; its OK is
    // the vessel DONE checks the zones against, and the window's.
    void collectionVolume();

private:
    void createZone();
    void applyYControls();

    Prompter& prompter_;
    OverlayPlanEditor editor_;
    COverlayPlanPlot* plot_;
    QLineEdit* yMax_;
    QLineEdit* yMin_;
    QCheckBox* yAuto_;
    QPushButton* review_;
    QPushButton* vessel_;
    CHoverDistandVolDlg* hover_;
    std::optional<De1SetupPage::Env> scanSetup_;
};

}  // namespace corvane
