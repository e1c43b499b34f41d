#include "runs/RowParse.h"

#include <cstdint>
#include <limits>

#include "base/FieldScanner.h"

namespace corvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// "%d" into an unsigned count: the bits "%d" wrote out come back.
bool count(FieldScanner& scan, std::uint32_t& out) {
    std::int32_t value = 0;
    if (!scan.integer(value)) {
        return false;
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

std::optional<SampleRecord> parseTwoChannelRow(std::string_view line) {
    FieldScanner scan(line);
    SampleRecord r;
    double positionBAgain = 0.0;
    if (count(scan, r.sampleA) && scan.comma() && count(scan, r.sourceA) && scan.comma() &&
        count(scan, r.sampleB) && scan.comma() && count(scan, r.sourceB) && scan.comma() &&
        scan.real(r.positionA) && scan.comma() && scan.real(r.absorbanceA) && scan.comma() &&
        scan.real(r.positionB) && scan.comma() && scan.real(r.absorbanceB) && scan.comma() &&
        scan.real(positionBAgain) && scan.comma() && scan.real(r.ratio)) {
        return r;
    }
    return std::nullopt;
}

std::optional<Em1Sample> parseEm1Row(std::string_view line) {
    Em1Sample row;
    if (line.starts_with(" , ")) {
        // Buffered data: absorbance only.
        FieldScanner scan(line.substr(3));
        row.distance = kNaN;
        if (scan.real(row.absorbance) && scan.comma()) {
            return row;
        }
        return std::nullopt;
    }
    FieldScanner scan(line);
    if (!scan.real(row.distance) || !scan.comma()) {
        return std::nullopt;
    }
    const bool noAbsorbance = scan.peek() == ',';
    if (noAbsorbance) {
        row.absorbance = kNaN;
    } else if (!scan.real(row.absorbance)) {
        return std::nullopt;
    }
    if (!scan.comma() || scan.peek() == ',' || scan.atEnd()) {
        // A plain sample; it needs its absorbance.
        return noAbsorbance ? std::nullopt : std::optional<Em1Sample>(row);
    }
    if (scan.literal("R")) {
        row.fraction = Em1Sample::kRestart;
    } else if (scan.literal("A")) {
        row.fraction = Em1Sample::kAutomatic;
    } else {
        std::int32_t number = 0;
        if (!scan.integer(number) || number < 0) {
            return std::nullopt;
        }
        row.fraction = number;
    }
    if ((noAbsorbance && row.fraction != Em1Sample::kAutomatic) || !scan.comma() ||
        !scan.real(row.volume)) {
        return std::nullopt;
    }
    row.eventMark = true;
    return row;
}

std::optional<Em1Sample> parseEm1EventRow(std::string_view line) {
    FieldScanner scan(line);
    Em1Sample row;
    double event = 0.0;
    if (scan.real(row.distance) && scan.comma() && scan.real(row.absorbance) && scan.comma() &&
        scan.real(event)) {
        row.eventMark = event != 0.0;
        return row;
    }
    return std::nullopt;
}

}  // namespace corvane
