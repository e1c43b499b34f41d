#pragma once

#include <map>
#include <vector>

#include "graph/FractionPlanHook.h"

namespace corvane::test {

// A fraction plan whose answers the test sets.
class FakePlan : public FractionPlanHook {
public:
    std::vector<double> boundaries;
    std::map<double, FractionLabel> labels;  // by the mark's x
    FractionLabel otherwise;                 // for any other x
    int count = 10;
    int numberOffset = 0;

    void boundaryPositions(std::vector<double>& out) const override {
        out.insert(out.end(), boundaries.begin(), boundaries.end());
    }
    FractionLabel fractionAt(double x) const override {
        const auto it = labels.find(x);
        return it == labels.end() ? otherwise : it->second;
    }
    int fractionCount() const override { return count; }
    int fractionNumberOffset() const override { return numberOffset; }
};

}  // namespace corvane::test
