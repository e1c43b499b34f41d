#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runs/RowFormat.h"
#include "runs/RunDataFile.h"

namespace corvane {
namespace {

std::string printfFixed(double value, int decimals) {
    char text[512];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
#ifdef _WIN32
    // MinGW's printf drops the sign of a NaN; rows keep "-nan" on every
    // system, as glibc writes it, so files read the same wherever they came from.
    if (std::isnan(value) && std::signbit(value)) {
        return std::string("-") + text;
    }
#endif
    return text;
}

std::string fastFixed(double value, int decimals) {
    char text[kMaxFixedLength];
    return {text, writeFixed(text, value, decimals)};
}

// Values where a fixed-point formatter goes wrong: exact ties in binary
// (x.125, x.375), decimal ties that are not ties in binary (2.675, 1.005),
// the carry into the integer part (9.995, 0.9999995), signed zeros, the
// smallest and largest doubles, and what the instrument produces.
std::vector<double> awkwardValues() {
    std::vector<double> values = {0.0,       -0.0,      0.125,     0.375,      -0.125,
                                  2.675,     1.005,     9.995,     0.9999995,  0.0000005,
                                  0.0000015, 0.0000025, 1e-7,      -1e-7,      5e-324,
                                  -5e-324,   1e-300,    123456.789, 1e15 + 0.5, 4503599627370495.5,
                                  9007199254740993.0,   1e19,      1.8446744073709552e19,
                                  1e22,      1e300,     -1e300,    std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN()};
    for (int k = 0; k < 4096; ++k) {
        values.push_back(k / 1024.0);  // every binary tie at 2 and 3 decimals and more
        values.push_back(-k / 2048.0);
        values.push_back(k / 200.0 + 0.005);
    }
    return values;
}

TEST(RowFormat, FixedPointTextEqualsPrintfOnAwkwardValues) {
    for (const double value : awkwardValues()) {
        for (int decimals = 0; decimals <= 9; ++decimals) {
            ASSERT_EQ(fastFixed(value, decimals), printfFixed(value, decimals))
                << "value " << value << " decimals " << decimals;
        }
    }
}

TEST(RowFormat, FixedPointTextEqualsPrintfOnAMillionRandomCases) {
    std::mt19937_64 random(20240229);
    std::uniform_real_distribution<double> absorbance(-4.0, 4.0);
    std::uniform_real_distribution<double> position(-50.0, 250.0);
    std::uniform_int_distribution<std::uint64_t> bits;
    for (int i = 0; i < 250000; ++i) {
        const double a = absorbance(random);
        const double p = position(random);
        double any = std::bit_cast<double>(bits(random));
        ASSERT_EQ(fastFixed(a, 6), printfFixed(a, 6)) << a;
        ASSERT_EQ(fastFixed(p, 2), printfFixed(p, 2)) << p;
        ASSERT_EQ(fastFixed(p, 3), printfFixed(p, 3)) << p;
        ASSERT_EQ(fastFixed(any, 6), printfFixed(any, 6)) << any;
    }
}

TEST(RowFormat, TwoChannelRowIsThePrintfRowInTheColumnOrder) {
    SampleRecord r;
    r.sampleA = 1234567;
    r.sourceA = 0x80000001U;  // above 2^31: "%d" shows it negative
    r.sampleB = 0;
    r.sourceB = 2000000;
    r.positionA = 12.345;
    r.absorbanceA = -0.0000004;
    r.positionB = 12.335;
    r.absorbanceB = 0.5;
    r.ratio = std::numeric_limits<double>::quiet_NaN();
    RowText row;
    formatTwoChannelRow(row, r);
    char expected[512];
    std::snprintf(expected, sizeof expected,
                  "%d, %d, %d, %d, %.2f, %.6f, %.2f, %.6f, %.2f, %.6f\n",
                  static_cast<int>(r.sampleA), static_cast<int>(r.sourceA),
                  static_cast<int>(r.sampleB), static_cast<int>(r.sourceB), r.positionA,
                  r.absorbanceA, r.positionB, r.absorbanceB, r.positionB, r.ratio);
    EXPECT_EQ(row.view(), expected);
    EXPECT_EQ(row.view(),
              "1234567, -2147483647, 0, 2000000, 12.35, -0.000000, 12.34, 0.500000, 12.34, nan\n");
}

TEST(RowFormat, De1RowsByFractionCode) {
    RowText row;
    formatEm1Row(row, {12.345, 0.1234567, Em1Sample::kNoFraction, 0.0, false});
    EXPECT_EQ(row.view(), "12.35, 0.123457, , \n");
    formatEm1Row(row, {5.0, 0.02, 3, 1.2345, true});
    EXPECT_EQ(row.view(), "5.00, 0.020000, 3, 1.234\n");
    formatEm1Row(row, {5.0, 0.02, Em1Sample::kRestart, 0.7155, true});
    EXPECT_EQ(row.view(), "5.00, 0.020000, R, 0.716\n");
    formatEm1Row(row, {7.5, 0.02, Em1Sample::kAutomatic, 0.715, true});
    EXPECT_EQ(row.view(), "7.50, , A, 0.715\n");
    formatBufferedRow(row, 0.25);
    EXPECT_EQ(row.view(), " , 0.250000, , \n");
}

}  // namespace
}  // namespace corvane
