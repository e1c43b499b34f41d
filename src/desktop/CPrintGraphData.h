#pragma once

#include <QImage>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "display/GraphPage.h"
#include "display/GraphPageContent.h"
#include "graph/Rgb.h"

class QPrinter;
class QWidget;

namespace corvane {

class CGraphCtrl;
class GraphView;
class Prompter;

// The system print dialog as the print command sees it: the dialog edits
// the printer's settings and says how it ended. Tests answer it without a
// dialog (and print to a PDF file); the program shows QPrintDialog.
class PrintDialogRunner {
public:
    enum class Result { Accepted, Cancelled, Failed };
    virtual ~PrintDialogRunner() = default;
    [[nodiscard]] virtual Result run(QPrinter& printer) = 0;
};

// QPrintDialog without selection and page-number options.
class QtPrintDialogRunner : public PrintDialogRunner {
public:
    explicit QtPrintDialogRunner(QWidget* parent) : parent_(parent) {}
    [[nodiscard]] Result run(QPrinter& printer) override;

private:
    QWidget* parent_;
};

// The printer's resolution and orientation as the page wants them.
[[nodiscard]] PageTarget printerTarget(const QPrinter& printer);

// The print object of one command: Print Graph, Save Graph Image or SAVE
// WINDOW. It owns the printer, the page bitmap and the file dialogs' answers
// for that command and is dropped after it. Each command returns false only
// on a failure the window reports with its own message; a cancelled dialog
// is not a failure.
class CPrintGraphData {
public:
    static constexpr const char* kAttachFailed = "Error, unable to attach printer device context.";
    static constexpr const char* kSaved = "File saved successfully to: %s";
    static constexpr const char* kDocumentName = "Corvane";

    // graph: the plot drawn on the page; content: the run around it.
    CPrintGraphData(Prompter& prompter, std::string initialFolder);

    [[nodiscard]] bool printGraph(const CGraphCtrl& graph, const GraphPageContent& content,
                                  PrintDialogRunner& dialog);
    [[nodiscard]] bool saveGraphImage(const CGraphCtrl& graph, const GraphPageContent& content);
    // The whole window, its frame included where the platform can read the
    // screen; offscreen, its client area.
    [[nodiscard]] bool saveWindow(QWidget& window);

private:
    // The save dialog with the image filter, PNG first, in the data folder,
    // offering the run's name; nothing when cancelled.
    [[nodiscard]] std::optional<std::string> askImagePath(const char* title, const std::string& runName = {});
    void reportSaved(const std::string& path);
    // A save refused because another writer holds the file says so.
    void reportHeld(const std::string& path, std::error_code failure);

    Prompter& prompter_;
    std::string initialFolder_;
};

// The colours of slots 0 to 5 as the graph draws them, for the page's legends.
[[nodiscard]] std::array<Rgb, 6> pageColours(const CGraphCtrl& graph);
// The graph's traces as drawn now, named for the legend (traceLegend).
[[nodiscard]] GraphLegend pageLegend(const CGraphCtrl& graph, const GraphView& view,
                                     const std::string& liveName = "Live run");

// A captured picture saved in the kind the name gives: bitmaps as they are,
// PDF and SVG as a page of the picture's size.
[[nodiscard]] bool saveCapture(const std::string& path, const QImage& image, std::error_code* failure = nullptr);

}  // namespace corvane
