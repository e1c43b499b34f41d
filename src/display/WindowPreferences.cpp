#include "display/WindowPreferences.h"

#include "app/Preferences.h"
#include "base/TextFormat.h"
#include "runs/Em1SettingsStore.h"

namespace corvane {

WindowPreferences::WindowPreferences(std::filesystem::path startupFolder, Prompter& prompter)
    : startup_(std::move(startupFolder)), prompter_(prompter) {}

std::optional<WindowPreferences::Loaded> WindowPreferences::load() {
    Preferences prefs(startup_);
    if (!prefs.presentOrReport(prompter_)) {
        return std::nullopt;
    }
    Loaded loaded;
    loaded.baudRate = prefs.baudRate();
    prefs.writeBaudRateDefault();
    loaded.comPort = prefs.comPort();
    ViewSettings& view = loaded.view;
    for (int c = 0; c < kChannelCount; ++c) {
        view.shown[static_cast<std::size_t>(c)] = prefs.traceShown(c);
    }
    view.windowSamples = prefs.windowSamples();
    if (const auto mm = prefs.windowMm()) {
        view.windowMm = *mm;
    }
    const auto [yMin, yMax] = prefs.yRange();
    const auto [yyMin, yyMax] = prefs.yyRange();
    view.y = {yMin, yMax};
    view.yy = {yyMin, yyMax};
    const auto autoScale = prefs.autoScale();
    view.xAutoScale = autoScale.x;
    view.yyAutoScale = autoScale.yy;
    view.yAutoScale = false;
    view.showGrid = false;
    view.logScale = false;
    view.aufs = loadEm1Settings(prefs.store()).aufs;
    multiColours_ = prefs.multiColours();
    multiDataType_ = prefs.multiDataType();
    loaded.lastUser = prefs.lastUser();
    loaded.axisLabels = prefs.axisLabels();
    loaded.stopAtScanEnd = prefs.stopAtScanEnd();
    loaded.legend = prefs.legend();
    return loaded;
}

bool WindowPreferences::save(const ViewSettings& view, int comPort) {
    Preferences prefs(startup_);
    if (!prefs.presentOrReport(prompter_)) {
        return false;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        prefs.setTraceShown(c, view.shown[static_cast<std::size_t>(c)]);
    }
    prefs.setComPort(comPort);
    prefs.setXRange(view.xMin, view.xMax);
    prefs.setYRange(view.y.min, view.y.max);
    prefs.setYYRange(view.yy.min, view.yy.max);
    prefs.writeBufferSize();
    prefs.setWindowSamplesText(formatText("%.0f", view.windowSamples));
    prefs.setWindowMmText(formatText("%.2f", view.windowMm));
    prefs.setShowGrid(view.showGrid);
    prefs.setAutoScale({view.xAutoScale, view.yAutoScale, view.yyAutoScale});
    prefs.setLogScale(view.logScale);
    prefs.setMultiColours(multiColours_);
    prefs.setMultiDataType(multiDataType_);
    // The dialog folders are kept when a dialog chooses one (DialogFolders),
    // never from a copy here that another part of the program may have
    // overtaken since.
    return prefs.save();
}

void WindowPreferences::saveWindowWidth(bool mm, const std::string& text) {
    Preferences prefs(startup_);
    if (!prefs.present()) {
        return;
    }
    if (mm) {
        prefs.setWindowMmText(text);
    } else {
        prefs.setWindowSamplesText(text);
    }
}

double WindowPreferences::storedWindowSamples() const {
    const Preferences prefs(startup_);
    return prefs.present() ? prefs.windowSamples() : 0.0;
}

void WindowPreferences::saveAufs(int step, int manufacturer, int rotor) {
    if (Preferences prefs(startup_); prefs.present()) {
        storeEm1Aufs(prefs.store(), prefs.userStore(), manufacturer, rotor, step);
    }
}

void WindowPreferences::saveAxisLabels(bool on) {
    if (Preferences prefs(startup_); prefs.present()) {
        prefs.setAxisLabels(on);
    }
}

void WindowPreferences::saveStopAtScanEnd(bool on) {
    if (Preferences prefs(startup_); prefs.present()) {
        prefs.setStopAtScanEnd(on);
    }
}

void WindowPreferences::saveLegend(bool on) {
    if (Preferences prefs(startup_); prefs.present()) {
        prefs.setLegend(on);
    }
}

void WindowPreferences::hidePresetRuns() {
    if (Preferences prefs(startup_); prefs.present()) {
        prefs.setShowPresetRuns(false);
    }
}

std::array<int, 4> WindowPreferences::defaultMultiColours() {
    // DS1 to DS4; they avoid pure black, which is stored as no colour chosen.
    return {255 | 1 << 8, 255 << 16, 1 | 1 << 8 | 1 << 16, 255 << 8 | 1 << 16};
}

std::array<int, 4> WindowPreferences::multiColours() const {
    const std::array<int, 4> defaults = defaultMultiColours();
    std::array<int, 4> colours = multiColours_;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        if (colours[i] == 0) colours[i] = defaults[i];
    }
    return colours;
}

void WindowPreferences::saveMultiDataSets(const std::array<int, 4>& colours, int type) {
    multiColours_ = colours;
    multiDataType_ = type;
    if (Preferences prefs(startup_); prefs.present()) {
        prefs.setMultiColours(colours);
        prefs.setMultiDataType(type);
    }
}

}  // namespace corvane
