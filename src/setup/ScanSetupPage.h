#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runs/RotorTable.h"
#include "setup/SetupPage.h"

namespace corvane {

class LinkHost;
class Prompter;
class SetupHost;
class SetupUnit;
struct SampleRecord;

// The piston's zero where it stands now, kept on the link's side (the unit
// has no zero of its own): positions count from here and the move in auto
// mode comes back here. Runs with the link to itself; the zero in mm, or
// nothing after its message.
[[nodiscard]] std::optional<double> zeroPistonHere(SetupUnit& unit, SetupHost& host, Prompter& prompter);

// The SCANNING SETUP page (CScanSetup2Dlg), modal (code 3) or beside the
// graph (code 5): the rotor and its tube from "rotors.txt", the piston's
// zero at the top of the gradient, and how far to scan from there.
//
// Threads: the fields are the window's; rotorOk, zeroPosition, goToZero
// and zeroOd run on the page's device worker with the link to themselves;
// status is called there.
class ScanSetupPage {
public:
    static constexpr double kSpinStep = 1.0;
    // An identical run's scan starts at the meniscus it searches for first.
    static constexpr double kIdenticalRunLead = 25.0;
    static constexpr double kTolerance = 0.000001;
    static constexpr std::int64_t kPauseMs = 200;
    static constexpr const char* kMoveNeedles =
        "Move needles to the top of the scan, then press the \"ZERO DISTANCE\" button. Adjust \"Scan "
        "Distance\" if desired.";
    static constexpr const char* kTurnDial =
        "Turn dial on Frac fully CCW and then CW to move the needles into the desired position at the "
        "top of the gradient;";
    static constexpr const char* kHolderText = "Position holder under the needles, and then press GO TO GRAPH.";
    static constexpr const char* kNoTopText = "Error, unable to get upper limit to top of tube distance.";
    static constexpr const char* kDistanceReplaced =
        "ROTOR OK set SCAN DISTANCE to the tube's length, %.2f mm, in place of the %.2f mm typed before. To scan "
        "less, type the distance again and press OK.";
    static constexpr const char* kDistanceNotSentRetry =
        "Error, unable to send scan distance to Kelvo. Please try pressing the GO TO GRAPH button again.";
    static constexpr const char* kDistanceNotSentLater =
        "Error, unable to send scan distance to Kelvo. Until it is sent a scan goes the whole length of the "
        "tube; open SCANNING SETUP again to send it.";

    struct Env {
        std::filesystem::path startupFolder;
        Prompter& prompter;
        SetupHost& host;
        SetupUnit& unit;
        // The window's side of the piston moves.
        LinkHost& linkHost;
        std::function<void(const SampleRecord&)> quickZero;
        std::function<void(const std::string&)> status;
        bool beside = false;  // code 5
        // The window's pending scan distance correction (mm): what the unit
        // is to be given at the next chance.
        std::function<void(double)> keepDistance;
    };

    explicit ScanSetupPage(Env env);

    // --- Fields (the window's thread) ---
    std::vector<std::string> models;
    int rotorEntry = -1;
    std::string position = "0.00";
    std::string scanDistance;
    std::string instruction = kTurnDial;
    [[nodiscard]] bool step2Unlocked() const { return step2Unlocked_.load(); }
    [[nodiscard]] bool zeroed() const { return zeroed_.load(); }
    [[nodiscard]] bool goToGraphEnabled() const { return goToGraph_; }
    // The "Scan Setup" command opened the page: the piston goes to its
    // upper limit first.
    [[nodiscard]] bool openedByScanSetup() const { return openedByScanSetup_; }

    [[nodiscard]] SetupUnit& unit() { return env_.unit; }
    [[nodiscard]] LinkHost& linkHost() { return env_.linkHost; }
    // The rotor list from the run description's manufacturer.
    void open();
    // The piston position the unit reports, as POSITION shows it.
    void showPosition(double pistonMm);
    [[nodiscard]] std::optional<RotorGeometry> geometry() const;

    // --- Device operations ---
    bool rotorOk();
    bool zeroPosition();
    bool goToZero();
    void zeroOd();
    // The distance OK accepted, on its way to the graph: false, after the
    // message, when it stays pending (the next move to the upper limit or
    // Scan Setup sends it). GO TO GRAPH then stays on the page to try again.
    bool sendKeptDistance(bool fromGoToGraph);

    // --- Checks (the window's thread) ---
    // OK and every change of SCAN DISTANCE; false after the message.
    bool checkDistance();
    // "OK": after ROTOR OK, the check, then GO TO GRAPH is next.
    bool confirm();
    void spinDistance(bool up);

private:
    [[nodiscard]] bool identicalRunLead() const;
    // The top distance the scan distance needs is there.
    [[nodiscard]] bool topKnown(const RotorGeometry& tube) const;
    void show(const std::string& text);
    void pause();
    // A step of GO TO ZERO: false after its message.
    bool fail(const char* message);

    Env env_;
    // Taken when the page opens: the command's question is over by the
    // time a button is pressed.
    bool identicalRun_ = false;
    bool openedByScanSetup_ = false;
    std::atomic<bool> step2Unlocked_{false};
    std::atomic<bool> zeroed_{false};
    std::atomic<bool> goToGraph_{false};
};

}  // namespace corvane
