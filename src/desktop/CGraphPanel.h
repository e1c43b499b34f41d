#pragma once

#include <QWidget>
#include <array>

#include "display/ChangeNotice.h"
#include "display/GraphView.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace corvane {

class CGraphCtrl;
class CGraphFrame;
class GraphReading;

// The graph with its axis controls: the four axis boxes with their spins,
// the x-axis type, the window size boxes, the grid and auto-scale switches,
// and the overlay and standard-run controls under it. The controls follow
// the view's change notice.
class CGraphPanel : public QWidget {
    Q_OBJECT

public:
    CGraphPanel(GraphReading& reading, CGraphCtrl& graph, QWidget* parent);

    // The boxes' texts; a box being typed into keeps its text unless
    // includeFocused.
    void updateAxisTexts(bool includeFocused);
    // Which axis controls show (the Y ones need a Y channel, the YY ones
    // the ratio), the switches' states and the x-axis type.
    void updateControls();

    [[nodiscard]] QLineEdit* axisEdit(AxisBox box) const;
    [[nodiscard]] QCheckBox* yAutoBox() const { return yAuto_; }
    [[nodiscard]] QCheckBox* yyAutoBox() const { return yyAuto_; }
    [[nodiscard]] QCheckBox* gridBox() const { return grid_; }
    [[nodiscard]] QLineEdit* windowEdit(bool mm) const { return mm ? windowMm_ : windowSamples_; }
    [[nodiscard]] QRadioButton* xTypeRadio(bool mm) const {
        return xTypes_[static_cast<std::size_t>(mm ? XAxisType::Millimetres : XAxisType::SampleNumber)];
    }
    [[nodiscard]] CGraphFrame& frame() const { return *frame_; }
    // The overlay and standard-run captions, RESET's state, the POSITION box.
    void updateGraphCommands();
    // A command button by its caption ("AUTO-ALIGN", "FOCUS", ...); the
    // RESET beside the window size is "RESET (window)".
    [[nodiscard]] QPushButton* commandButton(const QString& caption) const;
    [[nodiscard]] QLineEdit* positionBox() const { return position_; }
    // "FRAC ADV": enabled while a DE-1 box is connected.
    [[nodiscard]] QPushButton* fracAdvButton() const { return fracAdv_; }
    void setFracAdvAvailable(bool available);

signals:
    void overlayPressed();
    void standardPressed();
    void autoAlignPressed();
    void resetAlignmentPressed();
    void focusPressed();
    void resetZoomPressed();
    void resetFullRangePressed();
    void optionsPressed();
    void profileToggled(bool on);
    // The POSITION spin: the main cursor one step right or left.
    void cursorStepped(bool right);
    void fracAdvRequested();
    // A window width typed, or a spin click on its box: the window takes it
    // (and keeps it in its settings).
    void windowSizeTyped(bool mm, const QString& text);
    void windowSizeStepped(bool mm, bool up);

private:
    struct AxisControl {
        QWidget* container = nullptr;
        QLineEdit* edit = nullptr;
    };

    QWidget* makeAxisControl(AxisBox box, const QString& caption);
    QLineEdit* makeWindowBox(bool mm, QLayout* row);
    QWidget* makeOverlayControls();

    GraphReading& logic_;
    ChangeNotice::Token listening_;
    std::array<AxisControl, 4> axes_{};
    QCheckBox* yAuto_ = nullptr;
    QCheckBox* yyAuto_ = nullptr;
    QCheckBox* grid_ = nullptr;
    // mm and number, at their XAxisType.
    std::array<QRadioButton*, 2> xTypes_{};
    QButtonGroup* xGroup_ = nullptr;
    QLineEdit* windowMm_ = nullptr;
    QLineEdit* windowSamples_ = nullptr;
    CGraphFrame* frame_ = nullptr;
    QPushButton* overlay_ = nullptr;
    QPushButton* standard_ = nullptr;
    QPushButton* resetZoom_ = nullptr;
    QPushButton* resetFull_ = nullptr;
    QCheckBox* profile_ = nullptr;
    QLineEdit* position_ = nullptr;
    QPushButton* fracAdv_ = nullptr;
};

}  // namespace corvane
