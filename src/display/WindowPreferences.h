#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "display/AxisState.h"

namespace corvane {

class Prompter;

// What the main window keeps in "prefs.cfg" (through Preferences, the one
// owner of its keys): the trace switches, the axes and their windows, the
// port, the line speed, the multi-data-set colours. Loaded at the first
// show, saved after a switch changes and at the close.
//
// Threads: the window's thread.
class WindowPreferences {
public:
    static constexpr int kInterByteDelayMs = 2;

    struct Loaded {
        int baudRate = 0;
        int comPort = 0;
        ViewSettings view;
        std::string lastUser;
        bool axisLabels = true;
        bool stopAtScanEnd = true;
        bool legend = true;
    };

    WindowPreferences(std::filesystem::path startupFolder, Prompter& prompter);

    // Nothing, after Preferences::kMissingMessage, when "prefs.cfg" is
    // missing or empty (the window keeps its defaults). A missing line
    // speed is written back at once. Every start shows the Y axis as it was
    // typed, without auto-scale, log scale or the grid.
    [[nodiscard]] std::optional<Loaded> load();
    // The switches, ranges and window texts as they are now; comPort 0
    // without a port selected. False (after the message) when the file is
    // missing or could not be written.
    bool save(const ViewSettings& view, int comPort);
    // A typed window width, kept at once (when the file is there).
    void saveWindowWidth(bool mm, const std::string& text);
    // "xaxissamplerange" as stored (0 when it is missing or there is no file).
    [[nodiscard]] double storedWindowSamples() const;
    // View > "Axis Labels", kept at once.
    void saveAxisLabels(bool on);
    // Graph Options' "Stop recording at the end of the scan", kept at once.
    void saveStopAtScanEnd(bool on);
    // View > "Legend", kept at once.
    void saveLegend(bool on);
    // A standard run was chosen: "showpresetruns" becomes 0.
    void hidePresetRuns();
    // The multiple data sets dialog's colours (r | g << 8 | b << 16, the
    // defaults where none is stored) and plot type, as loaded or chosen.
    [[nodiscard]] std::array<int, 4> multiColours() const;
    // The colours of DS1 to DS4 before any is chosen.
    [[nodiscard]] static std::array<int, 4> defaultMultiColours();
    [[nodiscard]] int multiDataType() const { return multiDataType_; }
    // That dialog's OK: kept, and stored at once (when the file is there).
    void saveMultiDataSets(const std::array<int, 4>& colours, int type);
    // The AUFS step of the DE-1 runs: "aufs" of "[EM1_Settings]", and for
    // the current user's rotor (indexes below 0: none) "aufs_%02d_%02d" in
    // the user's settings.
    void saveAufs(int step, int manufacturer = -1, int rotor = -1);

private:
    std::filesystem::path startup_;
    Prompter& prompter_;
    // Read at load, changed by the multiple data sets dialog.
    std::array<int, 4> multiColours_{};
    int multiDataType_ = 0;
};

}  // namespace corvane
