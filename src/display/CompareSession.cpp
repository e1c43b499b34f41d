#include "display/CompareSession.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/Prompter.h"
#include "app/UserStore.h"
#include "base/TextFormat.h"
#include "display/CompareScene.h"
#include "display/GraphView.h"
#include "display/TableColumnChoice.h"

namespace corvane {

namespace {

std::array<Rgb, 4> rgbsOf(const std::array<int, 4>& colours) {
    std::array<Rgb, 4> rgb;
    for (std::size_t k = 0; k < colours.size(); ++k) {
        rgb[k] = {static_cast<std::uint8_t>(colours[k] & 0xFF), static_cast<std::uint8_t>((colours[k] >> 8) & 0xFF),
                  static_cast<std::uint8_t>((colours[k] >> 16) & 0xFF)};
    }
    return rgb;
}

}  // namespace

CompareSession::CompareSession(GraphView& view, Prompter& prompter, std::filesystem::path startupFolder,
                               CompareSets sets)
    : view_(view), prompter_(prompter), startupFolder_(std::move(startupFolder)), sets_(std::move(sets)) {}

std::string CompareSession::load(const std::vector<std::filesystem::path>& files,
                                 const std::vector<ProfileFileOptions>& readings) {
    return sets_.load(files, readings);
}

void CompareSession::show(int plotType, const std::array<int, 4>& colours, const CompareOffsets& placements,
                          ViewSettings settings, XAxisType axis, std::optional<AxisRange> keepX) {
    plotType_ = std::clamp(plotType, 0, kPlotTypeCount - 1);
    colours_ = colours;
    settings.shown.fill(false);
    settings.shown[static_cast<std::size_t>(plotType_)] = true;
    view_.offsets() = placements;
    auto scene = std::make_unique<CompareScene>(sets_, plotType_, rgbsOf(colours_), view_.offsets());
    // Profiles of other instruments: on the axis every set converts to.
    std::vector<const RunDataFile*> files;
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        files.push_back(&sets_[k].file);
    }
    const XAxisType shownAxis = axisShowingAll(files, axis, true);
    if (shownAxis != axis) {
        keepX.reset();
    }
    view_.apply(settings);
    view_.show(std::move(scene), shownAxis, keepX);
    view_.refresh();
}

std::string CompareSession::channelLabel() const {
    std::string label = compareChannelLabel(view_.axes().shown(), sets_.de1());
    for (std::size_t k = 0; k < sets_.size(); ++k) {
        if (sets_[k].file.isProfile()) {
            // Sets of other instruments share the axis chosen for them: say which.
            return label + " against " + xAxisWords(view_.axes().xAxisType()).windowTitle;
        }
    }
    return label;
}

bool CompareSession::takeFiles(const std::vector<std::filesystem::path>& files, int plotType,
                               const std::array<int, 4>& colours) {
    const auto before = sets_.paths();
    const auto readings = askCompareColumns(prompter_, files, sets_);
    if (!readings) {
        return false;
    }
    if (const auto message = sets_.loadNumbered(files, *readings); !message.empty()) {
        prompter_.message(message);
        return false;
    }
    CompareOffsets placements;
    sets_.carryPlacements(before, view_.offsets(), placements);
    show(plotType, colours, placements, view_.axes().settings(), view_.axes().xAxisType(), view_.axes().xRange());
    return true;
}

bool CompareSession::removeFiles(const std::vector<std::size_t>& selected) {
    CompareOffsets placements = view_.offsets();
    if (const auto message = sets_.remove(selected, placements); !message.empty()) {
        prompter_.message(message);
        return false;
    }
    show(plotType_, colours_, placements, view_.axes().settings(), view_.axes().xAxisType());
    return true;
}

void CompareSession::stepOffset(int set, bool up) {
    CompareOffsets& offsets = view_.offsets();
    (void)offsets.setXOffset(set, offsets.xOffset(set) + (up ? kOffsetStep : -kOffsetStep));
    view_.refresh();
}

void CompareSession::resetOffset(int set) {
    (void)view_.offsets().setXOffset(set, 0.0);
    view_.refresh();
}

void CompareSession::setEventMarks(int set, bool on) {
    sets_.setEventMarks(static_cast<std::size_t>(set), on);
    view_.refresh();
}

void CompareSession::exportSets() {
    if (sets_.empty()) {
        prompter_.message("Error, no data files available for export.");
        return;
    }
    // The Export folder, made first when missing; the program's current
    // folder stays where it is.
    const auto folder = std::filesystem::absolute(UserStore(startupFolder_).exportFolder());
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    FileDialogRequest request;
    request.title = "Save As";
    request.filter = kCompareFileFilter;
    request.defaultExtension = "csv";
    request.initialFolder = folder.string();
    const auto chosen = prompter_.saveFile(request);
    if (!chosen) {
        return;
    }
    // The save dialog has asked before replacing a file, but never over a
    // run being compared: the export would take its place.
    for (const auto& run : sets_.paths()) {
        if (std::error_code same; std::filesystem::equivalent(*chosen, run, same)) {
            prompter_.message(formatText("Error, unable to write to file: %s (it is one of the runs "
                                         "being compared)",
                                         chosen->c_str()));
            return;
        }
    }
    const auto result = exportToFile(*chosen, sets_.exportSets(view_.offsets()), ExistingTarget::Replace);
    prompter_.message(exportResultMessage(result, *chosen));
}

}  // namespace corvane
