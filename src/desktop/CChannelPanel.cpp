#include "desktop/CChannelPanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "display/MainWindowLogic.h"
#include "display/TraceLegend.h"
#include "desktop/LegendLine.h"
#include "desktop/NotYet.h"
#include "graph/CGraphCtrl.h"

namespace corvane {


CChannelPanel::CChannelPanel(MainWindowLogic& logic, CGraphCtrl& graph, QWidget* parent)
    : QWidget(parent), logic_(logic), graph_(graph) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* channels = new QGroupBox(QStringLiteral("Channels"), this);
    auto* grid = new QGridLayout(channels);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    for (int c = 0; c < kChannelCount; ++c) {
        auto* box = new QCheckBox(qs(logic_.view().channelCaption(c)), channels);
        auto* legend = new LegendLine(channels);
        lines_[static_cast<std::size_t>(c)] = legend;
        auto* value = new QLabel(channels);
        value->setMinimumWidth(64);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(box, c, 0);
        grid->addWidget(legend, c, 1);
        grid->addWidget(value, c, 2);
        boxes_[static_cast<std::size_t>(c)] = box;
        readouts_[static_cast<std::size_t>(c)] = value;
        connect(box, &QCheckBox::toggled, this, [this, c](bool on) {
            if (logic_.view().axes().channelShown(c) != on) {
                logic_.setChannelShown(c, on);
            }
        });
    }
    recorded_ = new QLabel(channels);
    grid->addWidget(recorded_, kChannelCount, 0, 1, 3);
    layout->addWidget(channels);
    listening_ = logic_.view().listen([this] {
        updateChannels();
        updateReadouts();
    });
    updateChannels();
}

std::optional<Rgb> CChannelPanel::lineColour(int channel) const {
    return lines_[static_cast<std::size_t>(channel)]->colour();
}

void CChannelPanel::updateChannels() {
    for (int c = 0; c < kChannelCount; ++c) {
        auto* box = boxes_[static_cast<std::size_t>(c)];
        const QSignalBlocker block(box);
        const bool shown = logic_.view().axes().channelShown(c);
        box->setText(qs(logic_.view().channelCaption(c)));
        box->setChecked(shown);
        // A hidden trace hides its readout too.
        readouts_[static_cast<std::size_t>(c)]->setVisible(shown);
        LegendLine* line = lines_[static_cast<std::size_t>(c)];
        const int slot = slotOfChannel(logic_.view(), 0, c);
        if (slot < 0) {
            line->setLine(std::nullopt);
        } else if (const auto colour = graph_.read([slot](const GraphModel& m) { return m.getTraceColour(slot); })) {
            line->setLine(colour);
        }
    }
}

void CChannelPanel::updateReadouts() {
    const auto texts = logic_.readoutTexts();
    for (int c = 0; c < kChannelCount; ++c) {
        readouts_[static_cast<std::size_t>(c)]->setText(qs(texts[static_cast<std::size_t>(c)]));
    }
    recorded_->setText(qs(logic_.recordedText()));
}

}  // namespace corvane
