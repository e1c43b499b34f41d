#include "runs/RowFormat.h"

#include "runs/RunDataFile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace corvane {
namespace {

constexpr std::uint64_t kPowersOfTen[] = {
    1ULL,         10ULL,         100ULL,         1000ULL,         10000ULL,
    100000ULL,    1000000ULL,    10000000ULL,    100000000ULL,    1000000000ULL};
constexpr int kMaxDecimals = 9;

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Uint128;

// The fast path: |value| * 10^decimals rounded exactly, ties to even, as an
// integer. Works on the binary value itself (mantissa times a power of two),
// so no floating-point rounding creeps in. Nothing when the value is not
// finite or too large for 64 bits once scaled.
bool scaledExactly(double magnitude, int decimals, std::uint64_t& scaled) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    std::uint64_t mantissa = bits & ((1ULL << 52) - 1);
    if (biased == 0x7FF) {
        return false;
    }
    int exponent;
    if (biased == 0) {
        exponent = -1074;  // subnormal
    } else {
        mantissa |= 1ULL << 52;
        exponent = biased - 1075;
    }
    const Uint128 product = static_cast<Uint128>(mantissa) * kPowersOfTen[decimals];
    if (exponent >= 0) {
        if (exponent > 10) {
            return false;
        }
        const Uint128 whole = product << exponent;
        if (whole >> 64 != 0) {
            return false;
        }
        scaled = static_cast<std::uint64_t>(whole);
        return true;
    }
    const int shift = -exponent;
    if (shift >= 120) {
        scaled = 0;  // far below half a unit of the last decimal
        return true;
    }
    Uint128 quotient = product >> shift;
    const Uint128 remainder = product & ((static_cast<Uint128>(1) << shift) - 1);
    const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1) != 0)) {
        ++quotient;
    }
    if (quotient >> 64 != 0) {
        return false;
    }
    scaled = static_cast<std::uint64_t>(quotient);
    return true;
}
#else
bool scaledExactly(double, int, std::uint64_t&) { return false; }
#endif

}  // namespace

char* writeFixed(char* out, double value, int decimals) {
    if (decimals < 0 || decimals > kMaxDecimals) {
        decimals = decimals < 0 ? 0 : kMaxDecimals;
    }
    std::uint64_t scaled = 0;
    if (!scaledExactly(std::fabs(value), decimals, scaled)) {
        return std::to_chars(out, out + kMaxFixedLength, value, std::chars_format::fixed, decimals)
            .ptr;
    }
    if (std::signbit(value)) {
        *out++ = '-';
    }
    const std::uint64_t unit = kPowersOfTen[decimals];
    out = std::to_chars(out, out + 24, scaled / unit).ptr;
    if (decimals > 0) {
        *out = '.';
        std::uint64_t fraction = scaled % unit;
        for (int i = decimals; i > 0; --i) {
            out[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        out += decimals + 1;
    }
    return out;
}

// The capacity holds every row the run files have (at most ten fields of at
// most kMaxFixedLength characters), so the guards below never cut a real row.
RowText& RowText::text(std::string_view s) {
    const auto n = std::min(s.size(), kCapacity - size_);
    std::memcpy(buffer_.data() + size_, s.data(), n);
    size_ += n;
    return *this;
}

RowText& RowText::integer(std::int32_t value) {
    if (kCapacity - size_ >= 12) {
        size_ = static_cast<std::size_t>(
            std::to_chars(buffer_.data() + size_, buffer_.data() + kCapacity, value).ptr -
            buffer_.data());
    }
    return *this;
}

RowText& RowText::fixed(double value, int decimals) {
    if (kCapacity - size_ >= kMaxFixedLength) {
        size_ = static_cast<std::size_t>(writeFixed(buffer_.data() + size_, value, decimals) -
                                         buffer_.data());
    }
    return *this;
}

void formatTwoChannelRow(RowText& row, const SampleRecord& r) {
    row.clear();
    row.integer(static_cast<std::int32_t>(r.sampleA)).text(", ");
    row.integer(static_cast<std::int32_t>(r.sourceA)).text(", ");
    row.integer(static_cast<std::int32_t>(r.sampleB)).text(", ");
    row.integer(static_cast<std::int32_t>(r.sourceB)).text(", ");
    row.fixed(r.positionA, 2).text(", ");
    row.fixed(r.absorbanceA, 6).text(", ");
    row.fixed(r.positionB, 2).text(", ");
    row.fixed(r.absorbanceB, 6).text(", ");
    row.fixed(r.positionB, 2).text(", ");
    row.fixed(r.ratio, 6).endLine();
}

void formatEm1Row(RowText& row, const Em1Sample& s) {
    row.clear();
    row.fixed(s.distance, 2).text(", ");
    switch (s.fraction) {
        case Em1Sample::kNoFraction:
            row.fixed(s.absorbance, 6).text(", , ");
            break;
        case Em1Sample::kRestart:
            row.fixed(s.absorbance, 6).text(", R, ").fixed(s.volume, 3);
            break;
        case Em1Sample::kAutomatic:
            row.text(", A, ").fixed(s.volume, 3);
            break;
        default:
            row.fixed(s.absorbance, 6).text(", ").integer(s.fraction).text(", ").fixed(s.volume, 3);
            break;
    }
    row.endLine();
}

void formatBufferedRow(RowText& row, double absorbance) {
    row.clear();
    row.text(" , ").fixed(absorbance, 6).text(", , ").endLine();
}

}  // namespace corvane
