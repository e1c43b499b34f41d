#pragma once

#include <array>

namespace corvane {

// How one data set is laid on the graph: its display gains, its y offset in
// axis units and its x offset in samples (in mm it moves by the offset over
// the set's samples per mm).
struct SetPlacement {
    double xGain = 1.0;
    double yGain = 1.0;
    double yOffset = 0.0;
    double xOffset = 0.0;  // samples

    friend bool operator==(const SetPlacement&, const SetPlacement&) = default;
};

// The placements of the data sets shown together: set 0 is the reference
// (the current run, or compare set 0), the others are the overlay (set 1) or
// compare sets 1 to 3. AUTO-ALIGN and a trace drag write the x offsets here,
// RESET ALIGNMENT clears them, the gain and offset panels edit the rest.
class CompareOffsets {
public:
    static constexpr int kMaxSets = 4;

    [[nodiscard]] static bool valid(int set) { return set >= 0 && set < kMaxSets; }

    // Set 0 for an index outside 0..3 (reads only).
    [[nodiscard]] const SetPlacement& placement(int set) const;
    [[nodiscard]] double xOffset(int set) const { return placement(set).xOffset; }
    [[nodiscard]] double yOffset(int set) const { return placement(set).yOffset; }

    // An x offset is kept as wholeSampleOffset of the one asked for.
    // Each false, changing nothing, for an index outside 0..3 or a value
    // that is not finite.
    bool setXOffset(int set, double samples);
    bool setYOffset(int set, double offset);
    bool setXGain(int set, double gain);
    bool setYGain(int set, double gain);

    // RESET ALIGNMENT: every x offset back to 0.
    void resetAlignment();
    [[nodiscard]] bool anyXGainOtherThanOne() const;
    void resetXGains();
    // Everything back to gains of 1 and no offsets (a new set of runs).
    void clear() { sets_ = {}; }

private:
    std::array<SetPlacement, kMaxSets> sets_{};
};

}  // namespace corvane
