// Writes a picture of a live run to a PNG file: two absorbance traces, the
// event-mark ticks with their fraction labels, the plan's next boundaries,
// the grid and a cursor.
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "SyntheticRun.h"
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

int main(int argc, char** argv) {
    using namespace corvane;
    if (argc != 2) {
        std::fprintf(stderr, "usage: graph_snapshot out.png\n");
        return 2;
    }
    bench::ensureGuiApp();

    constexpr int kSamples = 1400;
    const bench::SyntheticRun run(kSamples, 70.0, 8.0);
    const bench::EvenFractions plan(8.0, 10);

    GraphModel model;
    model.setXRange(0.0, 80.0);
    model.setYRanges(0.0, 2.2, 0.0, 5.0, false, false);
    model.setShowGrid(true);
    GraphContext context;
    context.liveRun = true;
    context.recording = true;
    context.xAxisInMm = true;
    model.setContext(context);
    model.setFractionPlan(&plan);
    model.setMarkTrace(kSlotRatio, true, 0.1, 0.0, false, 0.0);
    (void)model.setTraceData(run.x.data(), run.absA.data(), kSamples, kSlotAbsA, 1.0);
    (void)model.setTraceData(run.x.data(), run.absB.data(), kSamples, kSlotAbsB, 1.0);
    (void)model.setTraceData(run.x.data(), run.mark.data(), kSamples, kSlotRatio, 1.0);
    model.setCursorList(true, {GraphCursor{38.0, false, 0}});

    QImage image(630, 335, QImage::Format_RGB32);
    QPainter painter(&image);
    GraphPainter graph(GraphPaintStyle::screen());
    graph.paint(painter, model, image.size());
    painter.end();
    return image.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
