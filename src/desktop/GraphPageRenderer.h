#pragma once

#include <QPageLayout>
#include <QSize>
#include <QString>
#include <functional>
#include <string>
#include <system_error>

#include "display/GraphPage.h"
#include "display/GraphPageContent.h"

class QPainter;

namespace corvane {

class GraphModel;

// Draws a whole graph page onto a device whose origin is the page's
// top-left corner: the plot from the model (GraphPainter with the page's
// pens and fonts) in its frame, axis labels and titles, the header or the
// compare legend over the plot, and under it the readouts, the overlay
// legend, the cursor blocks and a DE-1 run's settings box. Text stays text
// and traces stay paths on vector devices.
void renderGraph(QPainter& painter, const GraphModel& model, const GraphPageContent& content, PageTarget target);

// How a page file is made: its size in pixels at dpi (bitmaps and SVG), the
// PDF's paper, and the title PDF and SVG carry.
struct PageFileFormat {
    QSize pixels;
    int dpi = 100;
    QPageLayout pdfLayout;
    QString title;
};

// A file of the kind its name gives (pageFileKind) drawn by draw: a bitmap
// filled white first, or a PDF or SVG page. It replaces the file only once
// whole and on the disk (writeWholeFile); false when it cannot be drawn or
// written, with the system's reason in failure when one is given.
[[nodiscard]] bool writePageFile(const std::string& path, const PageFileFormat& format,
                                 const std::function<void(QPainter&)>& draw, std::error_code* failure = nullptr);

// The page saved as a file of the kind its name gives (pageFileKind): a
// bitmap of 11 x 8.5 in at target.dpi filled white, or a PDF or SVG page of
// that size with the run's file name as its title. False when the file
// cannot be written.
[[nodiscard]] bool saveGraphPage(const std::string& path, const GraphModel& model, const GraphPageContent& content,
                                 PageTarget target = {}, std::error_code* failure = nullptr);

}  // namespace corvane
