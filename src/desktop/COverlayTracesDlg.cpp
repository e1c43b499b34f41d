#include "desktop/COverlayTracesDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "base/TextFormat.h"
#include "display/Channels.h"
#include "display/GraphOverlays.h"
#include "display/GraphView.h"
#include "desktop/LegendLine.h"
#include "desktop/NotYet.h"

namespace corvane {

namespace {

constexpr std::array<int, 3> kChannels{kChannelAbsA, kChannelAbsB, kChannelRatio};
constexpr std::array<const char*, 3> kCaptions{"Abs A", "Abs B", "AbsA/AbsB"};

}  // namespace

COverlayTracesDlg::COverlayTracesDlg(GraphView& view, GraphOverlays& overlays, QWidget* parent)
    : QDialog(parent), view_(view), overlays_(overlays) {
    setWindowTitle(QStringLiteral("Overlay Traces"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("CURRENT"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("OVERLAY"), this), 0, 2);
    for (int side = 0; side < 2; ++side) {
        names_[static_cast<std::size_t>(side)] = new QLabel(this);
        grid->addWidget(names_[static_cast<std::size_t>(side)], 1, side + 1);
    }
    for (int k = 0; k < 3; ++k) {
        auto* box = new QCheckBox(QLatin1String(kCaptions[static_cast<std::size_t>(k)]), this);
        boxes_[static_cast<std::size_t>(k)] = box;
        grid->addWidget(box, k + 2, 0);
        for (int side = 0; side < 2; ++side) {
            auto* cell = new QWidget(this);
            auto* row = new QHBoxLayout(cell);
            row->setContentsMargins(0, 0, 0, 0);
            auto* line = new LegendLine(cell);
            auto* value = new QLabel(QStringLiteral("0.000"), cell);
            row->addWidget(line);
            row->addWidget(value, 1);
            lines_[static_cast<std::size_t>(side)][static_cast<std::size_t>(k)] = line;
            readouts_[static_cast<std::size_t>(side)][static_cast<std::size_t>(k)] = value;
            grid->addWidget(cell, k + 2, side + 1);
        }
        const int channel = kChannels[static_cast<std::size_t>(k)];
        connect(box, &QCheckBox::toggled, this, [this, channel](bool on) {
            overlays_.setOverlayChannel(channel, on);
            emit channelsChanged();
        });
    }
}

QLabel* COverlayTracesDlg::readout(bool overlay, int k) const {
    return readouts_[overlay ? 1 : 0][static_cast<std::size_t>(k)];
}

LegendLine* COverlayTracesDlg::line(bool overlay, int k) const { return lines_[overlay ? 1 : 0][static_cast<std::size_t>(k)]; }

void COverlayTracesDlg::refresh(const std::optional<SampleRecord>& current, const std::optional<SampleRecord>& overlay,
                                const DrawnColours& colours) {
    const std::string currentName = view_.scene().setPath(0).filename().string();
    names_[0]->setText(currentName.empty() ? QStringLiteral("Live run") : qs(visibleText(currentName)));
    names_[1]->setText(qs(visibleText(view_.scene().setPath(1).filename().string())));
    for (int k = 0; k < 3; ++k) {
        const int channel = kChannels[static_cast<std::size_t>(k)];
        const bool on = view_.axes().channelShown(channel);
        {
            const QSignalBlocker block(boxes_[static_cast<std::size_t>(k)]);
            boxes_[static_cast<std::size_t>(k)]->setChecked(on);
        }
        // A channel switched off (Abs B once Abs A is on, and the reverse)
        // hides its two readouts.
        const bool hidden = !on;
        for (int side = 0; side < 2; ++side) {
            const auto& sample = side == 0 ? current : overlay;
            QLabel* label = readouts_[static_cast<std::size_t>(side)][static_cast<std::size_t>(k)];
            label->setVisible(!hidden);
            // The overlay's traces are dashed on the graph.
            line(side == 1, k)->setLine(hidden ? std::nullopt : colours[static_cast<std::size_t>(side)][static_cast<std::size_t>(k)],
                                        side == 1);
            label->setText(qs(absorbanceText(sample ? channelValue(channel, *sample) : 0.0)));
        }
    }
}

}  // namespace corvane
