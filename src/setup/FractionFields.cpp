#include "setup/FractionFields.h"

#include <cmath>

#include "app/Prompter.h"
#include "base/TextFormat.h"
#include "base/TextScan.h"

namespace corvane {

FractionFields::FractionFields(double volumePerMm) : vpm_(volumePerMm) {}

void FractionFields::set(double distance, int number) {
    number_ = formatText("%d", number);
    total_ = formatText("%.2f", distance * number);
    setDistance(distance);
}

void FractionFields::setDistance(double d) {
    distance_ = formatText("%.2f", d);
    volume_ = formatText("%.2f", d * vpm_);
    markText_ = formatText("Send event mark pulses to collector every %.2f mm.", d);
}

void FractionFields::fromTotalAndNumber() {
    const auto t = scanDouble(total_);
    const auto n = scanInt(number_);
    if (t && n && *t > 0.0 && *n > 0) {
        setDistance(*t / *n);
    }
}

void FractionFields::fromDistance(double d) {
    if (!(d > 0.0)) {
        return;
    }
    if (const auto t = scanDouble(total_); t && *t > 0.0) {
        const double q = *t / d;
        // A count beyond any int cannot be a number of fractions.
        const int n = q < 1e9 ? static_cast<int>(std::trunc(q)) : 1'000'000'000;
        number_ = formatText("%d", n);
        if (n < q) {
            total_ = formatText("%.2f", n * d);
        }
    }
    setDistance(d);
}

void FractionFields::totalTyped(const std::string& text) {
    total_ = text;
    fromTotalAndNumber();
}

void FractionFields::numberTyped(const std::string& text) {
    number_ = text;
    fromTotalAndNumber();
}

void FractionFields::distanceTyped(const std::string& text) {
    distance_ = text;
    if (const auto d = scanDouble(text)) {
        fromDistance(*d);
        // The typed text stays as typed; the others follow it.
        distance_ = text;
    }
}

void FractionFields::volumeTyped(const std::string& text) {
    volume_ = text;
    const auto v = scanDouble(text);
    if (v && vpm_ > 0.0) {
        fromDistance(*v / vpm_);
        volume_ = text;
    }
}

// --- Zones ---

void ZoneTable::load(const OverlayPlan& plan) {
    rows_.clear();
    for (const auto& zone : plan.zones) {
        rows_.push_back({formatText("%.2f", zone.end), formatText("%d", zone.fractions)});
    }
}

bool ZoneTable::numberTyped(std::size_t row, const std::string& text, Prompter& prompter) {
    if (row >= rows_.size()) {
        return false;
    }
    if (scanInt(text)) {
        if (const auto problem = fractionCountProblem(text); !problem.empty()) {
            prompter.message(problem);
            return false;
        }
    }
    rows_[row].number = text;
    return true;
}

double ZoneTable::startOf(std::size_t row) const {
    return row == 0 ? 0.0 : scanDouble(rows_[row - 1].end).value_or(0.0);
}

std::string ZoneTable::startText(std::size_t row) const { return formatText("%.2f", startOf(row)); }

std::string ZoneTable::distanceText(std::size_t row) const {
    const auto end = scanDouble(rows_[row].end);
    const auto number = scanInt(rows_[row].number);
    if (!end || !number || *number <= 0) {
        return {};
    }
    return formatText("%.2f", (*end - startOf(row)) / *number);
}

std::string ZoneTable::volumeText(std::size_t row) const {
    const auto end = scanDouble(rows_[row].end);
    const auto number = scanInt(rows_[row].number);
    if (!end || !number || *number <= 0) {
        return {};
    }
    return formatText("%.2f", (*end - startOf(row)) / *number * vpm_);
}

bool ZoneTable::validate(Prompter* prompter) const {
    const std::string problem = zoneRowsProblem(rows_);
    if (!problem.empty() && prompter != nullptr) {
        prompter->message(problem);
    }
    return problem.empty();
}

OverlayPlan ZoneTable::plan(int autofrac) const {
    OverlayPlan plan;
    plan.autofrac = autofrac;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        plan.zones.push_back({startOf(i), scanDouble(rows_[i].end).value_or(0.0),
                              scanInt(rows_[i].number).value_or(1)});
    }
    return plan;
}

}  // namespace corvane
