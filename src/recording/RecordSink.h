#pragma once

#include "recording/SampleSource.h"
#include "runs/SampleRecord.h"

namespace corvane {

// Where the acquisition object hands each stored record that makes a row of
// the run file (the run writer). Called on the acquisition thread with the
// sample lock held: it must not wait for the user.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    // True when the record became a row of the run file.
    virtual bool onRecord(const SampleRecord& record, SourceReading::Row row) = 0;
};

}  // namespace corvane
