#pragma once

// One source of samples behind the acquisition object: the test file, the
// DE-1 box, the link to the Kelvo unit, or the plain COM port's text lines.
// A source reads its device and turns what came into a record; the
// acquisition object (SampleReader) finishes it with the arithmetic every
// source shares (absorbances, ratios), stores it and hands it on.

#include "runs/SampleRecord.h"

namespace corvane {

// What a source made of one reading, and what is still to be done with it.
struct SourceReading {
    // What the acquisition object works out before the record is stored.
    enum class Arithmetic {
        None,          // complete as read
        PlainRatio,    // absorbances from the counts, ratio = absorbance A / B
        DelayedRatio,  // absorbances from the counts, ratio completed by the next sample
    };
    // A record with a zero source reading (its absorbance is infinite) is not
    // usable: stored but reported as kZeroSource.
    enum class ZeroSource {
        Ignored,     // no such test: the record is usable
        NoRow,       // not usable, and not written either
        Written,     // not usable, but written (the row shows the unit's own zero)
    };
    // Which row of a run file the record makes.
    enum class Row { TwoChannel, De1 };

    SampleRecord record;
    Arithmetic arithmetic = Arithmetic::None;
    ZeroSource zeroSource = ZeroSource::Ignored;
    Row row = Row::TwoChannel;
};

class SampleSource {
public:
    // Results of read() (and of SampleReader::GetSample).
    static constexpr int kOk = 0;
    static constexpr int kNoSource = -1;
    static constexpr int kNoPacket = -2;      // no packet from the link, or a COM read error
    static constexpr int kZeroSource = -3;    // the new record has a zero source reading
    static constexpr int kLineTooLong = -4;   // 256 characters without a line end, dropped
    static constexpr int kNoLine = -5;        // no complete text line (no DE-1 record) yet
    static constexpr int kNotASample = -6;    // a text line that is not five integers, dropped

    virtual ~SampleSource() = default;

    // One turn, under the acquisition object's sample lock. `carried` is the
    // previous record: what a reading does not bring (the other channel, a
    // position the packet does not give) is carried over from it. kOk with
    // `reading` filled, or a negative code and `reading` untouched.
    [[nodiscard]] virtual int read(const SampleRecord& carried, SourceReading& reading) = 0;
};

}  // namespace corvane
