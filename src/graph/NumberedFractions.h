#pragma once

#include <utility>
#include <vector>

#include "graph/FractionPlanHook.h"

namespace corvane {

// The fractions a run was actually cut into (collecting by peaks), numbered
// on the graph as a standard run's zones are: a tick at each fraction's end
// with its number, and an event mark labelled with the fraction it ends.
// Held by value in the graph's model, so it lives as long as the picture.
class NumberedFractions : public FractionPlanHook {
public:
    NumberedFractions() = default;
    // Each fraction's end on the x axis, in order. The marks are compared
    // with them where the mark trace draws them (moved back by the run's
    // start offset), at the detector as the ends are.
    explicit NumberedFractions(std::vector<double> ends);

    [[nodiscard]] bool empty() const { return ends_.empty(); }
    void boundaryPositions(std::vector<double>& out) const override { out = ends_; }
    [[nodiscard]] FractionLabel fractionAt(double x) const override;
    [[nodiscard]] int fractionCount() const override { return static_cast<int>(ends_.size()); }

    bool operator==(const NumberedFractions& other) const { return ends_ == other.ends_; }

private:
    std::vector<double> ends_;
    double slack_ = 0.0;  // how far before an end a mark still ends it
};

}  // namespace corvane
