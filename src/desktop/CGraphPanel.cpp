#include "desktop/CGraphPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "display/GraphReading.h"
#include "desktop/NotYet.h"
#include "graph/AxisScaling.h"
#include "graph/CGraphCtrl.h"
#include "graph/CGraphFrame.h"

namespace corvane {

CGraphPanel::CGraphPanel(GraphReading& reading, CGraphCtrl& graph, QWidget* parent)
    : QWidget(parent), logic_(reading) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->addWidget(makeAxisControl(AxisBox::YMax, QStringLiteral("Y-axis Maximum")));
    top->addStretch();
    top->addWidget(makeAxisControl(AxisBox::YYMax, QStringLiteral("YY-axis Maximum")));
    layout->addLayout(top);

    frame_ = new CGraphFrame(graph, this);
    frame_->setMinimumSize(420, 300);
    graph.setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(frame_, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(makeAxisControl(AxisBox::YMin, QStringLiteral("Y-axis Minimum")));
    bottom->addStretch();
    bottom->addWidget(makeAxisControl(AxisBox::YYMin, QStringLiteral("YY-axis Minimum")));
    layout->addLayout(bottom);

    auto* xRow = new QHBoxLayout;
    xRow->addWidget(new QLabel(QStringLiteral("X-axis type:"), this));
    // The window's two axes; the volume and time axes come from DE-1
    // SETUP's graph axes, and while one is shown neither radio is set.
    xGroup_ = new QButtonGroup(this);
    for (const auto& [type, caption] : {std::pair{XAxisType::Millimetres, "mm"}, {XAxisType::SampleNumber, "number"}}) {
        auto* radio = new QRadioButton(QLatin1String(caption), this);
        xTypes_[static_cast<std::size_t>(type)] = radio;
        xGroup_->addButton(radio);
        xRow->addWidget(radio);
        // A structured binding is captured by copy under a name of its own.
        connect(radio, &QRadioButton::toggled, this, [this, axis = type](bool on) {
            if (on) {
                logic_.setXAxisType(axis);
                updateAxisTexts(true);
            }
        });
    }
    xRow->addSpacing(8);
    xRow->addWidget(new QLabel(QStringLiteral("Window size"), this));
    windowMm_ = makeWindowBox(true, xRow);
    windowSamples_ = makeWindowBox(false, xRow);
    xRow->addStretch();
    layout->addLayout(xRow);

    auto* switches = new QHBoxLayout;
    grid_ = new QCheckBox(QStringLiteral("Show Grid Lines"), this);
    yAuto_ = new QCheckBox(QStringLiteral("Y-axis Auto Scale"), this);
    yyAuto_ = new QCheckBox(QStringLiteral("YY-axis Auto Scale"), this);
    switches->addWidget(grid_);
    switches->addWidget(yAuto_);
    switches->addWidget(yyAuto_);
    connect(grid_, &QCheckBox::toggled, this,
            [this](bool on) { logic_.view().change([on](AxisState& axes) { axes.setShowGrid(on); }); });
    connect(yAuto_, &QCheckBox::toggled, this, [this](bool on) { logic_.view().setYAutoScale(on); });
    connect(yyAuto_, &QCheckBox::toggled, this,
            [this](bool on) { logic_.view().change([on](AxisState& axes) { axes.setYYAutoScale(on); }); });
    // The RESET that belongs to the window size: on this row, for room.
    resetFull_ = new QPushButton(QStringLiteral("RESET"), this);
    resetFull_->setToolTip(QStringLiteral("The whole run on the x axis, both auto-scales on"));
    connect(resetFull_, &QPushButton::clicked, this, &CGraphPanel::resetFullRangePressed);
    switches->addWidget(resetFull_);
    switches->addStretch();
    auto* options = new QPushButton(QStringLiteral("Graph Options"), this);
    connect(options, &QPushButton::clicked, this, &CGraphPanel::optionsPressed);
    switches->addWidget(options);
    layout->addLayout(switches);
    layout->addWidget(makeOverlayControls());
    // A box being typed into keeps its text: only what the operator did
    // not type follows the notice.
    listening_ = logic_.view().listen([this] {
        updateAxisTexts(false);
        updateControls();
        updateGraphCommands();
    });
}

QWidget* CGraphPanel::makeAxisControl(AxisBox box, const QString& caption) {
    AxisControl& control = axes_[static_cast<std::size_t>(box)];
    control.container = new QWidget(this);
    auto* row = new QHBoxLayout(control.container);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    row->addWidget(new QLabel(caption, control.container));
    control.edit = new QLineEdit(control.container);
    control.edit->setFixedWidth(90);
    row->addWidget(control.edit);
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    auto* up = new QToolButton(control.container);
    auto* down = new QToolButton(control.container);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    up->setFixedSize(18, 12);
    down->setFixedSize(18, 12);
    arrows->addWidget(up);
    arrows->addWidget(down);
    row->addLayout(arrows);
    QLineEdit* edit = control.edit;
    connect(edit, &QLineEdit::textEdited, this, [this, box](const QString& text) {
        if (const auto typed = text.toStdString(); parseAxisText(typed)) {
            logic_.view().change([&](AxisState& axes) { (void)axes.axisTextEdited(box, typed); });
        }
    });
    const auto spin = [this, box, edit](bool upward) {
        const std::string text = edit->text().toStdString();
        logic_.view().change([&](AxisState& axes) { (void)axes.axisSpin(box, text, upward); });
        updateAxisTexts(true);
    };
    connect(up, &QToolButton::clicked, this, [spin] { spin(true); });
    connect(down, &QToolButton::clicked, this, [spin] { spin(false); });
    return control.container;
}

QLineEdit* CGraphPanel::makeWindowBox(bool mm, QLayout* row) {
    auto* edit = new QLineEdit(this);
    edit->setFixedWidth(56);
    auto* spin = new QSpinBox(this);
    // Only the arrows of the spin are used: each click doubles or halves the width.
    spin->setRange(-1000000, 1000000);
    spin->setFixedWidth(18);
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    spin->setFocusPolicy(Qt::NoFocus);
    row->addWidget(edit);
    row->addWidget(spin);
    row->addWidget(new QLabel(mm ? QStringLiteral("mm") : QStringLiteral("samples"), this));
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, mm] {
        emit windowSizeTyped(mm, edit->text());
        updateAxisTexts(true);
    });
    connect(spin, &QSpinBox::valueChanged, this, [this, spin, mm](int value) {
        if (value == 0) {
            return;
        }
        emit windowSizeStepped(mm, value > 0);
        const QSignalBlocker block(spin);
        spin->setValue(0);
        updateAxisTexts(true);
    });
    return edit;
}

QWidget* CGraphPanel::makeOverlayControls() {
    auto* overlay = new QGroupBox(QStringLiteral("Overlay and standard run"), this);
    auto* grid = new QGridLayout(overlay);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const auto button = [&](const char* caption, int row, int column, void (CGraphPanel::*pressed)()) {
        auto* b = new QPushButton(QLatin1String(caption), overlay);
        b->setObjectName(QLatin1String(caption));
        grid->addWidget(b, row, column);
        if (pressed != nullptr) {
            connect(b, &QPushButton::clicked, this, pressed);
        }
        return b;
    };
    overlay_ = button("OVERLAY GRAPH", 0, 0, &CGraphPanel::overlayPressed);
    standard_ = button("SET STANDARD RUN", 0, 1, &CGraphPanel::standardPressed);
    button("AUTO-ALIGN", 0, 2, &CGraphPanel::autoAlignPressed);
    button("RESET ALIGNMENT", 1, 0, &CGraphPanel::resetAlignmentPressed);
    button("FOCUS", 1, 1, &CGraphPanel::focusPressed);
    resetZoom_ = button("RESET", 1, 2, &CGraphPanel::resetZoomPressed);
    resetZoom_->setEnabled(false);
    fracAdv_ = button("FRAC ADV", 2, 0, &CGraphPanel::fracAdvRequested);
    setFracAdvAvailable(false);
    profile_ = new QCheckBox(QStringLiteral("Show Standard Run Profile"), overlay);
    connect(profile_, &QCheckBox::toggled, this, &CGraphPanel::profileToggled);
    grid->addWidget(profile_, 2, 1, 1, 2);
    auto* cursorRow = new QHBoxLayout;
    cursorRow->addWidget(new QLabel(QStringLiteral("CURSOR"), overlay));
    cursorRow->addSpacing(10);
    cursorRow->addWidget(new QLabel(QStringLiteral("POSITION"), overlay));
    position_ = new QLineEdit(overlay);
    position_->setReadOnly(true);
    position_->setFixedWidth(80);
    cursorRow->addWidget(position_);
    auto* spin = new QSpinBox(overlay);
    // Only the arrows are used: each click steps the main cursor.
    spin->setRange(-1000000, 1000000);
    spin->setFixedWidth(18);
    spin->setFocusPolicy(Qt::NoFocus);
    connect(spin, &QSpinBox::valueChanged, this, [this, spin](int value) {
        if (value == 0) {
            return;
        }
        const QSignalBlocker block(spin);
        spin->setValue(0);
        emit cursorStepped(value > 0);
    });
    cursorRow->addWidget(spin);
    cursorRow->addStretch();
    grid->addLayout(cursorRow, 3, 0, 1, 3);
    return overlay;
}

void CGraphPanel::updateGraphCommands() {
    overlay_->setText(qs(logic_.overlays().overlayCaption()));
    standard_->setText(qs(logic_.overlays().standardCaption()));
    resetZoom_->setEnabled(logic_.view().axes().zoomActive());
    position_->setText(qs(logic_.cursors().positionText(logic_.view().axes().xAxisType())));
}

QPushButton* CGraphPanel::commandButton(const QString& caption) const {
    if (caption == QStringLiteral("RESET (window)")) {
        return resetFull_;
    }
    return findChild<QPushButton*>(caption);
}

void CGraphPanel::updateAxisTexts(bool includeFocused) {
    const auto texts = logic_.view().axes().axisTexts();
    const auto set = [includeFocused](QLineEdit* edit, const std::string& text) {
        // Never rewrite a box under the operator's fingers while a run
        // refreshes the display.
        if (includeFocused || !edit->hasFocus()) {
            edit->setText(qs(text));
        }
    };
    set(axisEdit(AxisBox::YMax), texts.yMax);
    set(axisEdit(AxisBox::YMin), texts.yMin);
    set(axisEdit(AxisBox::YYMax), texts.yyMax);
    set(axisEdit(AxisBox::YYMin), texts.yyMin);
    set(windowMm_, texts.windowMm);
    set(windowSamples_, texts.windowSamples);
    // An auto-scaled axis is not typed into.
    const bool yTyped = !logic_.view().axes().yAutoScale();
    const bool yyTyped = !logic_.view().axes().yyAutoScale();
    axes_[static_cast<std::size_t>(AxisBox::YMax)].container->setEnabled(yTyped);
    axes_[static_cast<std::size_t>(AxisBox::YMin)].container->setEnabled(yTyped);
    axes_[static_cast<std::size_t>(AxisBox::YYMax)].container->setEnabled(yyTyped);
    axes_[static_cast<std::size_t>(AxisBox::YYMin)].container->setEnabled(yyTyped);
}

void CGraphPanel::updateControls() {
    const GraphView& view = logic_.view();
    const bool y = view.yControlsVisible();
    const bool yy = view.yyControlsVisible();
    axes_[static_cast<std::size_t>(AxisBox::YMax)].container->setVisible(y);
    axes_[static_cast<std::size_t>(AxisBox::YMin)].container->setVisible(y);
    yAuto_->setVisible(y);
    axes_[static_cast<std::size_t>(AxisBox::YYMax)].container->setVisible(yy);
    axes_[static_cast<std::size_t>(AxisBox::YYMin)].container->setVisible(yy);
    yyAuto_->setVisible(yy);
    {
        const QSignalBlocker blockMm(xTypeRadio(true));
        const QSignalBlocker blockNumber(xTypeRadio(false));
        const XAxisType type = view.axes().xAxisType();
        xGroup_->setExclusive(false);
        xTypeRadio(true)->setChecked(type == XAxisType::Millimetres);
        xTypeRadio(false)->setChecked(type == XAxisType::SampleNumber);
        xGroup_->setExclusive(true);
    }
    const QSignalBlocker b1(yAuto_);
    const QSignalBlocker b2(yyAuto_);
    const QSignalBlocker b3(grid_);
    yAuto_->setChecked(view.axes().yAutoScale());
    yyAuto_->setChecked(view.axes().yyAutoScale());
    grid_->setChecked(view.axes().showGrid());
}

QLineEdit* CGraphPanel::axisEdit(AxisBox box) const { return axes_[static_cast<std::size_t>(box)].edit; }

void CGraphPanel::setFracAdvAvailable(bool available) {
    fracAdv_->setEnabled(available);
    fracAdv_->setToolTip(available ? QStringLiteral("Advance the fraction collector by one fraction now.")
                                   : QStringLiteral("Needs a connected DE-1 interface box."));
}

}  // namespace corvane
