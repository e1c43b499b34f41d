#include "graph/NumberedFractions.h"

#include <algorithm>

namespace corvane {

// A mark ends the fraction whose end it follows: its pulse goes out at the
// end (or a sample later), its echo a sample or two after that. A mark a
// little before an end (positions rounded in the file) still ends it: a
// quarter of the narrowest fraction, found once as every mark asks.
NumberedFractions::NumberedFractions(std::vector<double> ends) : ends_(std::move(ends)) {
    if (ends_.empty()) {
        return;
    }
    double slack = ends_.size() > 1 ? ends_.back() - ends_.front() : 1.0;
    for (std::size_t i = 1; i < ends_.size(); ++i) {
        slack = std::min(slack, ends_[i] - ends_[i - 1]);
    }
    slack_ = std::max(0.0, slack) / 4.0;
}

FractionLabel NumberedFractions::fractionAt(double x) const {
    if (ends_.empty()) {
        return {};
    }
    const auto after = std::upper_bound(ends_.begin(), ends_.end(), x + slack_);
    if (after == ends_.begin()) {
        return {};
    }
    return {FractionLabel::Kind::Number, static_cast<int>(after - ends_.begin())};
}

}  // namespace corvane
