#pragma once

#include <QWidget>
#include <array>

#include "display/ChangeNotice.h"
#include "display/Channels.h"

class QCheckBox;
class QLabel;

namespace corvane {

class CGraphCtrl;
class MainWindowLogic;

// The channel switches with their legend lines and readouts, and "Recorded
// %d samples" under them; they follow the view's change notice.
class CChannelPanel : public QWidget {
    Q_OBJECT

public:
    CChannelPanel(MainWindowLogic& logic, CGraphCtrl& graph, QWidget* parent);

    // Captions, check marks and which readouts show.
    void updateChannels();
    // The latest sample's readouts and the counter.
    void updateReadouts();

    [[nodiscard]] QCheckBox* box(int channel) const { return boxes_[static_cast<std::size_t>(channel)]; }
    [[nodiscard]] QLabel* readout(int channel) const { return readouts_[static_cast<std::size_t>(channel)]; }
    [[nodiscard]] QLabel* recorded() const { return recorded_; }

private:
    MainWindowLogic& logic_;
    ChangeNotice::Token listening_;
    std::array<QCheckBox*, kChannelCount> boxes_{};
    std::array<QLabel*, kChannelCount> readouts_{};
    QLabel* recorded_ = nullptr;
};

}  // namespace corvane
