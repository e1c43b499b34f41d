#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

#include "graph/AxisTicks.h"
#include "graph/GraphLegend.h"

class QPainter;

namespace corvane {

class CGraphCtrl;

// The ranges the frame last labelled.
struct FrameAxes {
    double xMin = 0.0;
    double xMax = 0.0;
    double yMin = 0.0;
    double yMax = 0.0;
    double yyMin = 0.0;
    double yyMax = 0.0;
    bool logScale = false;

    friend bool operator==(const FrameAxes&, const FrameAxes&) = default;
};

// The graph with real axes: tick labels (1-2-5 steps, decades on a log axis)
// and axis titles drawn in a margin around the plot, never on it, so the
// plot's own width and height stay what every pixel formula uses. The
// right-hand axis is labelled only while it has a title. Without labels the
// plot fills the frame.
class CGraphFrame : public QWidget {
    Q_OBJECT

public:
    // Takes the graph as its child.
    CGraphFrame(CGraphCtrl& graph, QWidget* parent);

    [[nodiscard]] CGraphCtrl& graph() { return graph_; }
    void setLabelsShown(bool shown);
    [[nodiscard]] bool labelsShown() const { return labelsShown_; }
    // An empty yy title leaves the right axis unlabelled.
    void setTitles(const QString& x, const QString& y, const QString& yy);
    [[nodiscard]] const QString& xTitle() const { return xTitle_; }
    // The legend over the plot: each drawn trace's line, name and file, in
    // rows as wide as the frame. Hidden, or with no entries, it takes no room.
    void setLegend(GraphLegend legend);
    void setLegendShown(bool shown);
    [[nodiscard]] bool legendShown() const { return legendShown_; }
    [[nodiscard]] const GraphLegend& legend() const { return legend_; }
    // Where each entry is drawn (frame pixels), in the legend's order.
    [[nodiscard]] std::vector<QRect> legendPlaces() const;

    // The ticks as drawn now, for tests: value, label and the pixel of the
    // frame the tick points at.
    struct PlacedTick {
        AxisTick tick;
        int pixel = 0;
    };
    [[nodiscard]] std::vector<PlacedTick> xTicks() const;
    [[nodiscard]] std::vector<PlacedTick> yTicks(bool rightAxis) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeGraph();
    void drawLegend(QPainter& painter) const;
    [[nodiscard]] FrameAxes currentAxes() const;

    CGraphCtrl& graph_;
    bool labelsShown_ = true;
    bool legendShown_ = true;
    GraphLegend legend_;
    QString xTitle_;
    QString yTitle_;
    QString yyTitle_;
    FrameAxes drawn_;
};

}  // namespace corvane
