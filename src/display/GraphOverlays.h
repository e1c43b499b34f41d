#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "compare/TraceDrag.h"
#include "runs/RunDataFile.h"
#include "display/StandardRun.h"

namespace corvane {

class DialogFolders;
class GraphView;
class Prompter;

// What is laid over the current run: the overlay (OVERLAY GRAPH / Remove
// Overlay), the standard run (SET / REMOVE STANDARD RUN, its plan attached
// to the graph), and the alignment of the sets shown together: AUTO-ALIGN
// (x-gain question, instruction, drag, peak search), trace drag and RESET
// ALIGNMENT. The sets' offsets live in the view's CompareOffsets, so the
// compare window aligns its sets with the same code.
//
// Threads: the window's thread.
class GraphOverlays {
public:
    static constexpr const char* kAutoAlignText =
        "Auto-align peaks by left clicking in the graph window to the left of the region of interest, and "
        "then drag the mouse to the right to bracket any peaks. ";

    // What the commands need of the window (none in a compare window).
    struct Hooks {
        // A recording is running; pause it (SET STANDARD RUN pauses first).
        std::function<bool()> recording;
        std::function<void()> pauseRecording;
        // "showpresetruns" of "[prefs]" set to 0 and saved.
        std::function<void()> hidePresetRuns;
        // The graph's fraction plan (null detaches) and its zones switch.
        std::function<void(const FractionPlanHook*, bool showZones)> attachPlan;
    };
    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        DialogFolders& folders;
        GraphView& view;
        Hooks hooks;
    };

    // What the standard-run commands need of the window beyond Env: the
    // user whose settings hold the collection volume, the run description's
    // volume per mm (nothing without one), and the window's own copy of the
    // collection volume, told when a standard run changes it.
    struct StandardRunHooks {
        std::function<std::string()> userName;
        std::function<std::optional<double>()> runVolumePerMm;
        std::function<void(double)> collectionAdopted;
    };

    explicit GraphOverlays(Env env) : env_(std::move(env)) {}
    void setStandardRunHooks(StandardRunHooks hooks) { hooks_ = std::move(hooks); }

    // --- OVERLAY GRAPH ---
    // Loads an overlay when none is shown (file dialog, read), removes it
    // otherwise. True when the graph changed.
    bool toggleOverlay();
    // Loads the file as the overlay (a plain table of more than two columns
    // asked its columns first); a file that cannot be read, or a cancelled
    // question, leaves none.
    bool loadOverlay(const std::filesystem::path& path);
    [[nodiscard]] std::string overlayCaption() const;
    // The overlay traces panel's check boxes switch the channel for both
    // runs; Abs A and Abs B exclude each other, so one absorbance is
    // compared at a time.
    void setOverlayChannel(int channel, bool on);

    // --- SET STANDARD RUN ---
    bool toggleStandardRun();
    bool loadStandardRun(const std::filesystem::path& path);
    void removeStandardRun();
    [[nodiscard]] const StandardRun* standardRun() const { return standard_.get(); }
    [[nodiscard]] std::string standardCaption() const;
    void setShowStandardProfile(bool on);
    [[nodiscard]] bool showStandardProfile() const { return showProfile_; }
    // The axis changed: the plan's positions follow.
    void axisChanged();

    // --- C&reate Standard Run ---
    // The run file chosen to become a standard run, with the plan it already
    // has, and what the plan editor checks it against.
    struct RunForStandard {
        std::filesystem::path path;
        RunDataFile run;
        OverlayPlan plan;
        double volumePerMm = 0.0;
        double collectionLimit = 0.0;
    };
    // The file dialog and the read; nothing when cancelled or unreadable
    // (after the message).
    [[nodiscard]] std::optional<RunForStandard> chooseRunForStandard();
    [[nodiscard]] const std::filesystem::path& startupFolder() const { return env_.startupFolder; }

    // --- Alignment ---
    // Sets are shown together (an overlay; later compare sets).
    [[nodiscard]] bool setsShown() const;
    // AUTO-ALIGN pressed: asks to reset x gains that are not 1.0 (No
    // stops); true when the align drag is armed.
    bool startAutoAlign();
    [[nodiscard]] bool alignMode() const { return alignMode_; }
    void cancelAutoAlign() { alignMode_ = false; }
    // The drag ended between x1 and x2 (axis units, either order): the
    // reference peak and each other set's offset. False when the reference
    // has no peak there.
    bool finishAutoAlign(double x1, double x2);
    // The same for sets in different own units, where each is drawn (x1
    // and x2 without the reference's shift).
    bool finishAutoAlignOnAxis(double x1, double x2);
    void resetAlignment();

    // Trace drag: a press over a slot of a set that may be dragged (an
    // overlay's slots) starts it; moves shift the set.
    [[nodiscard]] bool draggable(int slot) const;
    void beginDrag(const TraceDrag::Start& start) { drag_.begin(start); }
    [[nodiscard]] const TraceDrag& drag() const { return drag_; }
    // Applies the drag for the mouse at `at`; true when offsets changed.
    bool dragTo(PixelPoint at);
    void endDrag() { drag_.end(); }

private:
    [[nodiscard]] std::string fileError(const std::filesystem::path& path) const;
    [[nodiscard]] std::string userName() const;
    // A standard run's collection volume becomes the current one.
    void adoptCollectionSettings(const std::filesystem::path& path);

    Env env_;
    StandardRunHooks hooks_;
    std::unique_ptr<StandardRun> standard_;
    bool showProfile_ = false;
    bool alignMode_ = false;
    bool overlayRemoved_ = false;
    TraceDrag drag_;
};

}  // namespace corvane
