#include "setup/COverlayPlanDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"
#include "graph/AxisTicks.h"
#include "setup/CCollectionVolumeDlg.h"
#include "setup/CEM1SetupDlg.h"
#include "setup/SetupHost.h"
#include "setup/CMySpinButtonCtrl.h"

namespace corvane {

namespace {

constexpr int kGrabPixels = 5;
constexpr double kYStep = 0.1;

QString qs(const std::string& text) { return QString::fromStdString(text); }

// "%.1f", without the minus of a value that rounds to zero.
QString tickLabel(double value) {
    const std::string text = formatText("%.1f", value);
    return qs(text == "-0.0" ? "0.0" : text);
}

// The number in the field stepped by step ("%.1f"); text that is no number
// is left alone.
void stepField(QLineEdit* field, double step) {
    if (const auto value = scanDouble(field->text().toStdString())) {
        field->setText(tickLabel(*value + step));
    }
}

}  // namespace

// --- Number of Fractions ---

CNumFractionsDlg::CNumFractionsDlg(OverlayPlanEditor& editor, std::size_t zone, Prompter& prompter,
                                   QWidget* parent)
    : QDialog(parent), editor_(editor), zone_(zone), prompter_(prompter) {
    setWindowTitle(QStringLiteral("Number of Fractions"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(qs(OverlayPlanEditor::fractionsPrompt(zone)), this));
    auto* row = new QHBoxLayout;
    const int current = zone < editor.plan().zones.size() ? editor.plan().zones[zone].fractions : 1;
    edit_ = new QLineEdit(QString::number(current), this);
    edit_->setMaximumWidth(80);
    edit_->selectAll();
    auto* spin = new CMySpinButtonCtrl(edit_, this);
    connect(spin, &CMySpinButtonCtrl::clicked, this, [this](bool up) {
        const int n = scanInt(edit_->text().toStdString()).value_or(1) + (up ? 1 : -1);
        edit_->setText(QString::number(std::clamp(n, 1, 99)));
    });
    row->addWidget(edit_);
    row->addWidget(spin);
    row->addStretch();
    layout->addLayout(row);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CNumFractionsDlg::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
}

void CNumFractionsDlg::accept() {
    const std::string problem = editor_.setFractions(zone_, edit_->text().toStdString());
    if (!problem.empty()) {
        prompter_.message(problem);
        return;
    }
    QDialog::accept();
}

// --- The plot ---

COverlayPlanPlot::COverlayPlanPlot(OverlayPlanEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setMouseTracking(true);
    setMinimumSize(560, 400);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
}

void COverlayPlanPlot::setYRange(std::optional<std::pair<double, double>> range) {
    yRange_ = range;
    update();
}

std::pair<double, double> COverlayPlanPlot::autoYRange() const {
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const double y : editor_.absorbances()) {
        if (std::isfinite(y)) {
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
    }
    if (!(hi >= lo)) {
        return {0.0, 1.0};
    }
    const double pad = hi > lo ? (hi - lo) * 0.05 : std::max(std::fabs(hi) * 0.01, 0.001);
    return {lo - pad, hi + pad};
}

std::pair<double, double> COverlayPlanPlot::yRange() const { return yRange_ ? *yRange_ : autoYRange(); }

QRect COverlayPlanPlot::plotRect() const {
    // Room for the tick labels and titles at the left and bottom, the zone
    // labels at the top and the end marker's text at the right.
    return rect().adjusted(70, 4 * fontMetrics().height() + 8, -80, -50);
}

double COverlayPlanPlot::xMaxShown() const { return editor_.xMax() > 0.0 ? editor_.xMax() * 1.02 : 1.0; }

int COverlayPlanPlot::px(double mm) const {
    const QRect r = plotRect();
    return r.left() + static_cast<int>(std::lround(mm / xMaxShown() * r.width()));
}

double COverlayPlanPlot::mmAt(int x) const {
    const QRect r = plotRect();
    return static_cast<double>(x - r.left()) / std::max(1, r.width()) * xMaxShown();
}

int COverlayPlanPlot::py(double y) const {
    const QRect r = plotRect();
    const auto [lo, hi] = yRange();
    const double f = hi > lo ? (y - lo) / (hi - lo) : 0.5;
    return r.bottom() - static_cast<int>(std::lround(std::clamp(f, -0.05, 1.05) * r.height()));
}

int COverlayPlanPlot::boundaryPixel(std::size_t zone) const {
    const auto& zones = editor_.plan().zones;
    return zone < zones.size() ? px(zones[zone].end) : -1;
}

void COverlayPlanPlot::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter p(this);
    const QRect r = plotRect();
    const QFontMetrics metrics(font());
    p.setPen(Qt::black);
    p.drawRect(r);

    // Ticks at steps of 1, 2 or 5 times a power of ten, labelled "%.1f".
    const auto [lo, hi] = yRange();
    const double xStep = niceTickStep(xMaxShown(), 8);
    for (int k = 0; xStep > 0.0 && k * xStep <= xMaxShown(); ++k) {
        const int xp = px(k * xStep);
        p.drawLine(xp, r.bottom(), xp, r.bottom() + 4);
        const QString label = tickLabel(k * xStep);
        p.drawText(xp - metrics.horizontalAdvance(label) / 2, r.bottom() + 6 + metrics.ascent(), label);
    }
    // Never finer than the labels' one decimal, or neighbours read the same.
    const double yStep = std::max(niceTickStep(hi - lo, 6), kYStep);
    for (double y = std::ceil(lo / yStep) * yStep; yStep > 0.0 && y <= hi + yStep * 1e-9; y += yStep) {
        const int yp = py(y);
        p.drawLine(r.left() - 4, yp, r.left(), yp);
        const QString label = tickLabel(y);
        p.drawText(r.left() - 8 - metrics.horizontalAdvance(label), yp + metrics.ascent() / 2, label);
    }
    const QString xTitle = QStringLiteral("Distance from the meniscus (mm)");
    p.drawText(r.center().x() - metrics.horizontalAdvance(xTitle) / 2, height() - 8, xTitle);
    p.save();
    p.translate(16, r.center().y());
    p.rotate(-90);
    const QString yTitle = QStringLiteral("OD 260");
    p.drawText(-metrics.horizontalAdvance(yTitle) / 2, 0, yTitle);
    p.restore();

    // The trace, clipped to the plot.
    p.save();
    p.setClipRect(r.adjusted(1, 1, 0, 0));
    p.setPen(QPen(QColor(0, 0, 200), 1));
    const auto& xs = editor_.distances();
    const auto& ys = editor_.absorbances();
    QPolygon line;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const QPoint point(px(xs[i]), py(ys[i]));
        if (line.isEmpty() || line.back() != point) {
            line << point;
        }
    }
    p.drawPolyline(line);

    // Each zone's fraction cuts (dotted) and its right boundary (solid, to drag).
    const auto& zones = editor_.plan().zones;
    for (const auto& zone : zones) {
        p.setPen(QPen(QColor(160, 160, 160), 1, Qt::DotLine));
        for (int k = 1; k < zone.fractions; ++k) {
            const int x = px(zone.start + (zone.end - zone.start) * k / zone.fractions);
            p.drawLine(x, r.top(), x, r.bottom());
        }
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(px(zone.end), r.top(), px(zone.end), r.bottom());
    }
    p.restore();

    // Labels over the zones, centred on each; a label that would run into
    // the one before it goes one row down.
    int previousRight = std::numeric_limits<int>::min();
    bool lowered = false;
    for (std::size_t k = 0; k < zones.size(); ++k) {
        const QString label = qs(formatText("ZONE %d\n# fractions in this ZONE: %d", static_cast<int>(k) + 1,
                                            zones[k].fractions));
        const int width = metrics.horizontalAdvance(label.section(QLatin1Char('\n'), 1)) + 6;
        const int middle = (px(zones[k].start) + px(zones[k].end)) / 2;
        lowered = middle - width / 2 < previousRight && !lowered;
        const int top = r.top() - (lowered ? 2 : 4) * metrics.height() - 2;
        p.setPen(QColor(200, 0, 0));
        p.drawText(QRect(middle - width / 2, top, width, 2 * metrics.height()), Qt::AlignHCenter | Qt::AlignBottom,
                   label);
        previousRight = middle + width / 2;
    }
    const int end = px(editor_.xMax());
    p.setPen(QPen(Qt::darkGreen, 1, Qt::DashLine));
    p.drawLine(end, r.top(), end, r.bottom());
    p.setPen(Qt::darkGreen);
    p.drawText(QRect(end + 4, r.top(), 80, 40), Qt::AlignLeft | Qt::AlignTop, qs(editor_.endMarkerText()));
}

void COverlayPlanPlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int x = event->position().toPoint().x();
    // The last zone first: boundaries that meet are taken from the right,
    // so a zero-width zone can still be opened.
    const auto& zones = editor_.plan().zones;
    for (std::size_t k = zones.size(); k-- > 0;) {
        if (std::abs(px(zones[k].end) - x) <= kGrabPixels) {
            dragging_ = k;
            setCursor(Qt::SizeHorCursor);
            return;
        }
    }
}

void COverlayPlanPlot::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (dragging_) {
        editor_.moveBoundary(*dragging_, mmAt(at.x()));
        update();
        return;
    }
    bool nearBoundary = false;
    for (std::size_t k = 0; k < editor_.plan().zones.size(); ++k) {
        nearBoundary = nearBoundary || std::abs(boundaryPixel(k) - at.x()) <= kGrabPixels;
    }
    setCursor(nearBoundary ? Qt::SizeHorCursor : Qt::ArrowCursor);
    const auto fraction = plotRect().contains(at) ? editor_.fractionAt(mmAt(at.x())) : std::nullopt;
    if (fraction) {
        emit hovered(at, fraction->first, fraction->second);
    } else {
        emit hovered(std::nullopt, 0.0, 0.0);
    }
}

void COverlayPlanPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) {
        return;
    }
    const std::size_t zone = *dragging_;
    dragging_.reset();
    setCursor(Qt::ArrowCursor);
    emit boundaryReleased(zone);
}

void COverlayPlanPlot::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit hovered(std::nullopt, 0.0, 0.0);
}

// --- The window ---

COverlayPlanDlg::COverlayPlanDlg(OverlayPlanEditor::Env env, std::filesystem::path source, const RunDataFile& run,
                                 OverlayPlan plan, QWidget* parent)
    : QDialog(parent), prompter_(env.prompter), editor_(std::move(env), std::move(source), run, std::move(plan)) {
    setWindowTitle(QStringLiteral("STANDARD RUN"));
    auto* layout = new QHBoxLayout(this);
    plot_ = new COverlayPlanPlot(editor_, this);
    layout->addWidget(plot_, 1);

    auto* side = new QVBoxLayout;
    const auto button = [&](const char* caption) {
        auto* b = new QPushButton(QLatin1String(caption), this);
        b->setObjectName(QLatin1String(caption));
        side->addWidget(b);
        return b;
    };
    connect(button("CREATE ZONE"), &QPushButton::clicked, this, &COverlayPlanDlg::createZone);
    side->addSpacing(16);
    auto* yGrid = new QGridLayout;
    const auto [lo, hi] = plot_->autoYRange();
    const auto yField = [&](const char* caption, double value, int row) {
        yGrid->addWidget(new QLabel(QLatin1String(caption), this), row, 0, 1, 2);
        auto* edit = new QLineEdit(tickLabel(value), this);
        edit->setMaximumWidth(70);
        auto* spin = new CMySpinButtonCtrl(edit, this);
        connect(spin, &CMySpinButtonCtrl::clicked, this, [this, edit](bool up) {
            stepField(edit, up ? kYStep : -kYStep);
            yAuto_->setChecked(false);
            applyYControls();
        });
        connect(edit, &QLineEdit::editingFinished, this, [this] {
            yAuto_->setChecked(false);
            applyYControls();
        });
        yGrid->addWidget(edit, row + 1, 0);
        yGrid->addWidget(spin, row + 1, 1);
        return edit;
    };
    yMax_ = yField("Y-axis Max", hi, 0);
    yMin_ = yField("Y-axis Min", lo, 2);
    side->addLayout(yGrid);
    yAuto_ = new QCheckBox(QStringLiteral("Y-axis Auto"), this);
    yAuto_->setChecked(true);
    connect(yAuto_, &QCheckBox::toggled, this, &COverlayPlanDlg::applyYControls);
    side->addWidget(yAuto_);
    side->addStretch();
    connect(button("DONE"), &QPushButton::clicked, this, &COverlayPlanDlg::accept);
    connect(button("Cancel"), &QPushButton::clicked, this, &COverlayPlanDlg::reject);
    side->addSpacing(16);
    review_ = button("REVIEW SCAN SETUP");
    connect(review_, &QPushButton::clicked, this, &COverlayPlanDlg::reviewScanSetup);
    review_->setEnabled(false);
    vessel_ = button("COLLECTION VOLUME");
    connect(vessel_, &QPushButton::clicked, this, &COverlayPlanDlg::collectionVolume);
    vessel_->setEnabled(false);
    layout->addLayout(side);

    hover_ = new CHoverDistandVolDlg(this);
    hover_->hide();
    connect(plot_, &COverlayPlanPlot::boundaryReleased, this, &COverlayPlanDlg::askFractions);
    connect(plot_, &COverlayPlanPlot::hovered, this, [this](std::optional<QPoint> at, double distance, double volume) {
        if (!at) {
            hover_->hide();
            return;
        }
        hover_->setFraction(distance, volume);
        hover_->adjustSize();
        // The read-out is a window of its own: it is placed on the screen.
        hover_->move(plot_->mapToGlobal(*at) + QPoint(14, 14));
        hover_->raise();
        hover_->show();
    });
    // 548 x 380 dialog units.
    resize(900, 620);
}

COverlayPlanDlg::~COverlayPlanDlg() = default;

void COverlayPlanDlg::setScanSetup(De1SetupPage::Env env) {
    scanSetup_.emplace(std::move(env));
    review_->setEnabled(true);
    vessel_->setEnabled(true);
}

void COverlayPlanDlg::collectionVolume() {
    if (!scanSetup_) {
        return;
    }
    hover_->hide();
    const auto& info = scanSetup_->host.runInfo();
    CCollectionVolumeDlg dialog(scanSetup_->startupFolder, info ? info->userName : std::string(),
                                editor_.volumePerMm(), scanSetup_->prompter, scanSetup_->clock, &scanSetup_->host,
                                this);
    if (dialog.exec() == QDialog::Accepted) {
        // DONE checks the zones against the vessel chosen here.
        editor_.setCollectionLimit(dialog.page().volume());
        plot_->update();
    }
}

void COverlayPlanDlg::reviewScanSetup() {
    if (!scanSetup_) {
        return;
    }
    hover_->hide();
    CEM1SetupDlg page(*scanSetup_, this);
    page.page().reviewPlan(editor_.plan(), editor_.volumePerMm());
    page.refresh();
    // The review comes back here: the page's way on to the USER page is not
    // one from this window.
    page.button(QStringLiteral("USER"))->setEnabled(false);
    connect(&page, &CEM1SetupDlg::leave, this, [this, &page](const PageStep& step) {
        // GRAPH has checked the zones and stored the page.
        if (step.next == SetupPage::Graph) {
            editor_.replacePlan(page.page().plan().value_or(OverlayPlan{}));
            editor_.setCollectionLimit(scanSetup_->host.collectionVolume());
        }
    });
    // exec, not a loop of its own: whichever way the page goes (GRAPH, its
    // close box, Escape), hiding it returns here.
    (void)page.exec();
    plot_->update();
}

void COverlayPlanDlg::createZone() {
    const std::string instruction = editor_.createZone();
    plot_->update();
    prompter_.message(instruction);
}

void COverlayPlanDlg::askFractions(std::size_t zone) {
    plot_->update();
    CNumFractionsDlg dialog(editor_, zone, prompter_, this);
    (void)dialog.exec();
    plot_->update();
}

void COverlayPlanDlg::applyYControls() {
    if (yAuto_->isChecked()) {
        plot_->setYRange(std::nullopt);
        const auto [lo, hi] = plot_->autoYRange();
        yMax_->setText(tickLabel(hi));
        yMin_->setText(tickLabel(lo));
        return;
    }
    const auto hi = scanDouble(yMax_->text().toStdString());
    const auto lo = scanDouble(yMin_->text().toStdString());
    if (hi && lo && *hi > *lo) {
        plot_->setYRange(std::pair{*lo, *hi});
    }
}

void COverlayPlanDlg::accept() {
    if (editor_.done() != OverlayPlanEditor::Done::Stay) {
        QDialog::accept();
    }
}

}  // namespace corvane
