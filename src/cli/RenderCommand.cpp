// corvane-cli render [--x mm|samples] [--channels LIST] [--overlay FILE]
// [--cursor X]... [--dpi N] [--portrait] -o OUT RUN: the graph page the
// desktop saves (Save Graph Image) or prints (with --dpi and --portrait),
// drawn without a display. Lab notebook scripts and report generators call
// it; keep its options stable.
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/Commands.h"

#ifdef CORVANE_CLI_RENDER
#include <QGuiApplication>
#include <any>
#include <array>
#include <cctype>
#include <clocale>
#include <functional>

#include "app/Clock.h"
#include "app/WindowPoster.h"
#include "base/TextFormat.h"
#include "cli/ConsolePrompter.h"
#include "cli/FileArgs.h"
#include "desktop/Channels.h"
#include "desktop/GraphCursors.h"
#include "desktop/GraphPageRenderer.h"
#include "desktop/GraphView.h"
#include "desktop/LiveFeed.h"
#include "desktop/LiveGraph.h"
#include "graph/GraphModel.h"
#include "runs/RunDataFile.h"
#endif

namespace corvane::cli {

#ifndef CORVANE_CLI_RENDER

int runRender(int, char**) {
    std::fprintf(stderr,
                 "corvane-cli render: not in this build: it was built without the Qt user interface "
                 "(CORVANE_BUILD_UI=OFF), which draws the page\n");
    return 2;
}

#else

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-cli render [--x mm|samples] [--channels LIST] [--overlay FILE] [--compare FILE]...\n"
                 "                          [--cursor X]... [--dpi N] [--portrait] -o OUT RUN\n"
                 "  the graph page of RUN as Save Graph Image makes it (11 x 8.5 in at 100 dpi), or as\n"
                 "  Print Graph with --dpi and --portrait; OUT's extension picks the kind: png, tif or\n"
                 "  tiff, pdf, svg, anything else bmp. LIST: channels by name or number 0-6, comma\n"
                 "  separated (sampleA,sourceA,absA,sampleB,sourceB,absB,ratio); default absA,absB,ratio\n");
    return 2;
}

constexpr std::array<const char*, kChannelCount> kChannelNames = {"samplea", "sourcea", "absa", "sampleb",
                                                                  "sourceb", "absb",    "ratio"};

// "absA,ratio" or "2,6": the channels switched on; false for a name that is
// neither.
bool parseChannels(std::string_view list, std::array<bool, kChannelCount>& shown) {
    shown.fill(false);
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        std::string lower;
        for (char c : item) {
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        int channel = -1;
        if (!parseNumber(std::string_view(lower), channel)) {
            for (int c = 0; c < kChannelCount; ++c) {
                if (lower == kChannelNames[static_cast<std::size_t>(c)]) {
                    channel = c;
                }
            }
        }
        if (channel < 0 || channel >= kChannelCount) {
            return false;
        }
        shown[static_cast<std::size_t>(channel)] = true;
    }
    return true;
}

// The graph as a bare model: nothing else draws or waits on it here.
class PageGraph : public LiveGraph {
public:
    bool edit(const std::function<void(GraphModel&)>& f) override {
        f(model);
        return true;
    }
    void redraw() override {}
    void redrawAll() override {}
    GraphModel model;
};

// No window to post to: the feed stays empty and a loaded run is shown.
class NoWindow : public WindowPoster {
public:
    void post(UserMsg, std::int64_t, std::int64_t, std::any) override {}
};

struct RenderOptions {
    bool mm = false;
    std::array<bool, kChannelCount> shown{false, false, true, false, false, true, true};
    std::string overlay;
    std::vector<std::string> compare;
    std::vector<double> cursors;
    PageTarget target;
    std::string out;
    std::string run;
};

int render(const RenderOptions& o) {
    if (!o.compare.empty()) {
        std::fprintf(stderr, "corvane-cli render: --compare is not available yet: this version has no compare "
                             "window to lay the sets out\n");
        return 2;
    }
    if (const std::string problem = outputFileProblem("render", o.out, true); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    RunDataFile run;
    if (!readRunFile("render", o.run, run)) {
        return 1;
    }
    std::optional<RunDataFile> overlay;
    if (!o.overlay.empty()) {
        overlay.emplace();
        if (!readRunFile("render", o.overlay, *overlay)) {
            return 1;
        }
    }

    // The page needs fonts, which need Qt's GUI module: on the offscreen
    // platform, so no display is needed.
    int qtArgc = 3;
    char arg0[] = "corvane-cli";
    char arg1[] = "-platform";
    char arg2[] = "offscreen";
    char* qtArgv[] = {arg0, arg1, arg2, nullptr};
    // Qt's own notes (a missing runtime folder, font fallbacks) are not this
    // command's output; only its failures reach standard error.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "corvane-cli render: %s\n", text.toLocal8Bit().constData());
        }
    });
    QGuiApplication app(qtArgc, qtArgv);
    // Formats keep their "." whatever the locale Qt set up.
    std::setlocale(LC_NUMERIC, "C");

    SteadyClock clock;
    NoWindow window;
    LiveFeed feed(clock, window);
    PageGraph graph;
    GraphView view(feed, graph);
    ViewSettings settings = view.settings();
    settings.shown = o.shown;
    settings.xAutoScale = true;
    settings.yAutoScale = true;
    settings.yyAutoScale = true;
    settings.showGrid = true;
    view.apply(settings);
    view.setXAxisType(o.mm ? XAxisType::Millimetres : XAxisType::SampleNumber);
    view.showFile(std::move(run), o.run);
    if (overlay) {
        view.setOverlay(std::move(*overlay), o.overlay);
    }
    view.refresh(false, false);

    ConsolePrompter prompter;
    GraphCursors cursors(prompter, clock);
    for (double x : o.cursors) {
        (void)cursors.add(x);
    }
    graph.model.setCursorList(!cursors.empty(), cursors.graphCursors());

    std::array<Rgb, 6> colours{};
    for (int slot = 0; slot < 6; ++slot) {
        colours[static_cast<std::size_t>(slot)] = graph.model.getTraceColour(slot);
    }
    const GraphPageContent content = graphPageContent(view, cursors, nullptr, colours);
    if (!saveGraphPage(o.out, graph.model, content, o.target)) {
        std::fprintf(stderr, "corvane-cli render: cannot write %s\n", visibleText(o.out).c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int runRender(int argc, char** argv) {
    RenderOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--x" && hasValue) {
            const std::string_view kind = argv[++i];
            if (kind != "mm" && kind != "samples") {
                return usage();
            }
            o.mm = kind == "mm";
        } else if (arg == "--channels" && hasValue) {
            if (!parseChannels(argv[++i], o.shown)) {
                std::fprintf(stderr, "corvane-cli render: unknown channel in '%s'\n", argv[i]);
                return 2;
            }
        } else if (arg == "--overlay" && hasValue) {
            o.overlay = argv[++i];
        } else if (arg == "--compare" && hasValue) {
            o.compare.emplace_back(argv[++i]);
        } else if (arg == "--cursor" && hasValue) {
            double x = 0.0;
            if (!parseNumber(std::string_view(argv[++i]), x) || !std::isfinite(x)) {
                std::fprintf(stderr, "corvane-cli render: --cursor needs a number\n");
                return 2;
            }
            o.cursors.push_back(x);
        } else if (arg == "--dpi" && hasValue) {
            // The printer page's resolutions; a page of more would not fit in memory as a bitmap.
            if (!parseNumber(std::string_view(argv[++i]), o.target.dpi) || o.target.dpi < 50 ||
                o.target.dpi > 1200) {
                std::fprintf(stderr, "corvane-cli render: --dpi needs a whole number from 50 to 1200\n");
                return 2;
            }
        } else if (arg == "--portrait") {
            o.target.landscape = false;
        } else if (arg == "-o" && hasValue) {
            o.out = argv[++i];
        } else if (arg.starts_with("-") || !o.run.empty()) {
            return usage();
        } else {
            o.run = std::string(arg);
        }
    }
    if (o.out.empty() || o.run.empty()) {
        return usage();
    }
    if (o.cursors.size() > static_cast<std::size_t>(GraphCursors::kMaxCursors)) {
        std::fprintf(stderr, "corvane-cli render: at most %d cursors\n", GraphCursors::kMaxCursors);
        return 2;
    }
    return render(o);
}

#endif

}  // namespace corvane::cli
