#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

// Notices the end of a recorded scan: the unit drives the piston down the
// scan distance it was given and stops it there, and tells nobody. The end
// is the piston standing still for kStillMs after it has travelled the scan
// distance (less kSlackMm) from where the run began; a piston that stops
// short of it (a pause, the knob) is no end.
//
// Threads: one caller at a time (the recording controller's lock).
class ScanEndWatch {
public:
    static constexpr double kSlackMm = 0.5;
    static constexpr std::int64_t kStillMs = 500;

    // A run starts: the scan distance the unit holds (mm; none or 0
    // watches nothing) and the piston where the run begins, when known
    // (else the first position noted).
    void start(std::optional<double> scanDistanceMm, std::optional<double> startMm);
    // The run ended: nothing more is noticed.
    void stop() { armed_ = false; }
    // One reading of the piston (mm below the upper limit, speed in mm/s,
    // positive downwards). True once per run: the reading that ends the scan.
    [[nodiscard]] bool note(double pistonMm, double speedMmPerS, std::int64_t nowMs);
    // How far the piston went from the start of the run.
    [[nodiscard]] double travelledMm() const { return travelled_; }

private:
    bool armed_ = false;
    double distance_ = 0.0;
    std::optional<double> start_;
    std::optional<std::int64_t> stillSince_;
    bool moved_ = false;
    double travelled_ = 0.0;
};

// The status line at the end of a scan.
[[nodiscard]] std::string scanEndText(double travelledMm);

// The line of the piston's way back to the upper limit: how far it has to
// go and, while it moves up, about how long that takes. Empty while it does
// not move up.
[[nodiscard]] std::string pistonReturnText(double pistonMm, double speedMmPerS);

}  // namespace corvane
