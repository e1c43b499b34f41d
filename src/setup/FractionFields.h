#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runs/OverlayPlan.h"
#include "runs/OverlayPlanRules.h"

namespace corvane {

class Prompter;

// The "Fractionate by:" fields of the DE-1 SETUP page: total distance T
// (mm), number of fractions N, distance per fraction D (mm) and volume per
// fraction V (ml), kept consistent as the operator types into one of them:
//   T or N typed (both above 0): D = T / N, V = D x vpm;
//   D typed (above 0): with T above 0, N = trunc(T / D), and T = N x D when
//     that leaves part of T over; V = D x vpm;
//   V typed: D = V / vpm, then as D typed.
// Fields the rules rewrite do not set the rules off again. Every change of D
// rewrites the event-mark check box's text.
class FractionFields {
public:
    static constexpr const char* kMarkTextUnset = "Send event mark pulses to collector every XX.X mm..";

    // vpm: the run's volume per mm (ml/mm), above 0.
    explicit FractionFields(double volumePerMm);

    // The fields from stored settings: D and N, T = D x N, V = D x vpm.
    void set(double distance, int number);

    [[nodiscard]] const std::string& total() const { return total_; }
    [[nodiscard]] const std::string& number() const { return number_; }
    [[nodiscard]] const std::string& distance() const { return distance_; }
    [[nodiscard]] const std::string& volume() const { return volume_; }
    // "Send event mark pulses to collector every %.2f mm."
    [[nodiscard]] const std::string& markText() const { return markText_; }
    [[nodiscard]] double volumePerMm() const { return vpm_; }

    void totalTyped(const std::string& text);
    void numberTyped(const std::string& text);
    void distanceTyped(const std::string& text);
    void volumeTyped(const std::string& text);

private:
    void fromTotalAndNumber();
    void fromDistance(double d);
    void setDistance(double d);

    double vpm_;
    std::string total_ = "0.00";
    std::string number_ = "1";
    std::string distance_ = "0.00";
    std::string volume_ = "0.00";
    std::string markText_ = kMarkTextUnset;
};

// The zone table of the DE-1 SETUP page (the overlay plan's zones).
class ZoneTable {
public:
    explicit ZoneTable(double volumePerMm) : vpm_(volumePerMm) {}

    void load(const OverlayPlan& plan);
    void setVolumePerMm(double volumePerMm) { vpm_ = volumePerMm; }
    void resetAll() { rows_.clear(); }
    // A number typed into a row's "Number of Fractions": refused at the
    // field, after its message, when it is a whole number outside 1..99
    // ("Number of fractions must be 99 or less." / "... 1 or more."), so
    // the row keeps its number; other text is kept for the zone checks.
    bool numberTyped(std::size_t row, const std::string& text, Prompter& prompter);
    [[nodiscard]] std::vector<ZoneRow>& rows() { return rows_; }
    [[nodiscard]] const std::vector<ZoneRow>& rows() const { return rows_; }
    [[nodiscard]] bool empty() const { return rows_.empty(); }

    // What the row's other columns show ("%.2f"); empty while its numbers
    // do not scan.
    [[nodiscard]] std::string startText(std::size_t row) const;
    [[nodiscard]] std::string distanceText(std::size_t row) const;
    [[nodiscard]] std::string volumeText(std::size_t row) const;

    // The zone checks, in zone order; false at the first failure, after its
    // message ("Invalid end position for zone #%d.", ...) when a prompter
    // is given.
    [[nodiscard]] bool validate(Prompter* prompter) const;
    // The plan the rows give (valid rows assumed), with this autofrac.
    [[nodiscard]] OverlayPlan plan(int autofrac) const;

private:
    [[nodiscard]] double startOf(std::size_t row) const;

    double vpm_;
    std::vector<ZoneRow> rows_;
};

}  // namespace corvane
