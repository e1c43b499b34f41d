#include "desktop/MainWindowLogic.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

#include "app/Clock.h"
#include "app/ConfigFile.h"
#include "app/DialogFolders.h"
#include "app/Preferences.h"
#include "app/Prompter.h"
#include "app/UserStore.h"
#include "app/Version.h"
#include "app/WindowPoster.h"
#include "graph/GraphModel.h"
#include "runs/Em1RunWriter.h"
#include "runs/Em1SettingsStore.h"
#include "runs/TempFolder.h"
#include "base/TextFormat.h"

namespace corvane {

namespace {

constexpr const char* kVolumes = "Volumes";
constexpr const char* kExitQuestion = "Are you sure you wish to exit?";
constexpr const char* kCsvTextFilter =
    "CSV Text Files (*.csv)|*.csv|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

constexpr std::array<const char*, kChannelCount> kChannelCaptions = {
    "Sample A", "Source A", "Abs A", "Sample B", "Source B", "Abs B", "AbsA/AbsB"};

constexpr int kFirstAufs = 0;
constexpr int kLastAufs = 7;
// A DE-1 mark channel's tick height, as a share of the plot height.
constexpr double kMarkTickHeight = 0.1;

[[nodiscard]] bool isBChannel(int channel) {
    return channel == kChannelSampleB || channel == kChannelSourceB || channel == kChannelAbsB;
}

// The value a channel plots for a sample.
[[nodiscard]] double channelValue(int channel, const SampleRecord& r) {
    switch (channel) {
        case kChannelSampleA: return r.sampleA;
        case kChannelSourceA: return r.sourceA;
        case kChannelAbsA: return r.absorbanceA;
        case kChannelSampleB: return r.sampleB;
        case kChannelSourceB: return r.sourceB;
        case kChannelAbsB: return r.absorbanceB;
        default:
            // The live ratio is Abs A / Abs B, not a number where Abs B is 0.
            return r.absorbanceB == 0.0 ? std::numeric_limits<double>::quiet_NaN()
                                        : r.absorbanceA / r.absorbanceB;
    }
}

// A usable file: present and not empty.
[[nodiscard]] bool fileHasContent(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return !ec && size > 0;
}

[[nodiscard]] bool inRange(double x, double lo, double hi) { return x >= lo && x <= hi; }

}  // namespace

MainWindowLogic::MainWindowLogic(Env env) : env_(std::move(env)) {
    shown_.fill(true);
    readVolumes();
    TempFolder temp(RunFolders{env_.startupFolder, UserStore(env_.startupFolder).tempFolder()},
                    env_.prompter);
    // A temporary run of an older version that cannot be moved stays where it
    // is and is tried again at the next start; the window opens regardless.
    (void)temp.prepare();
}

MainWindowLogic::~MainWindowLogic() = default;

void MainWindowLogic::readVolumes() {
    const auto path = env_.startupFolder / "rotors.txt";
    if (!fileHasContent(path)) {
        env_.prompter.message(formatText("Error, file: %s could not be opened.", path.string().c_str()));
        return;
    }
    const ConfigFile rotors(path);
    volumes_.a = rotors.getDouble(kVolumes, "A_Volume");
    volumes_.b = rotors.getDouble(kVolumes, "B_Volume");
    volumes_.c = rotors.getDouble(kVolumes, "C_Volume");
    volumes_.dPerMm = rotors.getDouble(kVolumes, "D_Volume_Per_MM");
}

// --- Caption and first show ---

std::string MainWindowLogic::caption() const {
    std::lock_guard lock(mutex_);
    if (debugDisplayOn_ && !file_) {
        return formatText("Tellmar - # heart beats received: %d, # heart beats transmitted: %d",
                          heartbeatsReceived_, heartbeatsTransmitted_);
    }
    return formatText("Corvane version %s", kVersionText) + captionSuffix_;
}

void MainWindowLogic::setPorts(std::vector<int> ports) {
    ports_ = std::move(ports);
    portSelection_ = -1;
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i] == comPort_) {
            portSelection_ = static_cast<int>(i);
        }
    }
    if (portSelection_ < 0 && !ports_.empty()) {
        portSelection_ = 0;
        comPort_ = ports_.front();
    }
}

std::vector<std::string> MainWindowLogic::portEntries() const {
    std::vector<std::string> entries;
    for (const int port : ports_) {
        entries.push_back(formatText("COM%d", port));
    }
    return entries;
}

bool MainWindowLogic::choosePort(int index) {
    if (index < 0 || index >= static_cast<int>(ports_.size())) {
        return false;
    }
    portSelection_ = index;
    const int port = ports_[static_cast<std::size_t>(index)];
    if (port == comPort_) {
        return false;
    }
    comPort_ = port;
    return true;
}

std::string MainWindowLogic::missingPortMessage() const {
    if (comPort_ >= 1) {
        return {};
    }
    return ports_.empty() ? "No serial COM ports available!" : "Please choose a serial COM port.";
}

bool MainWindowLogic::connectIfPossible() {
    if (comPort_ < 1 || session_ == nullptr || session_->linkActive()) {
        return false;
    }
    session_->connect(comPort_, baudRate_, interByteDelayMs_);
    return true;
}

// --- Preferences ---

bool MainWindowLogic::loadPreferences() {
    Preferences prefs(env_.startupFolder);
    if (!prefs.presentOrReport(env_.prompter)) {
        return false;
    }
    baudRate_ = prefs.baudRate();
    prefs.writeBaudRateDefault();
    interByteDelayMs_ = kInterByteDelayMs;

    // The stored port is selected when it is listed; otherwise the listed
    // entry stays and its number is the port.
    const int storedPort = prefs.comPort();
    const auto listed = std::find(ports_.begin(), ports_.end(), storedPort);
    if (listed != ports_.end()) {
        portSelection_ = static_cast<int>(listed - ports_.begin());
        comPort_ = storedPort;
    } else if (portSelection_ >= 0) {
        comPort_ = ports_[static_cast<std::size_t>(portSelection_)];
    } else {
        comPort_ = storedPort;
    }

    {
        std::lock_guard lock(mutex_);
        for (int c = 0; c < kChannelCount; ++c) {
            shown_[static_cast<std::size_t>(c)] = prefs.traceShown(c);
        }
        windowSamples_ = prefs.windowSamples();
        windowMm_ = prefs.windowMm().value_or(windowMm_);
        xMin_ = 0.0;
        xMax_ = xAxisType_ == XAxisType::Millimetres ? windowMm_ : windowSamples_;
        const auto [yMin, yMax] = prefs.yRange();
        const auto [yyMin, yyMax] = prefs.yyRange();
        yMin_ = yMin;
        yMax_ = yMax;
        yyMin_ = yyMin;
        yyMax_ = yyMax;
        const auto autoScale = prefs.autoScale();
        xAutoScale_ = autoScale.x;
        yyAutoScale_ = autoScale.yy;
        // Every start shows the Y axis as it was typed, without the grid.
        yAutoScale_ = false;
        yAutoScaled_ = false;
        showGrid_ = false;
        logScale_ = false;
        xAutoWidth_ = kMaxAutoWidth;
        aufsIndex_ = std::clamp(loadEm1Settings(prefs.store()).aufs, kFirstAufs, kLastAufs);
    }
    multiColours_ = prefs.multiColours();
    multiDataType_ = prefs.multiDataType();
    userName_ = prefs.lastUser();
    return true;
}

bool MainWindowLogic::savePreferences() {
    Preferences prefs(env_.startupFolder);
    if (!prefs.presentOrReport(env_.prompter)) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        for (int c = 0; c < kChannelCount; ++c) {
            prefs.setTraceShown(c, shown_[static_cast<std::size_t>(c)]);
        }
        prefs.setComPort(portSelection_ >= 0 ? comPort_ : 0);
        prefs.setXRange(xMin_, xMax_);
        prefs.setYRange(yMin_, yMax_);
        prefs.setYYRange(yyMin_, yyMax_);
        prefs.writeBufferSize();
        prefs.setWindowSamplesText(windowSamplesTextLocked());
        prefs.setWindowMmText(windowMmTextLocked());
        prefs.setShowGrid(showGrid_);
        prefs.setAutoScale({xAutoScale_, yAutoScale_, yyAutoScale_});
        prefs.setLogScale(logScale_);
    }
    prefs.setMultiColours(multiColours_);
    prefs.setMultiDataType(multiDataType_);
    // The dialog folders are kept when a dialog chooses one (DialogFolders),
    // never from a copy here that another part of the program may have
    // overtaken since.
    return prefs.save();
}

// --- Channels and readouts ---

const char* MainWindowLogic::channelPrefsKey(int channel) {
    return Preferences::traceKey(channel);
}

std::string MainWindowLogic::channelCaption(int channel) const {
    if (channel < 0 || channel >= kChannelCount) {
        return {};
    }
    if (de1Mode()) {
        if (channel == kChannelAbsA) {
            return "Voltage";
        }
        if (channel == kChannelRatio) {
            return "Mark";
        }
    }
    return kChannelCaptions[static_cast<std::size_t>(channel)];
}

bool MainWindowLogic::channelShown(int channel) const {
    std::lock_guard lock(mutex_);
    return channel >= 0 && channel < kChannelCount && shown_[static_cast<std::size_t>(channel)];
}

void MainWindowLogic::setChannelShown(int channel, bool shown) {
    if (channel < 0 || channel >= kChannelCount) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        shown_[static_cast<std::size_t>(channel)] = shown;
    }
    savePreferences();
    refreshGraph();
}

std::array<std::string, kChannelCount> MainWindowLogic::readoutTexts() const {
    std::array<std::string, kChannelCount> texts;
    std::lock_guard lock(mutex_);
    if (!latest_) {
        return texts;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const double value = channelValue(c, *latest_);
        const char* format = c == kChannelRatio                        ? "%.1f"
                             : c == kChannelAbsA || c == kChannelAbsB ? "%.6f"
                                                                      : "%.0f";
        texts[static_cast<std::size_t>(c)] = formatText(format, value);
    }
    return texts;
}

std::string MainWindowLogic::recordedText() const {
    std::lock_guard lock(mutex_);
    // The count shown is half the points stored: a sample of both channels
    // arrives as two readings.
    return formatText("Recorded %d samples", static_cast<int>(live_.total() / 2));
}

std::optional<SampleRecord> MainWindowLogic::latestSample() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

// --- The sample handler ---

void MainWindowLogic::onSample(const SampleRecord& record) {
    bool postReadouts = false;
    bool repaint = false;
    {
        std::lock_guard lock(mutex_);
        if (displayPaused_) {
            return;
        }
        latest_ = record;
        live_.add(record);
        if (!file_) {
            env_.graph.edit([this](GraphModel& model) { buildLiveLocked(model); });
            repaint = true;
        }
        const auto now = env_.clock.nowMs();
        if (!readoutPosted_ || now - lastReadoutPostMs_ >= kReadoutIntervalMs) {
            readoutPosted_ = true;
            lastReadoutPostMs_ = now;
            postReadouts = true;
        }
    }
    if (repaint) {
        env_.graph.redraw();
    }
    if (postReadouts) {
        env_.window.post(UserMsg::Readouts);
    }
}

void MainWindowLogic::clearTraces() {
    bool live = false;
    {
        std::lock_guard lock(mutex_);
        live_.clear();
        live = !file_;
        if (live) {
            env_.graph.edit([this](GraphModel& model) {
                model.clearAllTraces();
                buildLiveLocked(model);
            });
        }
    }
    if (live) {
        env_.graph.redrawAll();
    }
}

void MainWindowLogic::setDisplayPaused(bool paused) {
    std::lock_guard lock(mutex_);
    displayPaused_ = paused;
}

int MainWindowLogic::storedSamples() const {
    std::lock_guard lock(mutex_);
    return live_.stored();
}

std::int64_t MainWindowLogic::totalSamples() const {
    std::lock_guard lock(mutex_);
    return live_.total();
}

std::vector<std::int64_t> MainWindowLogic::storedNumbers() const {
    std::lock_guard lock(mutex_);
    std::vector<std::int64_t> numbers;
    numbers.reserve(static_cast<std::size_t>(live_.stored()));
    for (int i = 0; i < live_.stored(); ++i) {
        numbers.push_back(live_.at(i).number);
    }
    return numbers;
}

// --- The graph ---

void MainWindowLogic::refreshGraph() {
    const bool de1Source = session_ != nullptr && session_->de1Source();
    const bool recording = isRecording();
    {
        std::lock_guard lock(mutex_);
        de1Source_ = de1Source;
        recordingShown_ = recording;
        env_.graph.edit([this](GraphModel& model) {
            if (file_) {
                buildLoadedLocked(model);
            } else {
                buildLiveLocked(model);
            }
        });
    }
    env_.graph.redrawAll();
}

void MainWindowLogic::buildLiveLocked(GraphModel& model) {
    const int stored = live_.stored();
    int first = 0;
    if (xAxisType_ == XAxisType::SampleNumber) {
        // The newest samples that fit the window, each at its sample number;
        // the window scrolls with the run once it is full.
        const auto width = std::max<std::int64_t>(1, std::llround(windowSamples_));
        const auto fit = std::min<std::int64_t>({static_cast<std::int64_t>(stored), width + 1,
                                                 static_cast<std::int64_t>(xAutoWidth_)});
        first = stored - static_cast<int>(fit);
        if (stored > 0) {
            const auto last = live_.newest().number;
            const auto xMax = std::max(last, live_.at(0).number + width);
            xMax_ = static_cast<double>(xMax);
            xMin_ = static_cast<double>(xMax - width);
        } else {
            xMin_ = 0.0;
            xMax_ = static_cast<double>(width);
        }
    } else {
        if (xAutoScale_) {
            first = std::max(0, stored - xAutoWidth_);
        }
    }

    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    for (int c = 0; c < kChannelCount; ++c) {
        auto& xs = xs_[static_cast<std::size_t>(c)];
        auto& ys = ys_[static_cast<std::size_t>(c)];
        xs.clear();
        ys.clear();
        if (!shown_[static_cast<std::size_t>(c)]) {
            continue;
        }
        for (int i = first; i < stored; ++i) {
            const auto& point = live_.at(i);
            const double x = !inMm             ? static_cast<double>(point.number)
                             : isBChannel(c) ? point.record.positionB
                                             : point.record.positionA;
            xs.push_back(x);
            ys.push_back(channelValue(c, point.record));
        }
    }

    if (inMm) {
        if (xAutoScale_ && stored > first) {
            double lo = std::numeric_limits<double>::infinity();
            double hi = -lo;
            for (const auto& xs : xs_) {
                for (const double x : xs) {
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                }
            }
            if (std::isfinite(lo) && hi > lo) {
                xMin_ = lo;
                xMax_ = hi;
            } else if (std::isfinite(lo)) {
                xMin_ = lo;
                xMax_ = lo + windowMm_;
            }
        } else {
            xMax_ = xMin_ + windowMm_;
        }
    }

    AutoScaleRange yScan = AutoScaleRange::forLiveRun();
    AutoScaleRange yyScan = AutoScaleRange::forLiveRun();
    scanShownLocked(yScan, yyScan, false);
    applyAxesLocked(model, yScan, yyScan);
    GraphContext context;
    context.liveRun = true;
    context.recording = recordingShown_;
    context.eventMarksShown = eventMarksShown_;
    context.xAxisInMm = inMm;
    model.setContext(context);
    for (int c = 0; c < kChannelCount; ++c) {
        const auto& xs = xs_[static_cast<std::size_t>(c)];
        if (xs.empty()) {
            model.emptyTrace(c);
        } else {
            model.setTraceData(xs.data(), ys_[static_cast<std::size_t>(c)].data(),
                               static_cast<int>(xs.size()), c, 1.0);
        }
    }
}

void MainWindowLogic::buildLoadedLocked(GraphModel& model) {
    const RunDataFile& file = *file_;
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    // A loaded run is drawn only on a refresh: start from clean slots, so no
    // mark configuration of an earlier file stays behind.
    model.clearAllTraces();
    for (auto& xs : xs_) {
        xs.clear();
    }
    for (auto& ys : ys_) {
        ys.clear();
    }
    bool markSlot = false;
    if (file.isEm1()) {
        // A DE-1 run: the signal in the Abs A slot, its marks in the ratio slot.
        const auto& rows = file.em1Samples();
        const bool marks = eventMarksShown_ || shown_[kChannelRatio];
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const double x = inMm ? rows[i].distance : static_cast<double>(i);
            if (std::isnan(x)) {
                continue;
            }
            if (shown_[kChannelAbsA]) {
                xs_[kChannelAbsA].push_back(x);
                ys_[kChannelAbsA].push_back(rows[i].absorbance);
            }
            if (marks) {
                xs_[kChannelRatio].push_back(x);
                ys_[kChannelRatio].push_back(rows[i].eventMark ? 1.0 : 0.0);
            }
        }
        markSlot = marks;
    } else if (file.isExport()) {
        // Each data set of an export file in its own slot, as compare mode shows them.
        const auto& sets = file.exportedSets();
        for (std::size_t k = 0; k < sets.size() && k < 4; ++k) {
            const auto& samples = sets[k].samples;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                xs_[k].push_back(inMm ? samples[i].positionA : static_cast<double>(i));
                ys_[k].push_back(samples[i].absorbanceA);
            }
        }
    } else {
        const auto& samples = file.samples();
        for (int c = 0; c < kChannelCount; ++c) {
            if (!shown_[static_cast<std::size_t>(c)]) {
                continue;
            }
            auto& xs = xs_[static_cast<std::size_t>(c)];
            auto& ys = ys_[static_cast<std::size_t>(c)];
            for (std::size_t i = 0; i < samples.size(); ++i) {
                const double x = !inMm             ? static_cast<double>(i)
                                 : isBChannel(c) ? samples[i].positionB
                                                 : samples[i].positionA;
                xs.push_back(x);
                ys.push_back(channelValue(c, samples[i]));
            }
        }
    }

    AutoScaleRange yScan = AutoScaleRange::forLoadedFile();
    AutoScaleRange yyScan = AutoScaleRange::forLoadedFile();
    // A DE-1 run's ratio slot holds its marks: levels, not data.
    scanShownLocked(yScan, yyScan, file.isEm1());
    if (file.isEm1() && !yAutoScale_) {
        yMin_ = 0.0;
        yMax_ = Em1RunWriter::aufsValue(aufsIndex_);
    }
    applyAxesLocked(model, yScan, yyScan);
    GraphContext context;
    context.eventMarksShown = eventMarksShown_;
    context.xAxisInMm = inMm;
    model.setContext(context);
    for (int c = 0; c < kChannelCount; ++c) {
        const auto& xs = xs_[static_cast<std::size_t>(c)];
        if (xs.empty()) {
            continue;
        }
        if (markSlot && c == kChannelRatio) {
            model.setMarkTrace(c, true, kMarkTickHeight, 0.0, false, 0.0);
        }
        model.setTraceData(xs.data(), ys_[static_cast<std::size_t>(c)].data(),
                           static_cast<int>(xs.size()), c, 1.0);
    }
}

void MainWindowLogic::scanShownLocked(AutoScaleRange& yScan, AutoScaleRange& yyScan,
                                      bool skipRatio) const {
    for (int c = 0; c < kChannelCount; ++c) {
        if (skipRatio && c == kChannelRatio) {
            continue;
        }
        const auto& xs = xs_[static_cast<std::size_t>(c)];
        const auto& ys = ys_[static_cast<std::size_t>(c)];
        AutoScaleRange& scan = c == kChannelRatio ? yyScan : yScan;
        for (std::size_t i = 0; i < xs.size(); ++i) {
            if (inRange(xs[i], xMin_, xMax_)) {
                scan.add(ys[i]);
            }
        }
    }
}

void MainWindowLogic::applyAxesLocked(GraphModel& model, const AutoScaleRange& yScan,
                                      const AutoScaleRange& yyScan) {
    if (yAutoScale_) {
        if (const auto range = yScan.range()) {
            const auto shown = logScale_ ? LogDecadeRange(range->min, range->max) : *range;
            yMin_ = shown.min;
            yMax_ = shown.max;
            yAutoScaled_ = true;
        }
    }
    if (yyAutoScale_) {
        if (const auto range = yyScan.range()) {
            const auto shown = logScale_ ? LogDecadeRange(range->min, range->max) : *range;
            yyMin_ = shown.min;
            yyMax_ = shown.max;
        }
    }
    model.setYRanges(yMin_, yMax_, yyMin_, yyMax_, logScale_, false);
    model.setXRange(xMin_, xMax_);
    model.setShowGrid(showGrid_);
}

XAxisType MainWindowLogic::xAxisType() const {
    std::lock_guard lock(mutex_);
    return xAxisType_;
}

void MainWindowLogic::setXAxisType(XAxisType type) {
    {
        std::lock_guard lock(mutex_);
        if (type == xAxisType_) {
            return;
        }
        xAxisType_ = type;
        if (file_) {
            fitXToFileLocked();
        } else {
            xMin_ = 0.0;
            xMax_ = type == XAxisType::Millimetres ? windowMm_ : windowSamples_;
        }
    }
    refreshGraph();
}

bool MainWindowLogic::yAutoScale() const {
    std::lock_guard lock(mutex_);
    return yAutoScale_;
}

bool MainWindowLogic::yyAutoScale() const {
    std::lock_guard lock(mutex_);
    return yyAutoScale_;
}

void MainWindowLogic::setYAutoScale(bool on) {
    {
        std::lock_guard lock(mutex_);
        yAutoScale_ = on;
        if (!on) {
            yAutoScaled_ = false;
            if (de1ModeLocked()) {
                yMin_ = 0.0;
                yMax_ = Em1RunWriter::aufsValue(aufsIndex_);
            }
        }
    }
    refreshGraph();
}

void MainWindowLogic::setYYAutoScale(bool on) {
    {
        std::lock_guard lock(mutex_);
        yyAutoScale_ = on;
    }
    refreshGraph();
}

bool MainWindowLogic::showGrid() const {
    std::lock_guard lock(mutex_);
    return showGrid_;
}

void MainWindowLogic::setShowGrid(bool on) {
    {
        std::lock_guard lock(mutex_);
        showGrid_ = on;
    }
    refreshGraph();
}

AxisRange MainWindowLogic::yRange() const {
    std::lock_guard lock(mutex_);
    return {yMin_, yMax_};
}

AxisRange MainWindowLogic::yyRange() const {
    std::lock_guard lock(mutex_);
    return {yyMin_, yyMax_};
}

AxisRange MainWindowLogic::xRange() const {
    std::lock_guard lock(mutex_);
    return {xMin_, xMax_};
}

std::string MainWindowLogic::windowMmTextLocked() const { return formatText("%.2f", windowMm_); }

std::string MainWindowLogic::windowSamplesTextLocked() const {
    return formatText("%.0f", windowSamples_);
}

AxisTexts MainWindowLogic::axisTexts() const {
    std::lock_guard lock(mutex_);
    AxisTexts texts;
    const double yRange = yMax_ - yMin_;
    const double yyRange = yyMax_ - yyMin_;
    const auto yText = [&](double v) {
        return yAutoScale_ && yAutoScaled_ ? autoScaledLimitText(v, yRange, logScale_)
                                           : axisLimitText(v, yRange, logScale_);
    };
    texts.yMax = yText(yMax_);
    texts.yMin = yText(yMin_);
    texts.yyMax = axisLimitText(yyMax_, yyRange, logScale_);
    texts.yyMin = axisLimitText(yyMin_, yyRange, logScale_);
    texts.windowMm = windowMmTextLocked();
    texts.windowSamples = windowSamplesTextLocked();
    return texts;
}

void MainWindowLogic::axisTextEdited(AxisBox box, std::string_view text) {
    if (const auto value = parseAxisText(text)) {
        setAxisLimit(box, *value);
    }
}

void MainWindowLogic::axisSpin(AxisBox box, std::string_view text, bool up) {
    AxisRange axis;
    {
        std::lock_guard lock(mutex_);
        const bool yy = box == AxisBox::YYMax || box == AxisBox::YYMin;
        axis = yy ? AxisRange{yyMin_, yyMax_} : AxisRange{yMin_, yMax_};
    }
    if (const auto value = spinAxisLimit(text, axis, up)) {
        setAxisLimit(box, *value);
    }
}

void MainWindowLogic::setAxisLimit(AxisBox box, double value) {
    {
        std::lock_guard lock(mutex_);
        switch (box) {
            case AxisBox::YMax: yMax_ = value; break;
            case AxisBox::YMin: yMin_ = value; break;
            case AxisBox::YYMax: yyMax_ = value; break;
            case AxisBox::YYMin: yyMin_ = value; break;
        }
        yAutoScaled_ = false;
    }
    refreshGraph();
}

void MainWindowLogic::windowSizeEdited(bool mm, std::string_view text) {
    const auto width = parseAxisText(text);
    if (!width || !(*width > 0.0) || !std::isfinite(*width)) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        (mm ? windowMm_ : windowSamples_) = *width;
        const bool current = (xAxisType_ == XAxisType::Millimetres) == mm;
        if (current && file_) {
            // A loaded run is windowed around the middle of what is shown.
            const double centre = (xMin_ + xMax_) / 2.0;
            xMin_ = centre - *width / 2.0;
            xMax_ = centre + *width / 2.0;
        }
    }
    saveWindowPref(mm);
    refreshGraph();
}

void MainWindowLogic::windowSizeSpin(bool mm, bool up) {
    std::string text;
    {
        std::lock_guard lock(mutex_);
        const double width = mm ? windowMm_ : windowSamples_;
        text = formatText("%.17g", up ? width * 2.0 : width / 2.0);
    }
    windowSizeEdited(mm, text);
}

void MainWindowLogic::saveWindowPref(bool mm) {
    Preferences prefs(env_.startupFolder);
    if (!prefs.present()) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (mm) {
        prefs.setWindowMmText(windowMmTextLocked());
    } else {
        prefs.setWindowSamplesText(windowSamplesTextLocked());
    }
}

double MainWindowLogic::windowMm() const {
    std::lock_guard lock(mutex_);
    return windowMm_;
}

double MainWindowLogic::windowSamples() const {
    std::lock_guard lock(mutex_);
    return windowSamples_;
}

bool MainWindowLogic::anyYChannelLocked() const {
    for (int c = 0; c < kChannelRatio; ++c) {
        if (shown_[static_cast<std::size_t>(c)]) {
            return true;
        }
    }
    return false;
}

bool MainWindowLogic::yControlsVisible() const {
    std::lock_guard lock(mutex_);
    return anyYChannelLocked();
}

bool MainWindowLogic::yyControlsVisible() const {
    std::lock_guard lock(mutex_);
    return shown_[kChannelRatio] && !de1ModeLocked();
}

void MainWindowLogic::fitXToFileLocked() {
    const RunDataFile& file = *file_;
    const bool inMm = xAxisType_ == XAxisType::Millimetres;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    const auto take = [&](double x) {
        if (std::isfinite(x)) {
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
    };
    std::size_t count = 0;
    if (file.isEm1()) {
        count = file.em1Samples().size();
        for (const auto& row : file.em1Samples()) {
            take(row.distance);
        }
    } else if (file.isExport()) {
        for (const auto& set : file.exportedSets()) {
            count = std::max(count, set.samples.size());
            for (const auto& s : set.samples) {
                take(s.positionA);
            }
        }
    } else {
        count = file.samples().size();
        for (const auto& s : file.samples()) {
            take(s.positionA);
            take(s.positionB);
        }
    }
    if (!inMm) {
        lo = 0.0;
        hi = static_cast<double>(count);
    }
    if (!std::isfinite(lo) || !(hi > lo)) {
        lo = std::isfinite(lo) ? lo : 0.0;
        hi = lo + 1.0;
    }
    xMin_ = lo;
    xMax_ = hi;
}

// --- AUFS and event marks ---

int MainWindowLogic::aufsIndex() const {
    std::lock_guard lock(mutex_);
    return aufsIndex_;
}

void MainWindowLogic::setAufs(int step) {
    step = std::clamp(step, kFirstAufs, kLastAufs);
    if (recording_ != nullptr && recording_->isRecording()) {
        recording_->aufsChanged(step);
    }
    {
        std::lock_guard lock(mutex_);
        aufsIndex_ = step;
        if (de1ModeLocked() && !yAutoScale_) {
            yMin_ = 0.0;
            yMax_ = Em1RunWriter::aufsValue(step);
        }
    }
    if (Preferences prefs(env_.startupFolder); prefs.present()) {
        storeEm1Aufs(prefs.store(), nullptr, -1, -1, step);
    }
    refreshGraph();
}

std::string MainWindowLogic::aufsLabel() const {
    return formatText("%.2f", Em1RunWriter::aufsValue(aufsIndex()));
}

bool MainWindowLogic::eventMarksShown() const {
    std::lock_guard lock(mutex_);
    return eventMarksShown_;
}

void MainWindowLogic::setEventMarksShown(bool shown) {
    {
        std::lock_guard lock(mutex_);
        eventMarksShown_ = shown;
    }
    savePreferences();
    refreshGraph();
}

bool MainWindowLogic::de1ModeLocked() const { return de1Source_ || (file_ && file_->isEm1()); }

bool MainWindowLogic::de1Mode() const {
    if (session_ != nullptr && session_->de1Source()) {
        return true;
    }
    std::lock_guard lock(mutex_);
    return file_ && file_->isEm1();
}

// --- Files ---

bool MainWindowLogic::openDataFile() {
    FileDialogRequest request;
    request.title = "Open Data File";
    request.filter = kCsvTextFilter;
    request.defaultExtension = "csv";
    request.initialFolder = env_.folders.folder(DialogFolder::Data);
    const auto chosen = env_.prompter.openFile(request);
    if (!chosen) {
        return false;
    }
    const std::filesystem::path path(*chosen);
    if (!showDataFile(path)) {
        return false;
    }
    env_.folders.remember(DialogFolder::Data, path.parent_path().string());
    return true;
}

bool MainWindowLogic::showDataFile(const std::filesystem::path& path) {
    RunDataFile file;
    switch (file.read(path)) {
        case RunDataFile::ReadStatus::CannotOpen:
            env_.prompter.message(formatText("Error, unable to open file: %s", path.string().c_str()));
            return false;
        case RunDataFile::ReadStatus::NoColumnHeader:
            env_.prompter.message(
                formatText("Invalid data header found in file: %s", path.string().c_str()));
            return false;
        case RunDataFile::ReadStatus::Ok:
            break;
    }
    {
        std::lock_guard lock(mutex_);
        file_ = std::move(file);
        shownPath_ = path;
        yAutoScaled_ = false;
        fitXToFileLocked();
    }
    env_.window.post(UserMsg::RedrawGraph);
    return true;
}

void MainWindowLogic::closeDataFile() {
    if (recording_ != nullptr && recording_->isRecording()) {
        recording_->stopRecording();
    }
    double samples = 0.0;
    if (const Preferences prefs(env_.startupFolder); prefs.present()) {
        samples = prefs.windowSamples();
    }
    {
        std::lock_guard lock(mutex_);
        file_.reset();
        shownPath_.clear();
        yAutoScaled_ = false;
        windowSamples_ = samples == 0.0 ? kDefaultSampleWindow : samples;
        xMin_ = 0.0;
        xMax_ = xAxisType_ == XAxisType::Millimetres ? windowMm_ : windowSamples_;
        env_.graph.edit([](GraphModel& model) { model.clearAllTraces(); });
    }
    refreshGraph();
}

bool MainWindowLogic::dataFileShown() const {
    std::lock_guard lock(mutex_);
    return file_.has_value();
}

int MainWindowLogic::openDataSets() const { return dataFileShown() ? 1 : 0; }

std::string MainWindowLogic::closeDataMenuText() const {
    switch (openDataSets()) {
        case 0: return "&Close Data File";
        case 1: return "Close File";
        default: return "Close Files";
    }
}

bool MainWindowLogic::lostDataPresent() const {
    const TempFolder temp(RunFolders{env_.startupFolder, UserStore(env_.startupFolder).tempFolder()},
                          env_.prompter);
    return temp.hasLostData();
}

void MainWindowLogic::rescueLostData() {
    TempFolder temp(RunFolders{env_.startupFolder, UserStore(env_.startupFolder).tempFolder()},
                    env_.prompter);
    if (const auto saved = temp.rescueLostData(env_.folders.folder(DialogFolder::Data))) {
        env_.folders.remember(DialogFolder::Data, saved->parent_path().string());
    }
}

void MainWindowLogic::saveGraphDataAs() {
    std::filesystem::path shown;
    {
        std::lock_guard lock(mutex_);
        if (file_) {
            shown = shownPath_;
        }
    }
    if (shown.empty()) {
        env_.prompter.message("Error, file data does not exist.");
        return;
    }
    std::ifstream in(shown, std::ios::binary);
    if (!in) {
        env_.prompter.message("Error, cannot get file data.");
        return;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto tempFolder = UserStore(env_.startupFolder).tempFolder();
    const auto scratch = tempFolder / "temp_temp_data.csv";
    {
        std::error_code ec;
        std::filesystem::create_directories(tempFolder, ec);
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
            env_.prompter.message("Error, unable to open new temporary file.");
            return;
        }
    }
    TempFolder temp(RunFolders{env_.startupFolder, tempFolder}, env_.prompter);
    if (const auto saved =
            temp.saveCopy(scratch, "Save Graph Data As", false, env_.folders.folder(DialogFolder::Data))) {
        env_.folders.remember(DialogFolder::Data, saved->parent_path().string());
    } else {
        std::error_code ec;
        std::filesystem::remove(scratch, ec);
    }
}

std::optional<std::filesystem::path> MainWindowLogic::checklistFile(bool detailed) {
    const auto path =
        env_.startupFolder / (detailed ? "detailed_checklist.txt" : "short_checklist.txt");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        env_.prompter.message(formatText("Error, could not find file: %s", path.string().c_str()));
        return std::nullopt;
    }
    return path;
}

// --- Record buttons ---

std::string MainWindowLogic::recordCaption() const {
    return recording_ != nullptr ? recording_->recordCaption() : "START RECORD (F1)";
}

std::string MainWindowLogic::pauseCaption() const {
    return recording_ != nullptr ? recording_->pauseCaption() : "PAUSE (F3)";
}

bool MainWindowLogic::pauseEnabled() const {
    return recording_ != nullptr && recording_->pauseEnabled();
}

bool MainWindowLogic::isRecording() const {
    return recording_ != nullptr && recording_->isRecording();
}

void MainWindowLogic::startStop() {
    if (recording_ != nullptr) {
        recording_->startStop();
    }
}

void MainWindowLogic::zero() {
    if (recording_ != nullptr) {
        recording_->zero();
    }
}

void MainWindowLogic::pauseResume() {
    if (recording_ != nullptr) {
        recording_->pauseResume();
    }
}

void MainWindowLogic::refresh() {
    if (recording_ != nullptr) {
        recording_->refresh();
    } else {
        clearTraces();
    }
    refreshGraph();
}

void MainWindowLogic::goToUpperLimit() {
    if (recording_ == nullptr) {
        return;
    }
    if (recording_->isRecording()) {
        recording_->stopRecording();
    }
    recording_->goToUpperLimit();
}

// --- Keys ---

KeyOutcome MainWindowLogic::keyDown(WindowKey key, bool autoRepeat) {
    switch (key) {
        case WindowKey::F1:
        case WindowKey::F2:
        case WindowKey::F3:
        case WindowKey::F4:
        case WindowKey::F5:
        case WindowKey::F6:
            // A function key held down acts once.
            if (autoRepeat) {
                return KeyOutcome::Handled;
            }
            if (key == WindowKey::F1) {
                startStop();
            } else if (key == WindowKey::F2) {
                zero();
            } else if (key == WindowKey::F3) {
                pauseResume();
            } else if (key == WindowKey::F4) {
                refresh();
            }
            // F5 is swallowed; F6 opens the Scan Setup, which this program
            // does not have yet.
            return KeyOutcome::Handled;
        case WindowKey::Up:
            return checklistOpen_ ? KeyOutcome::ChecklistUp : KeyOutcome::PassOn;
        case WindowKey::Down:
            return checklistOpen_ ? KeyOutcome::ChecklistDown : KeyOutcome::PassOn;
        case WindowKey::CtrlD:
            return session_ != nullptr && session_->linkExists() ? KeyOutcome::OpenDebugWindows
                                                                 : KeyOutcome::Handled;
        case WindowKey::Left:
        case WindowKey::Right:
        case WindowKey::Other:
            // Without graph cursors the arrows keep moving the text cursor
            // of the box being edited.
            return KeyOutcome::PassOn;
    }
    return KeyOutcome::PassOn;
}

// --- Messages from the workers ---

void MainWindowLogic::onLinkStats(std::int32_t heartbeatsReceived, std::int32_t heartbeatsTransmitted,
                                  std::uint8_t upperLimitFlag, const std::optional<Cmd0>& lastCmd0) {
    std::lock_guard lock(mutex_);
    heartbeatsReceived_ = heartbeatsReceived;
    heartbeatsTransmitted_ = heartbeatsTransmitted;
    status_.upperLimit =
        upperLimitFlag == 0 ? "Upper Limit Switch: Contact" : "Upper Limit Switch: No Contact";
    if (lastCmd0) {
        status_.positionSpeed = formatText("Position %.2f mm  Speed %.2f mm/sec",
                                           lastCmd0->uiPistonPos / 100.0, lastCmd0->iPistonSpeed / 10.0);
        status_.samplingRate =
            lastCmd0->uiIntegrationTime > 0
                ? formatText("A/D Sampling Rate: %.1f Hz", 1000.0 / lastCmd0->uiIntegrationTime)
                : std::string{};
        status_.dutyCycle =
            formatText("Duty Cycle: %d:%d", lastCmd0->ucDutyCycleA, 100 - lastCmd0->ucDutyCycleA);
        status_.potValue = formatText("pot pC Value: %d", lastCmd0->ucATODGain);
    }
}

void MainWindowLogic::showPositionAndSpeed(double positionMm, double speedMmPerS) {
    std::lock_guard lock(mutex_);
    status_.positionSpeed = formatText("Position %.2f mm  Speed %.2f mm/sec", positionMm, speedMmPerS);
}

void MainWindowLogic::onLinkLost() {
    if (recording_ != nullptr && recording_->isRecording()) {
        recording_->stopRecording();
    }
}

void MainWindowLogic::onReceiveEnded() {
    {
        std::lock_guard lock(mutex_);
        status_ = {};
    }
    refreshGraph();
}

StatusTexts MainWindowLogic::statusTexts() const {
    std::lock_guard lock(mutex_);
    return status_;
}

// --- Closing ---

CloseStep MainWindowLogic::closeRequested(const std::function<void()>& destroyModeless) {
    if (recording_ != nullptr && recording_->isRecording()) {
        recording_->stopRecording();
    }
    if (closeWithoutQuestion_) {
        return CloseStep::Close;
    }
    if (session_ != nullptr && !session_->mayClose()) {
        return CloseStep::Stay;
    }
    if (destroyModeless) {
        destroyModeless();
    }
    if (session_ != nullptr) {
        // Remembered across the turns: by the turn that asks, the link has
        // long been stopped.
        linkWasActive_ = linkWasActive_ || session_->linkActive();
        session_->stopLink();
        if (session_->receiveThreadRunning()) {
            return CloseStep::RepostClose;
        }
        session_->destroyAcquisition();
    }
    const bool ask = linkWasActive_ && !exitConfirmed_;
    linkWasActive_ = false;
    if (ask && !env_.prompter.askYesNo(kExitQuestion)) {
        return CloseStep::Stay;
    }
    return CloseStep::Close;
}

bool MainWindowLogic::exitCommand() {
    if (closeWithoutQuestion_) {
        return true;
    }
    if (session_ != nullptr && session_->linkActive()) {
        if (!env_.prompter.askYesNo(kExitQuestion)) {
            return false;
        }
        exitConfirmed_ = true;
    }
    return true;
}

}  // namespace corvane
