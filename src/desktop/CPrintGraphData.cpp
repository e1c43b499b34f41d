#include "desktop/CPrintGraphData.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QWidget>
#include <filesystem>

#include "app/FileReplace.h"
#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "desktop/GraphPageRenderer.h"
#include "display/TraceLegend.h"
#include "graph/CGraphCtrl.h"

namespace corvane {

PrintDialogRunner::Result QtPrintDialogRunner::run(QPrinter& printer) {
    QPrintDialog dialog(&printer, parent_);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted) {
        return Result::Cancelled;
    }
    // Accepted with no printer behind it (none installed, or it went away):
    // a failure of the dialog, not the user's cancel.
    return printer.isValid() ? Result::Accepted : Result::Failed;
}

PageTarget printerTarget(const QPrinter& printer) {
    return printTarget(printer.resolution(), printer.pageLayout().orientation() == QPageLayout::Portrait);
}

CPrintGraphData::CPrintGraphData(Prompter& prompter, std::string initialFolder)
    : prompter_(prompter), initialFolder_(std::move(initialFolder)) {}

bool CPrintGraphData::printGraph(const CGraphCtrl& graph, const GraphPageContent& content,
                                 PrintDialogRunner& dialog) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromLatin1(kDocumentName));
    // The page is laid out from the paper's corner, not the printable area's.
    printer.setFullPage(true);
    if (QPrinterInfo::availablePrinterNames().isEmpty() && !initialFolder_.empty()) {
        // With no printer the dialog can only print to a file: it offers one
        // in the data folder, where the runs are, not in the home folder. (A
        // name set with a printer there would send the page to the file.)
        const std::string title = content.documentTitle.empty() ? std::string(kDocumentName) : content.documentTitle;
        const auto pdf = std::filesystem::path(initialFolder_) / std::filesystem::path(title).replace_extension(".pdf");
        printer.setOutputFileName(QString::fromStdString(pdf.string()));
    }
    switch (dialog.run(printer)) {
        case PrintDialogRunner::Result::Cancelled: return true;
        case PrintDialogRunner::Result::Failed: return false;
        case PrintDialogRunner::Result::Accepted: break;
    }
    const PageTarget target = printerTarget(printer);
    QPainter painter;
    if (!painter.begin(&printer)) {
        prompter_.message(kAttachFailed);
        return false;
    }
    const bool drawn = graph.read([&](const GraphModel& model) { renderGraph(painter, model, content, target); });
    return painter.end() && drawn;
}

std::optional<std::string> CPrintGraphData::askImagePath(const char* title, const std::string& runName) {
    FileDialogRequest request;
    request.title = title;
    // Named after the run, in the folder the runs are in.
    if (!runName.empty()) {
        request.defaultName = std::filesystem::path(runName).replace_extension(".png").filename().string();
    }
    request.filter = kGraphImageFilter;
    request.initialFolder = initialFolder_;
    // PNG first: small, lossless, and read by every notebook and viewer.
    request.defaultExtension = "png";
    return prompter_.saveFile(request);
}

void CPrintGraphData::reportHeld(const std::string& path, std::error_code failure) {
    // The window's own message says only that the save failed; a file held
    // by a recording or another change is worth its reason.
    if (failure == std::errc::device_or_resource_busy) {
        prompter_.message(heldFileProblem(path));
    }
}

void CPrintGraphData::reportSaved(const std::string& path) {
    const std::string full = std::filesystem::absolute(std::filesystem::path(path)).string();
    prompter_.message(formatText(kSaved, full.c_str()));
}

bool CPrintGraphData::saveGraphImage(const CGraphCtrl& graph, const GraphPageContent& content) {
    const auto path = askImagePath("Save Graph Image", content.documentTitle);
    if (!path) {
        return true;
    }
    bool saved = false;
    std::error_code failure;
    const bool read =
        graph.read([&](const GraphModel& model) { saved = saveGraphPage(*path, model, content, {}, &failure); });
    if (!read || !saved) {
        reportHeld(*path, failure);
        return false;
    }
    reportSaved(*path);
    return true;
}

bool CPrintGraphData::saveWindow(QWidget& window) {
    // Taken before the dialog covers the window. The screen gives the
    // frame; the window draws its own client area over it, so a part that
    // is off the screen or under another window is still its own.
    const QImage client = window.grab().toImage();
    if (client.isNull()) {
        return false;
    }
    QImage image;
    QScreen* screen = window.screen();
    if (screen != nullptr && QGuiApplication::platformName() != QLatin1String("offscreen")) {
        const QRect frame = window.frameGeometry();
        image = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
        if (!image.isNull() && image.devicePixelRatio() == client.devicePixelRatio()) {
            image = image.convertToFormat(QImage::Format_RGB32);
            QPainter painter(&image);
            painter.drawImage(window.geometry().topLeft() - frame.topLeft(), client);
        }
    }
    if (image.isNull()) {
        image = client;
    }
    const auto path = askImagePath("Save Window");
    if (!path) {
        return true;
    }
    std::error_code failure;
    if (!saveCapture(*path, image.convertToFormat(QImage::Format_RGB32), &failure)) {
        reportHeld(*path, failure);
        return false;
    }
    reportSaved(*path);
    return true;
}

std::array<Rgb, 6> pageColours(const CGraphCtrl& graph) {
    std::array<Rgb, 6> colours{};
    (void)graph.read([&](const GraphModel& model) {
        for (int slot = 0; slot < 6; ++slot) {
            colours[static_cast<std::size_t>(slot)] = model.getTraceColour(slot);
        }
    });
    return colours;
}

GraphLegend pageLegend(const CGraphCtrl& graph, const GraphView& view, const std::string& liveName) {
    return graph.read([&](const GraphModel& model) { return traceLegend(view, model, liveName); }).value_or(GraphLegend{});
}

bool saveCapture(const std::string& path, const QImage& image, std::error_code* failure) {
    // A PDF or SVG of a capture is one page of the picture's size, at the
    // screen's 96 dpi.
    constexpr double kScreenDpi = 96.0;
    PageFileFormat format;
    format.pixels = image.size();
    format.dpi = static_cast<int>(kScreenDpi);
    format.pdfLayout = QPageLayout(
        QPageSize(QSizeF(image.width() / kScreenDpi, image.height() / kScreenDpi), QPageSize::Inch),
        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
    return writePageFile(path, format, [&](QPainter& painter) { painter.drawImage(0, 0, image); }, failure);
}

}  // namespace corvane
