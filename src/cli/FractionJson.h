#pragma once

#include <vector>

#include "cli/JsonWriter.h"
#include "runs/PeakCollection.h"

namespace corvane::cli {

// [{"number", "from", "to", "peak"}], "peak" null between peaks: the fraction
// table of `collect --preview` and of `info` on a run collected by peaks. A
// fraction begun by a tube change by hand adds "manual": true (only a live
// run's table has one).
inline void writeFractionsJson(Json& j, const std::vector<CollectedFraction>& fractions) {
    j.open('[');
    for (const auto& f : fractions) {
        j.item();
        j.open('{');
        j.integerField("number", f.number);
        j.field("from", f.from);
        j.field("to", f.to);
        j.key("peak");
        if (f.peak > 0) {
            j.integer(f.peak);
        } else {
            j.null();
        }
        if (f.manual) {
            j.key("manual");
            j.boolean(true);
        }
        j.close('}');
    }
    j.close(']');
}

}  // namespace corvane::cli
