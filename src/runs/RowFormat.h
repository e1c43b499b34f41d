#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runs/SampleRecord.h"

namespace corvane {

// A line of a run file built in place, with the C runtime's printf results
// for "%d" and "%.Nf" but without its cost: a row is formatted in one pass
// with no allocation, so that recording a million rows stays cheap.
class RowText {
public:
    // Room for the longest possible row: six "%.6f" values of 1e308 and more.
    static constexpr std::size_t kCapacity = 4096;

    void clear() { size_ = 0; }
    RowText& text(std::string_view s);
    RowText& integer(std::int32_t value);       // "%d"
    RowText& fixed(double value, int decimals);  // "%.<decimals>f", decimals 0..9
    RowText& endLine() { return text("\n"); }

    [[nodiscard]] std::string_view view() const { return {buffer_.data(), size_}; }
    [[nodiscard]] std::size_t size() const { return size_; }

private:
    std::array<char, kCapacity> buffer_{};
    std::size_t size_ = 0;
};

// Writes value as printf("%.*f", decimals, value) does (exact decimal value,
// ties to even, "-0.00", "nan", "-inf", ...) at out, which must have room for
// kMaxFixedLength characters; returns the end of the text.
inline constexpr std::size_t kMaxFixedLength = 330;
char* writeFixed(char* out, double value, int decimals);

// "%d, %d, %d, %d, %.2f, %.6f, %.2f, %.6f, %.2f, %.6f" and a line end: sample A,
// source A, sample B, source B, position A, absorbance A, position B,
// absorbance B, position B again, ratio A/B. Counts go out as "%d" does with
// them, so a count above 2^31 - 1 reads back as the same bits.
void formatTwoChannelRow(RowText& row, const SampleRecord& record);

}  // namespace corvane

namespace corvane {

struct Em1Sample;

// A DE-1 row by its fraction code: "%.2f, %.6f, , " without a fraction,
// "%.2f, %.6f, %d, %.3f" with a number, "%.2f, %.6f, R, %.3f" and
// "%.2f, , A, %.3f"; and a line end.
void formatEm1Row(RowText& row, const Em1Sample& sample);

// " , %.6f, , " and a line end: one buffered DE-1 value, absorbance only.
void formatBufferedRow(RowText& row, double absorbance);

}  // namespace corvane
