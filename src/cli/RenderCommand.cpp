// corvane-cli render [--x mm|samples|ml|s|min] [--y au|volts] [--channels LIST]
// [--overlay FILE] [--cursor X]... [--analysis] [--dpi N] [--portrait] [--x-column C] [--y-column C]
// -o OUT RUN: the graph page the desktop saves (Save Graph Image) or prints (with --dpi and --portrait),
// drawn without a display. With --compare FILE (once to three times) the
// compare window's page of RUN and the FILEs, shifted by --offset or lined
// up by --align. RUN, the overlay and the compared files may be profiles of
// other instruments (.pks, .asc, tables), drawn on their own x. Lab notebook
// scripts and report generators call it; keep its options stable.
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/Commands.h"

#ifdef CORVANE_CLI_RENDER
#include <QGuiApplication>
#include <algorithm>
#include <any>
#include <array>
#include <cctype>
#include <clocale>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

#include "app/Clock.h"
#include "app/FileReplace.h"
#include "base/TextFormat.h"
#include "cli/AlignedOffsets.h"
#include "cli/AnalysisArgs.h"
#include "cli/ConsolePrompter.h"
#include "cli/FileArgs.h"
#include "cli/ProfileArgs.h"
#include "compare/CompareSets.h"
#include "display/Channels.h"
#include "desktop/GraphPageRenderer.h"
#include "display/CompareSession.h"
#include "display/GraphCursors.h"
#include "display/TraceLegend.h"
#include "display/AnalysisLayer.h"
#include "display/AnalysisState.h"
#include "display/GraphView.h"
#include "display/LiveGraph.h"
#include "display/RunTraces.h"
#include "display/WindowPreferences.h"
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
                 "usage: corvane-cli render [--x mm|samples|ml|s|min|index|native] [--y au|volts]\n"
                 "                          [--channels LIST] [--overlay FILE] [--cursor X]...\n"
                 "                          [--analysis [ANALYSIS OPTIONS]] [--dpi N] [--portrait]\n"
                 "                          [--force] [--x-column C] [--y-column C] -o OUT RUN\n"
                 "       corvane-cli render --compare FILE [--compare FILE]... [--offset N]...\n"
                 "                          [--align [--from X1 --to X2]] [other options] -o OUT RUN\n"
                 "  the graph page of RUN as Save Graph Image makes it (11 x 8.5 in at 100 dpi), or as\n"
                 "  Print Graph with --dpi and --portrait; OUT's extension picks the kind: png, tif or\n"
                 "  tiff, pdf, svg, anything else bmp; an existing OUT is replaced when it is a page of\n"
                 "  that kind, anything else only with --force, and never a file the page is drawn\n"
                 "  from. LIST: channels by name or number 0-6, comma separated (sampleA,sourceA,\n"
                 "  absA,sampleB,sourceB,absB,ratio); default absA,absB,ratio.\n"
                 "  --x: the x axis: sample numbers (the default), position, volume (position times\n"
                 "  the run's volume per mm) or time from the run's start; --y volts shows a DE-1\n"
                 "  run's signal in volts (0.0-1.0 V).\n"
                 "  --compare: the compare window's page of RUN and each FILE (2 to 4 runs), one\n"
                 "  channel each (LIST names one; default absA) in the colours DS1 to DS4; one\n"
                 "  --offset (samples) per run in order, RUN's first; --align lines the Abs A peaks\n"
                 "  between X1 and X2 (on the --x axis; the whole runs without them) up with RUN's.\n"
                 "  --analysis: RUN's regions shaded with their names, its valleys and baseline drawn,\n"
                 "  as View > Analysis shows them; ANALYSIS OPTIONS as analyze takes them, which gives\n"
                 "  the numbers:\n"
                 "     %s\n"
                 "  with x (regions, a line's windows) in the page's x unit. --x index is --x samples,\n"
                 "  --x native the file's own unit (mm for runs); on an axis by sample number (samples,\n"
                 "  s, min) RUN is analysed by sample number, as analyze --x index does.\n"
                 "  RUN and FILE may be profiles of other instruments (.pks, .asc, a table): without --x\n"
                 "  they are drawn on their own x (min, ml), with our runs converted to it where every\n"
                 "  file converts, else by sample number.\n%s",
                 kAnalysisArgsUsage, kColumnUsage);
    return 2;
}

// The compare window's most sets.
constexpr int kMaxCompareRuns = CompareOffsets::kMaxSets;

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

struct RenderOptions {
    XAxisType axis = XAxisType::SampleNumber;
    bool axisGiven = false;
    bool volts = false;
    std::array<bool, kChannelCount> shown{false, false, true, false, false, true, true};
    bool channelsGiven = false;
    std::string overlay;
    std::vector<std::string> compare;
    std::vector<double> offsets;
    bool align = false;
    std::optional<double> from;
    std::optional<double> to;
    std::vector<double> cursors;
    bool analysis = false;
    AnalysisArgs analysisArgs;  // as analyze takes them
    bool analysisArgsGiven = false;
    bool nativeAxis = false;  // --x native: the file's own unit
    PageTarget target;
    std::string out;
    bool force = false;
    std::string run;
    ProfileFileOptions columns;  // each plain table's, among all the files
};

int fail(const std::string& message) {
    std::fprintf(stderr, "corvane-cli render: %s\n", message.c_str());
    return 1;
}

// The files read, in order: RUN, then the overlay or the compared runs.
std::vector<std::string> inputsOf(const RenderOptions& o) {
    std::vector<std::string> inputs{o.run};
    if (!o.overlay.empty()) inputs.push_back(o.overlay);
    inputs.insert(inputs.end(), o.compare.begin(), o.compare.end());
    return inputs;
}

// What may be at OUT: nothing, or a page of the kind OUT's name gives (an
// earlier render); anything else (a run, a text, another kind of image) is
// replaced only with --force. Never one of the files the page is drawn from.
std::string outputProblem(const RenderOptions& o) {
    if (auto problem = outputFileProblem("render", o.out, true); !problem.empty()) {
        return problem;
    }
    const auto inputs = inputsOf(o);
    if (auto problem = outputIsInputProblem("render", o.out, {inputs.begin(), inputs.end()}); !problem.empty()) {
        return problem;
    }
    std::error_code error;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(o.out, error));
    const std::string kind = pageFileKindName(pageFileKind(o.out));
    if (exists && !o.force && pageFileKindOnDisk(o.out) != kind) {
        return "corvane-cli render: " + visibleText(o.out) + " exists and is not a " + kind +
               " page; give --force to replace it";
    }
    return {};
}

// A run of ours, or a profile of another instrument made a run; false
// after the message.
bool readShownFile(const std::string& name, const ProfileFileOptions& columns, RunDataFile& out) {
    RunOrProfileFile read;
    if (const std::string problem = readRunOrProfile("render", name, columns, read); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return false;
    }
    out = read.isRun ? std::move(read.run) : RunDataFile::fromProfile(std::move(*read.profile));
    return true;
}

// The x axis of the page: --x where every file has its own x there (a
// profile has no mm), else, without --x, the axis of the files' profiles
// (sample numbers for our runs alone). Nothing after the message.
std::optional<XAxisType> pageAxis(const RenderOptions& o, const std::vector<const RunDataFile*>& files) {
    XAxisType wanted = o.axis;
    if (o.nativeAxis && !files.empty()) {
        wanted = profileAxisOf(*files.front()).value_or(XAxisType::Millimetres);
    } else if (!o.axisGiven) {
        for (const RunDataFile* file : files) {
            if (const auto own = profileAxisOf(*file)) {
                wanted = *own;
                break;
            }
        }
    }
    const XAxisType axis = axisShowingAll(files, wanted);
    if (o.axisGiven && axis != wanted) {
        std::fprintf(stderr,
                     "corvane-cli render: --x %s, but a profile of another instrument has no x in it; give --x %s "
                     "(or leave --x out)\n",
                     xAxisWords(wanted).unit[0] != '\0' ? xAxisWords(wanted).unit : "samples",
                     axis == XAxisType::SampleNumber ? "samples" : xAxisWords(axis).unit);
        return std::nullopt;
    }
    return axis;
}

// The compare window's sets: RUN and the compared runs, read as it reads
// them (an export file is refused with its message), placed by the offsets
// given or found.
std::optional<std::string> loadCompareSets(const RenderOptions& o, CompareSession& session, CompareOffsets& offsets,
                                           XAxisType& axis) {
    const std::vector<std::string> names = inputsOf(o);
    for (const std::string& name : names) {
        if (!runFileReadable("render", name)) {
            return std::string();  // said already
        }
    }
    if (auto message = session.load({names.begin(), names.end()}, {names.size(), o.columns}); !message.empty()) {
        return message;
    }
    const CompareSets& sets = session.sets();
    std::vector<const RunDataFile*> files;
    for (std::size_t k = 0; k < sets.size(); ++k) files.push_back(&sets[k].file);
    const auto shown = pageAxis(o, files);
    if (!shown) {
        return std::string();  // said already
    }
    axis = *shown;
    std::vector<double> shifts = o.offsets;
    std::vector<XUnits> units;
    for (const RunDataFile* file : files) units.push_back(xUnitsOf(*file, axis));
    const bool mixed = std::any_of(units.begin(), units.end(), [&](const XUnits& u) {
        return u.byPosition != units[0].byPosition || u.scale != units[0].scale;
    });
    if (o.align && mixed) {
        // Profiles in their own units beside our runs: each set searched
        // where it is drawn, the window in the axis's units.
        const auto found = alignedOnAxis(files, units, o.from.value_or(-HUGE_VAL), o.to.value_or(HUGE_VAL));
        if (!found) {
            return "the reference has no peak in the window: " + visibleText(names.front());
        }
        shifts.clear();
        for (std::size_t k = 0; k < found->size(); ++k) {
            if (!(*found)[k]) {
                return "no peak in the window: " + visibleText(names[k]);
            }
            shifts.push_back(*(*found)[k]);
        }
    } else if (o.align) {
        std::vector<AlignTrace> traces;
        for (std::size_t k = 0; k < sets.size(); ++k) traces.push_back(alignTraceOf(sets[k].file));
        // The window is on the --x axis: in RUN's own positions or samples.
        const XUnits units = xUnitsOf(sets[0].file, axis);
        const auto own = [&](const std::optional<double>& x) {
            return x ? std::optional(*x / units.scale) : std::nullopt;
        };
        std::string problem;
        const auto found = alignedOffsets(traces, names, units.byPosition ? AlignAxis::Millimetres : AlignAxis::Samples,
                                          own(o.from), own(o.to), problem);
        if (!found) {
            return problem;
        }
        shifts = *found;
    }
    for (std::size_t k = 0; k < shifts.size(); ++k) {
        (void)offsets.setXOffset(static_cast<int>(k), shifts[k]);
    }
    return std::nullopt;
}

int render(const RenderOptions& o) {
    for (const std::string& problem : {outputProblem(o), columnsProblem("render", o.columns, inputsOf(o))}) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    // The graph as a bare model, shown as the window shows a saved run or
    // its compare sets: no live run, nothing else drawing.
    PageGraph graph;
    GraphView view(graph);
    ConsolePrompter prompter;
    CompareSession compare(view, prompter, std::filesystem::current_path());
    CompareOffsets placements;
    XAxisType axis = o.axis;
    RunDataFile run;
    std::optional<RunDataFile> overlay;
    if (!o.compare.empty()) {
        if (const auto problem = loadCompareSets(o, compare, placements, axis)) {
            return problem->empty() ? 1 : fail(*problem);
        }
    } else {
        if (!readShownFile(o.run, o.columns, run)) {
            return 1;
        }
        if (!o.overlay.empty()) {
            overlay.emplace();
            if (!readShownFile(o.overlay, o.columns, *overlay)) {
                return 1;
            }
        }
    }
    if (o.compare.empty()) {
        std::vector<const RunDataFile*> files{&run};
        if (overlay) files.push_back(&*overlay);
        const auto shown = pageAxis(o, files);
        if (!shown) {
            return 1;
        }
        axis = *shown;
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

    ViewSettings settings = view.axes().settings();
    settings.shown = o.shown;
    settings.xAutoScale = true;
    settings.yAutoScale = true;
    settings.yyAutoScale = true;
    settings.showGrid = true;
    view.change([&o](AxisState& axes) { axes.setVolts(o.volts); });
    if (!o.compare.empty()) {
        // As the compare window sets itself up: one channel, every set in
        // its colour, every set whole.
        const auto plot = static_cast<int>(std::find(o.shown.begin(), o.shown.end(), true) - o.shown.begin());
        compare.show(plot, WindowPreferences::defaultMultiColours(), placements, settings, axis);
    } else {
        view.apply(settings);
        view.showFile(std::move(run), o.run);
        view.setXAxisType(axis);
        if (overlay) {
            view.setOverlay(std::move(*overlay), o.overlay);
        }
        view.refresh();
    }

    // The marks the window's analysis lays on the graph, by the same layer.
    AnalysisState analysis;
    std::optional<AnalysisLayer> analysisLayer;
    if (o.analysis) {
        // Set up as analyze takes the options, on RUN's x as the page shows it.
        const ProfilePlacement placement = placementOf(view.scene(), view.axes(), 0);
        AnalysisArgs args = o.analysisArgs;
        if (std::string problem; !loadBlank("render", args, !placement.byPosition, problem)) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
        analysis.setChannel(args.reading.channel);
        setSettingsOnGraph(analysis, args.settings, placement);
        analysisLayer.emplace(analysis, view, graph);
        if (analysis.size() == 0) {
            return fail(visibleText(o.run) + " holds no run to analyse");
        }
        if (!analysis.analysis(0).ok()) {
            return fail("cannot analyse " + visibleText(o.run) + ": " + analysis.analysis(0).problem);
        }
    }

    SteadyClock clock;
    GraphCursors cursors(prompter, clock);
    for (double x : o.cursors) {
        (void)cursors.add(x);
    }
    graph.model.setCursorList(!cursors.empty(), cursors.graphCursors());

    std::array<Rgb, 6> colours{};
    for (int slot = 0; slot < 6; ++slot) {
        colours[static_cast<std::size_t>(slot)] = graph.model.getTraceColour(slot);
    }
    PageSource source;
    source.drawn = traceLegend(view, graph.model);
    const GraphPageContent content = graphPageContent(view, cursors, nullptr, colours, nullptr, source);
    std::error_code failure;
    if (!saveGraphPage(o.out, graph.model, content, o.target, &failure)) {
        if (failure == std::errc::device_or_resource_busy) {
            return fail(visibleText(heldFileProblem(o.out)));
        }
        std::fprintf(stderr, "corvane-cli render: cannot write %s%s%s; it was left as it was\n",
                     visibleText(o.out).c_str(), failure ? ": " : "", failure ? failure.message().c_str() : "");
        return 1;
    }
    return 0;
}

// The option combinations a page cannot be drawn from: the message, or
// empty when they make a command.
std::string optionsProblem(RenderOptions& o) {
    if (o.compare.empty()) {
        if (!o.offsets.empty() || o.align) {
            return "--offset and --align place compared runs: give them with --compare";
        }
        return std::string();
    }
    const std::size_t runs = o.compare.size() + 1;
    if (runs > static_cast<std::size_t>(kMaxCompareRuns)) {
        return formatText("a compare page shows 2 to %d runs, %zu given", kMaxCompareRuns, runs);
    }
    if (!o.overlay.empty()) {
        return "--overlay and --compare do not go together: the compare page has no overlay";
    }
    if (o.align && !o.offsets.empty()) {
        return "--align finds the offsets: give --offset or --align, not both";
    }
    if (o.offsets.size() > runs) {
        return formatText("%zu offsets given for %zu runs", o.offsets.size(), runs);
    }
    if (!o.channelsGiven) {
        o.shown = {false, false, true, false, false, false, false};
    }
    if (std::count(o.shown.begin(), o.shown.end(), true) != 1) {
        return "a compare page shows one channel: give --channels one name";
    }
    return std::string();
}

}  // namespace

int runRender(int argc, char** argv) {
    RenderOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (const ArgUse use = takeAnalysisArg(argc, argv, i, o.analysisArgs); use != ArgUse::NotMine) {
            if (use == ArgUse::Wrong) {
                std::fprintf(stderr, "corvane-cli render: %s is not understood here\n",
                             visibleText(i < argc ? argv[i] : arg).c_str());
                return usage();
            }
            o.analysisArgsGiven = true;
        } else if (arg == "--x" && hasValue) {
            // index and native as analyze names them: sample numbers, the file's own x.
            const std::string_view value = argv[++i];
            const auto axis = value == "index" ? std::optional(XAxisType::SampleNumber) : xAxisTypeNamed(value);
            o.nativeAxis = value == "native";
            if (!o.nativeAxis && (!axis || value == "number")) {
                return usage();
            }
            o.axis = axis.value_or(XAxisType::Millimetres);
            o.axisGiven = true;
        } else if (arg == "--y" && hasValue) {
            const std::string_view kind = argv[++i];
            if (kind != "au" && kind != "volts") {
                return usage();
            }
            o.volts = kind == "volts";
        } else if (arg == "--channels" && hasValue) {
            if (!parseChannels(argv[++i], o.shown)) {
                std::fprintf(stderr, "corvane-cli render: unknown channel in '%s'\n", argv[i]);
                return 2;
            }
            o.channelsGiven = true;
        } else if (arg == "--overlay" && hasValue) {
            o.overlay = argv[++i];
        } else if (arg == "--compare" && hasValue) {
            o.compare.emplace_back(argv[++i]);
        } else if (arg == "--align") {
            o.align = true;
        } else if ((arg == "--cursor" || arg == "--offset" || arg == "--from" || arg == "--to") && hasValue) {
            double x = 0.0;
            if (!parseNumber(std::string_view(argv[++i]), x) || !std::isfinite(x)) {
                std::fprintf(stderr, "corvane-cli render: %s needs a number\n", std::string(arg).c_str());
                return 2;
            }
            if (arg == "--cursor") {
                o.cursors.push_back(x);
            } else if (arg == "--offset") {
                o.offsets.push_back(x);
            } else {
                (arg == "--from" ? o.from : o.to) = x;
            }
        } else if (arg == "--dpi" && hasValue) {
            // The printer page's resolutions; a page of more would not fit in memory as a bitmap.
            if (!parseNumber(std::string_view(argv[++i]), o.target.dpi) || o.target.dpi < 50 ||
                o.target.dpi > 1200) {
                std::fprintf(stderr, "corvane-cli render: --dpi needs a whole number from 50 to 1200\n");
                return 2;
            }
        } else if (arg == "--analysis") {
            o.analysis = true;
        } else if (arg == "--portrait") {
            o.target.landscape = false;
        } else if (arg == "-o" && hasValue) {
            o.out = argv[++i];
        } else if (arg == "--force") {
            o.force = true;
        } else if (takeColumnOption(argc, argv, i, o.columns)) {
            continue;
        } else if (arg.starts_with("-") || !o.run.empty()) {
            return usage();
        } else {
            o.run = std::string(arg);
        }
    }
    if (o.out.empty() || o.run.empty() || o.from.has_value() != o.to.has_value() || (o.from && !o.align)) {
        return usage();
    }
    if (const std::string problem = optionsProblem(o); !problem.empty()) {
        std::fprintf(stderr, "corvane-cli render: %s\n", problem.c_str());
        return 2;
    }
    if (o.analysisArgsGiven && !o.analysis) {
        std::fprintf(stderr, "corvane-cli render: the analysis's options go with --analysis\n");
        return 2;
    }
    if (o.cursors.size() > static_cast<std::size_t>(GraphCursors::kMaxCursors)) {
        std::fprintf(stderr, "corvane-cli render: at most %d cursors\n", GraphCursors::kMaxCursors);
        return 2;
    }
    return render(o);
}

#endif

}  // namespace corvane::cli
