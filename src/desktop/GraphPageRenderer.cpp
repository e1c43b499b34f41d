#include "desktop/GraphPageRenderer.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "app/FileReplace.h"
#include "graph/GraphModel.h"
#include "graph/GraphPainter.h"

namespace corvane {

namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

QFont pageFont(double pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(pixels + 0.5)));
    return font;
}

// Draws the page's text blocks with one font and one line height; every
// length is a multiple of the font size, so the page scales as one.
class PageWriter {
public:
    PageWriter(QPainter& painter, const PageGeometry& g)
        : painter_(painter),
          small_(pageFont(g.smallFontPixels)),
          large_(pageFont(g.largeFontPixels)),
          metrics_(small_, painter.device()),
          line_(metrics_.height() * 1.15),
          gap_(metrics_.height() * 0.6),
          swatch_(metrics_.height() * 0.8) {}

    [[nodiscard]] double line() const { return line_; }
    [[nodiscard]] double gap() const { return gap_; }
    [[nodiscard]] const QFont& small() const { return small_; }
    [[nodiscard]] const QFont& large() const { return large_; }
    [[nodiscard]] double width(const std::string& text) const { return metrics_.horizontalAdvance(qt(text)); }

    void text(QPointF topLeft, const std::string& text) {
        painter_.drawText(QRectF(topLeft, QSizeF(width(text) + line_, line_)), Qt::AlignLeft | Qt::AlignVCenter,
                          qt(text));
    }

    [[nodiscard]] QSizeF linesSize(const PageLines& lines) const {
        double w = 0.0;
        for (const std::string& l : lines) {
            w = std::max(w, width(l));
        }
        return {w, line_ * static_cast<double>(lines.size())};
    }
    void lines(QPointF at, const PageLines& lines) {
        for (const std::string& l : lines) {
            text(at, l);
            at.ry() += line_;
        }
    }

    [[nodiscard]] std::vector<double> columnWidths(const PageTable& table) const {
        std::vector<double> widths(table.columns.size(), 0.0);
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            widths[c] = std::max(width(table.columns[c].top), width(table.columns[c].bottom));
        }
        for (const auto& row : table.rows) {
            for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
                const double swatch = row[c].swatch ? swatchWidth(row[c]) + (row[c].text.empty() ? 0.0 : gap_ / 2) : 0.0;
                widths[c] = std::max(widths[c], swatch + width(row[c].text));
            }
        }
        return widths;
    }
    [[nodiscard]] int headingLines(const PageTable& table) const {
        const bool two = std::any_of(table.columns.begin(), table.columns.end(),
                                     [](const PageTable::Column& c) { return !c.top.empty(); });
        return two ? 2 : 1;
    }
    [[nodiscard]] QSizeF tableSize(const PageTable& table) const {
        const auto widths = columnWidths(table);
        double w = 0.0;
        for (double cw : widths) {
            w += cw + gap_;
        }
        return {w, line_ * static_cast<double>(headingLines(table) + static_cast<int>(table.rows.size()))};
    }
    void table(QPointF at, const PageTable& table) {
        const auto widths = columnWidths(table);
        const int heading = headingLines(table);
        double x = at.x();
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            double y = at.y();
            if (heading == 2) {
                text({x, y}, table.columns[c].top);
                y += line_;
            }
            text({x, y}, table.columns[c].bottom);
            y += line_;
            for (const auto& row : table.rows) {
                if (c < row.size()) {
                    cell({x, y}, row[c]);
                }
                y += line_;
            }
            x += widths[c] + gap_;
        }
    }

private:
    // A trace's line is twice as long as a box, so its dashes show.
    [[nodiscard]] double swatchWidth(const PageCell& cell) const { return cell.line ? 2 * swatch_ : swatch_; }

    void cell(QPointF at, const PageCell& cell) {
        double x = at.x();
        if (cell.swatch) {
            const QColor colour(cell.swatch->r, cell.swatch->g, cell.swatch->b);
            const QRectF box(x, at.y() + (line_ - swatch_) / 2, swatchWidth(cell), swatch_);
            if (cell.line) {
                // The trace's own line: its colour and, for an overlay, its dashes.
                painter_.save();
                QPen pen(colour, std::max(1.0, swatch_ / 6));
                if (cell.dashed) {
                    pen.setDashPattern({2.5, 2.0});
                }
                painter_.setPen(pen);
                painter_.drawLine(QPointF(box.left(), box.center().y()), QPointF(box.right(), box.center().y()));
                painter_.restore();
            } else {
                painter_.fillRect(box, colour);
                painter_.drawRect(box);
            }
            x += box.width() + gap_ / 2;
        }
        text({x, at.y()}, cell.text);
    }

    QPainter& painter_;
    QFont small_;
    QFont large_;
    QFontMetricsF metrics_;
    double line_;
    double gap_;
    double swatch_;
};

void drawAxes(QPainter& painter, PageWriter& w, const PageGeometry& g, const GraphModel& model,
              const GraphPageContent& content) {
    const QRectF plot(g.plot.left, g.plot.top, g.plot.right - g.plot.left, g.plot.bottom - g.plot.top);
    painter.setFont(w.small());
    const double labelTop = plot.bottom() + w.line() * 0.3;
    for (const AxisLabel& label : xAxisLabels(model.xMin(), model.xMax(), model.tenXDivisions(), content.xAxis)) {
        const double x = plot.left() + plot.width() * label.at;
        const double half = w.width(label.text) / 2 + w.line();
        painter.drawText(QRectF(x - half, labelTop, 2 * half, w.line()), Qt::AlignCenter, qt(label.text));
    }
    double leftLabels = 0.0;
    double rightLabels = 0.0;
    auto yLabels = [&](double lo, double hi, bool right) {
        for (const AxisLabel& label : yAxisLabels(lo, hi, model.logScale())) {
            const double y = plot.bottom() - plot.height() * label.at;
            const double width = w.width(label.text) + w.line();
            const double x = right ? plot.right() + w.gap() : plot.left() - w.gap() - width;
            (right ? rightLabels : leftLabels) = std::max(right ? rightLabels : leftLabels, width);
            // A tick on the frame where the label's value lies.
            painter.drawLine(QPointF(right ? plot.right() : plot.left() - w.gap() / 2, y),
                             QPointF(right ? plot.right() + w.gap() / 2 : plot.left(), y));
            painter.drawText(QRectF(x, y - w.line() / 2, width, w.line()),
                             (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, qt(label.text));
        }
    };
    yLabels(model.yMin(), model.yMax(), false);
    if (content.yyLabels) {
        yLabels(model.yyMin(), model.yyMax(), true);
    }

    painter.setFont(w.large());
    const QFontMetricsF large(w.large(), painter.device());
    painter.drawText(QRectF(plot.left(), labelTop + w.line(), plot.width(), large.height() * 1.2), Qt::AlignCenter,
                     qt(xAxisTitle(content.xAxis)));
    // The y titles run up the left side and down the right, beside the labels.
    auto yTitle = [&](const std::string& title, bool right) {
        if (title.empty()) {
            return;
        }
        const double labels = right ? rightLabels : leftLabels;
        const double centre = right ? plot.right() + w.gap() + labels + large.height() * 0.7
                                    : plot.left() - w.gap() - labels - large.height() * 0.7;
        painter.save();
        painter.translate(centre, plot.center().y());
        painter.rotate(right ? 90.0 : -90.0);
        painter.drawText(QRectF(-plot.height() / 2, -large.height() * 0.6, plot.height(), large.height() * 1.2),
                         Qt::AlignCenter, qt(title));
        painter.restore();
    };
    yTitle(content.yTitle, false);
    if (content.yyLabels) {
        yTitle(content.yyTitle, true);
    }
    painter.setFont(w.small());
}

// The blocks under the plot, left to right; a block that would leave the
// page starts a new row; the settings box runs on in columns as tall as the
// page leaves room for.
void drawBlocks(PageWriter& w, const PageGeometry& g, const GraphPageContent& content, double top) {
    const double margin = w.line();
    const double right = g.pageWidth - margin;
    const double bottom = g.pageHeight - margin;
    double x = g.plot.left;
    double y = top;
    double rowHeight = 0.0;
    auto place = [&](QSizeF size) {
        if (x > g.plot.left && x + size.width() > right) {
            x = g.plot.left;
            y += rowHeight + w.gap();
            rowHeight = 0.0;
        }
        const QPointF at(x, y);
        x += size.width() + 2 * w.gap();
        rowHeight = std::max(rowHeight, size.height());
        return at;
    };
    if (!content.legend.empty()) {
        w.table(place(w.tableSize(content.legend)), content.legend);
    }
    for (const PageLines& block : content.readouts) {
        w.lines(place(w.linesSize(block)), block);
    }
    if (!content.overlayLegend.empty()) {
        w.table(place(w.tableSize(content.overlayLegend)), content.overlayLegend);
    }
    for (const PageLines& block : content.cursorBlocks) {
        w.lines(place(w.linesSize(block)), block);
    }
    if (content.settingsBox.empty()) {
        return;
    }
    const auto perColumn = static_cast<std::size_t>(std::max(1.0, (bottom - y) / w.line()));
    for (std::size_t first = 0; first < content.settingsBox.size(); first += perColumn) {
        const auto last = std::min(content.settingsBox.size(), first + perColumn);
        const PageLines column(content.settingsBox.begin() + static_cast<std::ptrdiff_t>(first),
                               content.settingsBox.begin() + static_cast<std::ptrdiff_t>(last));
        w.lines(place(w.linesSize(column)), column);
    }
}

// The four bytes of a PNG length or chunk field, most significant first.
void putUint32(QByteArray& out, std::uint32_t v) {
    out.append(static_cast<char>(v >> 24));
    out.append(static_cast<char>(v >> 16));
    out.append(static_cast<char>(v >> 8));
    out.append(static_cast<char>(v));
}

std::uint32_t crc32Of(const char* data, qsizetype n, std::uint32_t crc = 0xFFFFFFFFu) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t k = 0; k < 256; ++k) {
            std::uint32_t c = k;
            for (int bit = 0; bit < 8; ++bit) {
                c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[k] = c;
        }
        return t;
    }();
    for (qsizetype i = 0; i < n; ++i) {
        crc = table[(crc ^ static_cast<std::uint8_t>(data[i])) & 0xFFu] ^ (crc >> 8);
    }
    return crc;
}

void putChunk(QByteArray& out, const char* type, const QByteArray& data) {
    putUint32(out, static_cast<std::uint32_t>(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    putUint32(out, crc32Of(out.constData() + start, out.size() - start) ^ 0xFFFFFFFFu);
}

// A page as a PNG the quick way: RGB rows unfiltered, deflated at the
// fastest level, with the page's resolution. The general writer filters
// every row five ways and deflates harder, which took longer than drawing
// the page; a page is mostly white and packs well either way.
QByteArray quickPng(const QImage& page, int dpi) {
    const QImage image = page.format() == QImage::Format_RGB32 ? page : page.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    QByteArray rows;
    rows.resize(static_cast<qsizetype>(height) * (1 + 3 * static_cast<qsizetype>(width)));
    auto* out = reinterpret_cast<std::uint8_t*>(rows.data());
    for (int y = 0; y < height; ++y) {
        *out++ = 0;  // no filter
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            *out++ = static_cast<std::uint8_t>(qRed(line[x]));
            *out++ = static_cast<std::uint8_t>(qGreen(line[x]));
            *out++ = static_cast<std::uint8_t>(qBlue(line[x]));
        }
    }
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    putUint32(header, static_cast<std::uint32_t>(width));
    putUint32(header, static_cast<std::uint32_t>(height));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, not interlaced
    putChunk(png, "IHDR", header);
    QByteArray resolution;
    const auto perMetre = static_cast<std::uint32_t>(dpi / 0.0254 + 0.5);
    putUint32(resolution, perMetre);
    putUint32(resolution, perMetre);
    resolution.append('\x01');  // per metre
    putChunk(png, "pHYs", resolution);
    // qCompress puts the length before the zlib stream the chunk holds.
    putChunk(png, "IDAT", qCompress(rows, 1).mid(4));
    putChunk(png, "IEND", {});
    return png;
}

}  // namespace

void renderGraph(QPainter& painter, const GraphModel& model, const GraphPageContent& content, PageTarget target) {
    const PageGeometry g = pageGeometry(target);
    painter.save();
    painter.setPen(QPen(Qt::black, 0));
    PageWriter w(painter, g);

    const QSize plotSize(g.plot.right - g.plot.left, g.plot.bottom - g.plot.top);
    GraphPaintStyle style = GraphPaintStyle::page(g.s, target.dpi);
    style.fontPixelSize = g.smallFontPixels;
    GraphPainter plotPainter(style);
    painter.save();
    painter.translate(g.plot.left, g.plot.top);
    painter.setClipRect(QRect(QPoint(0, 0), plotSize));
    plotPainter.paint(painter, model, plotSize);
    // The cursors the readouts below name, as plain lines: the handles and
    // colours of the screen are for working, not for the page.
    if (model.showCursors() && model.xMax() > model.xMin()) {
        painter.setPen(QPen(Qt::black, g.linePen, Qt::DashLine));
        for (const GraphCursor& cursor : model.cursors()) {
            const double x = plotSize.width() * (cursor.position - model.xMin()) / (model.xMax() - model.xMin());
            if (x >= 0.0 && x <= plotSize.width()) {
                painter.drawLine(QPointF(x, 0.0), QPointF(x, plotSize.height()));
            }
        }
    }
    painter.restore();

    QPen frame(Qt::black, g.framePen);
    frame.setJoinStyle(Qt::MiterJoin);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(g.plot.left, g.plot.top, plotSize.width(), plotSize.height()));
    painter.setPen(QPen(Qt::black, 0));

    drawAxes(painter, w, g, model, content);

    const PageTable& header = content.compareLegend.empty() ? content.header : content.compareLegend;
    const QSizeF headerSize = w.tableSize(header);
    w.table(QPointF(g.plot.left, g.plot.top - w.line() - headerSize.height()), header);

    const QFontMetricsF large(w.large(), painter.device());
    drawBlocks(w, g, content, g.plot.bottom + w.line() * 1.5 + large.height() * 1.4);
    painter.restore();
}

bool writePageFile(const std::string& path, const PageFileFormat& format,
                   const std::function<void(QPainter&)>& draw, std::error_code* failure) {
    const PageFileKind kind = pageFileKind(path);
    std::error_code error;
    const auto fail = [&](std::error_code why) {
        if (failure != nullptr) {
            *failure = why;
        }
        return false;
    };
    // Written beside the target as a hidden work file, every write and the
    // flush to the disk checked, and only then put in its place: a failed
    // or interrupted save (a full disk) leaves an earlier file as it was,
    // and two saves to one name leave one of the pages, never a mix.
    auto work = createReplacement(path);
    if (!work.file) {
        return fail(std::error_code(errno != 0 ? errno : EIO, std::generic_category()));
    }
    const auto discard = [&] {
        work.file.reset();
        std::error_code ignored;
        std::filesystem::remove(work.path, ignored);
    };
    QFile file;
    if (!file.open(work.file.get(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        discard();
        return fail(std::make_error_code(std::errc::io_error));
    }
    const auto paint = [&](QPaintDevice& device) {
        QPainter painter;
        if (!painter.begin(&device)) {
            return false;
        }
        draw(painter);
        return painter.end();
    };
    bool drawn = false;
    if (kind == PageFileKind::Pdf) {
        QPdfWriter writer(&file);
        writer.setResolution(format.dpi);
        writer.setPageLayout(format.pdfLayout);
        writer.setTitle(format.title);
        writer.setCreator(QStringLiteral("Corvane"));
        drawn = paint(writer);
    } else if (kind == PageFileKind::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(format.pixels);
        svg.setViewBox(QRect(QPoint(0, 0), format.pixels));
        svg.setResolution(format.dpi);
        svg.setTitle(format.title);
        drawn = paint(svg);
    } else {
        QImage image(format.pixels, QImage::Format_RGB32);
        if (!image.isNull()) {  // else no memory for a page this large
            const int dotsPerMetre = static_cast<int>(format.dpi / 0.0254 + 0.5);
            image.setDotsPerMeterX(dotsPerMetre);
            image.setDotsPerMeterY(dotsPerMetre);
            image.fill(Qt::white);
            drawn = paint(image) && (kind == PageFileKind::Png ? file.write(quickPng(image, format.dpi)) > 0
                                                                 : image.save(&file, pageFileKindName(kind)));
        }
    }
    // Qt's writes and its buffer first, then the stream's, then the disk;
    // the first failure's reason is kept.
    bool written = drawn && file.flush() && file.error() == QFileDevice::NoError && file.size() > 0;
    int writeError = 0;
    file.close();
    if (drawn && !written) {
        // Qt keeps no reason for a failed write: the disk gives it again.
        errno = 0;
        (void)(std::fputc(' ', work.file.get()) != EOF && std::fflush(work.file.get()) == 0);
        writeError = errno;
    }
    if (written) {
        errno = 0;
        written = std::fflush(work.file.get()) == 0 && std::ferror(work.file.get()) == 0 &&
                  ::fsync(::fileno(work.file.get())) == 0;
        writeError = errno;
    }
    const bool closed = std::fclose(work.file.release()) == 0;
    if (written && !closed) {
        writeError = errno;
    }
    if (!written || !closed) {
        discard();
        return fail(std::error_code(writeError != 0 ? writeError : EIO, std::generic_category()));
    }
    if (!placeWorkFile(path, work.path, ExistingTarget::Replace, error)) {
        discard();
        return fail(error);
    }
    return true;
}

bool saveGraphPage(const std::string& path, const GraphModel& model, const GraphPageContent& content,
                   PageTarget target, std::error_code* failure) {
    const PageGeometry g = pageGeometry(target);
    PageFileFormat format;
    format.pixels = QSize(g.pageWidth, g.pageHeight);
    format.dpi = target.dpi;
    format.pdfLayout = QPageLayout(QPageSize(QPageSize::Letter),
                                   target.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                   QMarginsF(0, 0, 0, 0));
    format.title = qt(content.documentTitle);
    return writePageFile(
        path, format, [&](QPainter& painter) { renderGraph(painter, model, content, target); }, failure);
}

}  // namespace corvane
