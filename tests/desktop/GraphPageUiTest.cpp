// The graph page drawn offscreen into the files a user saves and the
// printer: pixels where the mapping puts them, PDF and SVG that keep text as
// text and stay small, and the print object's outcomes through its seam.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QPushButton>
#include <QXmlStreamReader>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "../graph/QtTestApp.h"
#include "FullDisk.h"
#include "ScriptedPrompter.h"
#include "TempDir.h"
#include "WindowRig.h"
#include "TestClocks.h"
#include "app/FileReplace.h"
#include "base/FileHandle.h"
#include "base/TextFormat.h"
#include "base/WriterLock.h"
#include "desktop/CCompareDlg.h"
#include "desktop/CMainDlg.h"
#include "desktop/CPrintGraphData.h"
#include "desktop/GraphPageRenderer.h"
#include "graph/CGraphCtrl.h"
#include "graph/GraphModel.h"
#include "NoPorts.h"
#include "link/SerialPortApi.h"

namespace corvane {
namespace {

using test::TempDir;

constexpr Rgb kBlue{0, 0, 255};

// A model with slot 2 a flat line at y = 0.25 of its axis, x 0..100.
void flatLine(GraphModel& model) {
    model.setXRange(0.0, 100.0);
    model.setYRanges(0.0, 1.0, 0.0, 1.0, false, false);
    model.setTraceColour(2, kBlue);
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 0; i <= 100; ++i) {
        x.push_back(i);
        y.push_back(0.25);
    }
    ASSERT_TRUE(model.setTraceData(x.data(), y.data(), static_cast<int>(x.size()), 2, 1.0));
}

GraphPageContent namedPage(const std::string& name) {
    GraphPageContent content;
    content.documentTitle = name;
    content.header = headerTable({PageSet{name, CalendarTime{2024, 2, 29, 8, 0, 0}, {}, kBlue}});
    content.cursorBlocks.push_back({"Cursor: 50", "Abs A: 0.25"});
    return content;
}

std::string fileText(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

bool hasTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The message boxes shown, without the dialogs' titles.
std::vector<std::string> messages(const test::ScriptedPrompter& prompter) {
    std::vector<std::string> out;
    for (const std::string& line : prompter.transcript()) {
        if (line.rfind("message: ", 0) == 0) {
            out.push_back(line.substr(9));
        }
    }
    return out;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

class GraphPageUi : public ::testing::Test {
protected:
    GraphPageUi() { test::qtApp(); }
    TempDir dir;
};

TEST_F(GraphPageUi, BitmapPageHasTheTraceWhereTheMappingPutsIt) {
    GraphModel model;
    flatLine(model);
    for (const char* name : {"page.png", "page.BMP", "page.tif"}) {
        const auto path = dir.path() / name;
        ASSERT_TRUE(saveGraphPage(path.string(), model, namedPage("a.csv"))) << name;
        const QImage image(QString::fromStdString(path.string()));
        ASSERT_EQ(image.size(), QSize(1100, 850)) << name;
        // The plot is 950 x 440 at (75, 120): y = 0.25 lands 330 rows down,
        // on row 450; the 2 px pen covers it along the whole trace.
        for (int x : {200, 550, 1000}) {
            EXPECT_TRUE(test::isColour(image, x, 450, kBlue)) << name << " x " << x;
        }
        EXPECT_FALSE(test::isColour(image, 550, 300, kBlue));
        // The frame is black and 4 px wide round the plot; outside it the page is white.
        EXPECT_EQ(image.pixel(75, 300), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(20, 845), qRgb(255, 255, 255));
    }
    // The PNG, written its own quick way, holds the very pixels the BMP
    // does, and the page's 100 dpi.
    const QImage png(QString::fromStdString((dir.path() / "page.png").string()));
    const QImage bmp(QString::fromStdString((dir.path() / "page.BMP").string()));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), bmp.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(png.dotsPerMeterX(), 3937);
    // The kind goes by the name, not by what the reader guesses.
    EXPECT_EQ(fileText(dir.path() / "page.BMP").substr(0, 2), "BM");
    EXPECT_EQ(fileText(dir.path() / "page.tif").substr(0, 2), "II");
}

TEST_F(GraphPageUi, PdfAndSvgKeepTextAsTextAndTheRunsName) {
    GraphModel model;
    flatLine(model);
    const auto pdf = dir.path() / "page.PDF";
    ASSERT_TRUE(saveGraphPage(pdf.string(), model, namedPage("run_0042.csv")));
    const std::string bytes = fileText(pdf);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(bytes.find("%%EOF"), std::string::npos);
    if (hasTool("pdfinfo") && hasTool("pdftotext")) {
        const std::string info = run("pdfinfo '" + pdf.string() + "'");
        const auto title = info.find("Title:");
        ASSERT_NE(title, std::string::npos);
        EXPECT_EQ(info.substr(title, info.find('\n', title) - title).find("run_0042.csv") == std::string::npos, false);
        const std::string text = run("pdftotext '" + pdf.string() + "' -");
        EXPECT_NE(text.find("run_0042.csv"), std::string::npos);
        EXPECT_NE(text.find("Sample Number"), std::string::npos);
    }

    const auto svg = dir.path() / "page.svg";
    ASSERT_TRUE(saveGraphPage(svg.string(), model, namedPage("run_0042.csv")));
    QFile file(QString::fromStdString(svg.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int texts = 0;
    int paths = 0;
    bool named = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("text")) {
            ++texts;
            named = named || xml.readElementText(QXmlStreamReader::IncludeChildElements).contains("run_0042.csv");
        } else if (xml.isStartElement() && (xml.name() == QLatin1String("path") || xml.name() == QLatin1String("polyline"))) {
            ++paths;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(texts, 10);
    EXPECT_TRUE(named);
    EXPECT_GT(paths, 0);
}

// The disk fills while a page is written (the file size the process may
// write is held down, its signal ignored, so writes fail as on a full disk):
// the earlier page stays whole, nothing else is left, the save says it failed.
TEST_F(GraphPageUi, APageThatDoesNotFitOnTheDiskLeavesTheEarlierOne) {
    GraphModel model;
    flatLine(model);
    const auto svg = dir.path() / "page.svg";
    ASSERT_TRUE(saveGraphPage(svg.string(), model, namedPage("run_0042.csv")));
    const std::string earlier = fileText(svg);
    std::error_code failure;
    bool saved = true;
    bool pdfSaved = true;
    {
        const test::FullDisk full(earlier.size() / 2);
        saved = saveGraphPage(svg.string(), model, namedPage("another.csv"), {}, &failure);
        pdfSaved = saveGraphPage((dir.path() / "page.pdf").string(), model, namedPage("another.csv"));
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(failure, std::errc::file_too_large);
    EXPECT_FALSE(pdfSaved);
    EXPECT_EQ(fileText(svg), earlier);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(GraphPageUi, EightTracesOf25000PointsStayUnderTwoMegabytesAsPdf) {
    GraphModel model;
    constexpr int kPoints = 25000;
    model.setXRange(0.0, kPoints);
    model.setYRanges(-1.5, 1.5, -1.5, 1.5, false, false);
    std::vector<double> x(kPoints);
    std::vector<double> y(kPoints);
    for (int slot = 0; slot < kTraceSlots; ++slot) {
        for (int i = 0; i < kPoints; ++i) {
            x[static_cast<std::size_t>(i)] = i;
            // A noisy profile: every column holds many distinct values.
            y[static_cast<std::size_t>(i)] = std::sin(i * 0.002 + slot) + 0.3 * std::sin(i * 1.7 * (slot + 1));
        }
        ASSERT_TRUE(model.setTraceData(x.data(), y.data(), kPoints, slot, 1.0));
    }
    const auto pdf = dir.path() / "dense.pdf";
    ASSERT_TRUE(saveGraphPage(pdf.string(), model, namedPage("dense.csv")));
    const auto size = std::filesystem::file_size(pdf);
    EXPECT_LT(size, 2U * 1024 * 1024);
    std::printf("8 x 25000 points: %ju bytes of PDF\n", static_cast<std::uintmax_t>(size));
}

// Answers the print dialog without showing it: accepted with the printer
// writing a PDF file, or cancelled.
class FilePrintDialog : public PrintDialogRunner {
public:
    Result run(QPrinter& printer) override {
        seenDocName = printer.docName().toStdString();
        if (result == Result::Accepted) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(output));
            printer.setResolution(dpi);
            printer.setPageSize(QPageSize(QPageSize::Letter));
            printer.setPageOrientation(portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
        }
        return result;
    }
    Result result = Result::Accepted;
    std::string output;
    std::string seenDocName;
    int dpi = 300;
    bool portrait = false;
};

TEST_F(GraphPageUi, PrintGoesThroughTheDialogSeamToThePrinter) {
    test::ManualClock clock;
    CGraphCtrl graph(clock);
    ASSERT_TRUE(graph.edit([](GraphModel& m) { flatLine(m); }));
    test::ScriptedPrompter prompter;
    FilePrintDialog dialog;
    dialog.output = (dir.path() / "printed.pdf").string();
    dialog.portrait = true;

    CPrintGraphData print(prompter, dir.path().string());
    EXPECT_TRUE(print.printGraph(graph, namedPage("p.csv"), dialog));
    EXPECT_EQ(dialog.seenDocName, "Corvane");
    EXPECT_EQ(fileText(dialog.output).substr(0, 5), "%PDF-");
    if (hasTool("pdfinfo")) {
        // A portrait letter page: 612 x 792 points.
        const std::string info = run("pdfinfo '" + dialog.output + "'");
        EXPECT_NE(info.find("612 x 792"), std::string::npos) << info;
    }
    EXPECT_TRUE(messages(prompter).empty());

    // Cancel is no failure and says nothing; a printer that cannot start
    // says so.
    dialog.result = PrintDialogRunner::Result::Cancelled;
    EXPECT_TRUE(print.printGraph(graph, namedPage("p.csv"), dialog));
    EXPECT_TRUE(messages(prompter).empty());
    dialog.result = PrintDialogRunner::Result::Accepted;
    dialog.output = (dir.path() / "no such folder" / "x.pdf").string();
    EXPECT_FALSE(print.printGraph(graph, namedPage("p.csv"), dialog));
    EXPECT_EQ(messages(prompter), std::vector<std::string>{CPrintGraphData::kAttachFailed});
}

TEST_F(GraphPageUi, SaveGraphImageAsksThenReportsTheFullPath) {
    test::ManualClock clock;
    CGraphCtrl graph(clock);
    ASSERT_TRUE(graph.edit([](GraphModel& m) { flatLine(m); }));
    test::ScriptedPrompter prompter;
    CPrintGraphData print(prompter, dir.path().string());

    prompter.scriptFile(std::nullopt);
    EXPECT_TRUE(print.saveGraphImage(graph, namedPage("a.csv")));
    EXPECT_TRUE(messages(prompter).empty());
    ASSERT_EQ(prompter.fileRequests().size(), 1U);
    EXPECT_EQ(prompter.fileRequests()[0].filter.substr(0, 50), std::string(kGraphImageFilter).substr(0, 50));
    // PNG first, in the data folder, named after the run.
    EXPECT_EQ(prompter.fileRequests()[0].defaultExtension, "png");
    EXPECT_EQ(prompter.fileRequests()[0].filter.substr(0, 16), "PNG Files (*.png");
    EXPECT_EQ(prompter.fileRequests()[0].initialFolder, dir.path().string());
    EXPECT_EQ(prompter.fileRequests()[0].defaultName, "a.png");

    const auto path = dir.path() / "g.png";
    prompter.scriptFile(path.string());
    EXPECT_TRUE(print.saveGraphImage(graph, namedPage("a.csv")));
    EXPECT_EQ(messages(prompter), std::vector<std::string>{"File saved successfully to: " + path.string()});
    EXPECT_EQ(QImage(QString::fromStdString(path.string())).size(), QSize(1100, 850));

    prompter.clear();
    prompter.scriptFile((dir.path() / "gone" / "g.png").string());
    EXPECT_FALSE(print.saveGraphImage(graph, namedPage("a.csv")));
    EXPECT_TRUE(messages(prompter).empty());  // the window shows the command's own message

    // A file a recording holds, though the dialog asked to replace it: left
    // as it is, and said why.
    const auto held = dir.write("held.png", "rows being recorded\n");
    const auto recorder = openFile(held, "ab");
    ASSERT_TRUE(claimForWriting(recorder.get()));
    prompter.clear();
    prompter.scriptFile(held.string());
    EXPECT_FALSE(print.saveGraphImage(graph, namedPage("a.csv")));
    EXPECT_EQ(messages(prompter), std::vector<std::string>{heldFileProblem(held)});
    QWidget window;
    window.resize(40, 30);
    prompter.clear();
    prompter.scriptFile(held.string());
    EXPECT_FALSE(print.saveWindow(window));
    EXPECT_EQ(messages(prompter), std::vector<std::string>{heldFileProblem(held)});
    EXPECT_EQ(fileText(held), "rows being recorded\n");
}

TEST_F(GraphPageUi, SaveWindowCapturesTheWidget) {
    QWidget window;
    window.resize(320, 200);
    window.setStyleSheet("background: rgb(0, 128, 0)");
    test::ScriptedPrompter prompter;
    CPrintGraphData print(prompter, dir.path().string());
    const auto path = dir.path() / "w.tiff";
    prompter.scriptFile(path.string());
    EXPECT_TRUE(print.saveWindow(window));
    const QImage image(QString::fromStdString(path.string()));
    ASSERT_EQ(image.size(), QSize(320, 200));
    EXPECT_EQ(image.pixel(160, 100), qRgb(0, 128, 0));
}

using test::NoPorts;

// The main window's entries and buttons reach the page: a shown run with a
// cursor saved from SAVE GRAPH, printed from the menu, captured whole.
TEST_F(GraphPageUi, MainWindowSavesPrintsAndCapturesItsGraph) {
    std::string text =
        "Corvane Text Data File: shown.csv\n\nData Columns:\n"
        "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
    for (int i = 0; i < 200; ++i) {
        text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.2, 0, 1\n", 0.1 * i, 0.5 + 0.002 * i, 0.1 * i);
    }
    test::writeWindowFolder(dir, "showRawA 0\nshowRefA 0\nshowAbsA 1\nshowRawB 0\nshowRefB 0\nshowAbsB 1\n"
                             "showADivB 0\nxaxissamplerange 500\nxaxisposrange 100\nymin 0\nymax 2\n");
    test::ScriptedPrompter prompter;
    test::ManualClock clock;
    NoPorts ports;
    CMainDlg window(test::windowSeams(dir.path(), clock, prompter, ports));
    window.resize(800, 577);  // the smallest size: the page does not depend on it
    window.logic().loadPreferences();
    ASSERT_TRUE(window.logic().files().showDataFile(dir.write("shown.csv", text)));
    window.logic().refreshGraph();
    ASSERT_TRUE(window.logic().cursors().add(100.0));
    window.logic().graph().cursorsChanged();
    window.updateAll();

    QPushButton* saveGraph = nullptr;
    QPushButton* saveWindow = nullptr;
    for (QPushButton* b : window.findChildren<QPushButton*>()) {
        (b->text() == "SAVE GRAPH" ? saveGraph : b->text() == "SAVE WINDOW" ? saveWindow : b) = b;
    }
    ASSERT_TRUE(saveGraph != nullptr && saveWindow != nullptr);
    EXPECT_TRUE(saveGraph->isEnabled());
    EXPECT_TRUE(window.action("&Print Graph")->isEnabled());
    EXPECT_TRUE(window.action("S&ave Graph Image")->isEnabled());

    const auto png = dir.path() / "graph.png";
    prompter.scriptFile(png.string());
    saveGraph->click();
    EXPECT_EQ(messages(prompter), std::vector<std::string>{"File saved successfully to: " + png.string()});
    const QImage page(QString::fromStdString(png.string()));
    ASSERT_EQ(page.size(), QSize(1100, 850));
    // Abs A is 0.5 + 0.002 x sample, drawn in slot 2's colour: at sample 50
    // (0.6 on a 0..2 axis) it sits 70 % of the way down the plot.
    const Rgb absA = window.graph().read([](const GraphModel& m) { return m.getTraceColour(2); }).value();
    const int x = 75 + static_cast<int>(950.0 * (50 - window.logic().view().axes().xRange().min) /
                                        (window.logic().view().axes().xRange().max - window.logic().view().axes().xRange().min));
    const int y = 120 + static_cast<int>(440.0 * (1.0 - 0.6 / 2.0));
    EXPECT_GE(test::countInColumn(page.copy(x, y - 3, 1, 7), 0, absA), 1);

    FilePrintDialog dialog;
    dialog.output = (dir.path() / "printed.pdf").string();
    window.setPrintDialog(&dialog);
    prompter.clear();
    window.action("&Print Graph")->trigger();
    EXPECT_EQ(fileText(dialog.output).substr(0, 5), "%PDF-");
    EXPECT_TRUE(messages(prompter).empty());

    prompter.scriptFile((dir.path() / "nowhere" / "w.png").string());
    saveWindow->click();
    EXPECT_EQ(messages(prompter), std::vector<std::string>{"Error acquiring capture of main window."});
    prompter.clear();
    prompter.scriptFile((dir.path() / "w.png").string());
    saveWindow->click();
    EXPECT_EQ(QImage(QString::fromStdString((dir.path() / "w.png").string())).size(), window.size());
}

// The compare window saves, prints and captures its own page: the legend
// names both runs with a box in each set's colour, and each trace is drawn in
// that colour.
TEST_F(GraphPageUi, CompareWindowSavesItsPageWithTheCompareLegend) {
    test::writeWindowFolder(dir);
    std::vector<std::string> runs;
    for (const auto& [name, level] : {std::pair{"low.csv", 0.4}, {"high.csv", 1.6}}) {
        std::string text = std::string("Corvane Text Data File: ") + name + "\n\nData Columns:\n"
                           "SampleA, SourceA, SampleB, SourceB, PositionA, AbsA, PositionB, AbsB, PositionB, ratioA/B\n";
        for (int i = 0; i < 100; ++i) {
            text += formatText("1000, 2000, 1000, 2000, %.2f, %.6f, %.2f, 0.2, 0, 1\n", 0.1 * i, level, 0.1 * i);
        }
        runs.push_back(dir.write(name, text).string());
    }
    test::ScriptedPrompter prompter;
    test::ManualClock clock;
    NoPorts ports;
    CMainDlg window(test::windowSeams(dir.path(), clock, prompter, ports));
    window.logic().loadPreferences();
    constexpr Rgb kRed{255, 0, 0};
    constexpr std::array<int, 4> colours{255, 255 << 16, 1 | 1 << 8 | 1 << 16, 255 << 8};
    ASSERT_TRUE(window.openCompare(runs, 2, colours));
    CCompareDlg& compare = *window.compareWindow();

    // The compare window's own buttons: the main window's command panel is hidden there.
    QPushButton* saveGraph = nullptr;
    QPushButton* saveWindow = nullptr;
    for (QPushButton* b : compare.findChildren<QPushButton*>()) {
        if (b->isVisibleTo(&compare)) {
            (b->text() == "SAVE GRAPH" ? saveGraph : b->text() == "SAVE WINDOW" ? saveWindow : b) = b;
        }
    }
    ASSERT_TRUE(saveGraph != nullptr && saveWindow != nullptr);

    const auto png = dir.path() / "compare.png";
    prompter.scriptFile(png.string());
    saveGraph->click();
    EXPECT_EQ(messages(prompter), std::vector<std::string>{"File saved successfully to: " + png.string()});
    const QImage page(QString::fromStdString(png.string()));
    ASSERT_EQ(page.size(), QSize(1100, 850));
    // Over the plot (above row 120) only the legend's colour boxes are red or
    // blue; in the plot, low.csv (0.4) and high.csv (1.6) sit on their rows.
    int redBoxes = 0;
    int blueBoxes = 0;
    for (int x = 0; x < 1100; ++x) {
        redBoxes += test::countInColumn(page.copy(x, 0, 1, 118), 0, kRed);
        blueBoxes += test::countInColumn(page.copy(x, 0, 1, 118), 0, kBlue);
    }
    EXPECT_GT(redBoxes, 20);
    EXPECT_GT(blueBoxes, 20);
    const auto row = [](double value) { return 120 + static_cast<int>(440.0 * (1.0 - value / 2.0)); };
    EXPECT_GE(test::countInColumn(page.copy(500, row(0.4) - 3, 1, 7), 0, kRed), 1);
    EXPECT_GE(test::countInColumn(page.copy(500, row(1.6) - 3, 1, 7), 0, kBlue), 1);

    FilePrintDialog dialog;
    dialog.output = (dir.path() / "compare.pdf").string();
    compare.setPrintDialog(&dialog);
    compare.action("&Print Graph")->trigger();
    EXPECT_EQ(fileText(dialog.output).substr(0, 5), "%PDF-");

    prompter.clear();
    prompter.scriptFile((dir.path() / "w.png").string());
    saveWindow->click();
    EXPECT_EQ(QImage(QString::fromStdString((dir.path() / "w.png").string())).size(), compare.size());
}

}  // namespace
}  // namespace corvane
