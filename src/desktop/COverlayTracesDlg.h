#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "graph/Rgb.h"
#include "runs/SampleRecord.h"

class QCheckBox;
class QLabel;

namespace corvane {

class GraphOverlays;
class LegendLine;
class GraphView;

// The overlay traces panel: the current run and the overlay side by side,
// their file names, their Abs A, Abs B and AbsA/AbsB at the main cursor
// each beside a line in the colour and style it is drawn in, and the three
// check boxes that switch those channels for both.
class COverlayTracesDlg : public QDialog {
    Q_OBJECT

public:
    COverlayTracesDlg(GraphView& view, GraphOverlays& overlays, QWidget* parent);

    // What each of the six traces is drawn as (current run 0, overlay 1;
    // Abs A, Abs B, ratio): its colour, nothing while it is not drawn.
    using DrawnColours = std::array<std::array<std::optional<Rgb>, 3>, 2>;
    // The names, the check boxes, the lines and the readouts (the samples at
    // the main cursor, or "0.000" without one).
    void refresh(const std::optional<SampleRecord>& current, const std::optional<SampleRecord>& overlay,
                 const DrawnColours& colours);
    [[nodiscard]] QCheckBox* channelBox(int k) const { return boxes_[static_cast<std::size_t>(k)]; }
    [[nodiscard]] QLabel* readout(bool overlay, int k) const;
    [[nodiscard]] LegendLine* line(bool overlay, int k) const;

signals:
    // A channel was switched: the graph and the axes changed.
    void channelsChanged();

private:
    GraphView& view_;
    GraphOverlays& overlays_;
    std::array<QLabel*, 2> names_{};
    std::array<std::array<QLabel*, 3>, 2> readouts_{};
    std::array<std::array<LegendLine*, 3>, 2> lines_{};
    std::array<QCheckBox*, 3> boxes_{};
};

}  // namespace corvane
