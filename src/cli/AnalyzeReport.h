#pragma once

// The three ways `corvane-cli analyze` writes its reports (AnalysisReport):
// a JSON object on one line, the CSV table, a few lines of text.

#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisReport.h"

namespace corvane::cli {

void writeJson(std::FILE* out, const FileReport& report, const AnalyzeParameters& parameters);
void writeJson(std::FILE* out, const GroupReport& group);

// The header, then one row per file and one per group, with '.' as the
// decimal point whatever the locale.
void writeCsv(std::FILE* out, const std::vector<FileReport>& reports, const std::vector<GroupReport>& groups,
              const AnalyzeParameters& parameters);

void writeText(std::FILE* out, const FileReport& report);
void writeText(std::FILE* out, const GroupReport& group);

}  // namespace corvane::cli
