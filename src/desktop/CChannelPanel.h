#pragma once

#include <QWidget>
#include <array>
#include <optional>

#include "display/ChangeNotice.h"
#include "display/Channels.h"
#include "graph/Rgb.h"

class QCheckBox;
class QLabel;

namespace corvane {

class CGraphCtrl;
class LegendLine;
class MainWindowLogic;

// The channel switches with their legend lines and readouts, and "Recorded
// %d samples" under them; they follow the view's change notice. A line is
// drawn in the colour of the slot its channel is drawn in now (beside an
// overlay the current run's channels move to other slots).
class CChannelPanel : public QWidget {
    Q_OBJECT

public:
    CChannelPanel(MainWindowLogic& logic, CGraphCtrl& graph, QWidget* parent);

    // Captions, check marks, line colours and which readouts show.
    void updateChannels();
    // The latest sample's readouts and the counter.
    void updateReadouts();

    [[nodiscard]] QCheckBox* box(int channel) const { return boxes_[static_cast<std::size_t>(channel)]; }
    [[nodiscard]] QLabel* readout(int channel) const { return readouts_[static_cast<std::size_t>(channel)]; }
    [[nodiscard]] QLabel* recorded() const { return recorded_; }
    // The colour of the channel's line as drawn; nothing while the channel
    // has no trace on the graph.
    [[nodiscard]] std::optional<Rgb> lineColour(int channel) const;

private:
    MainWindowLogic& logic_;
    CGraphCtrl& graph_;
    ChangeNotice::Token listening_;
    std::array<LegendLine*, kChannelCount> lines_{};
    std::array<QCheckBox*, kChannelCount> boxes_{};
    std::array<QLabel*, kChannelCount> readouts_{};
    QLabel* recorded_ = nullptr;
};

}  // namespace corvane
