#include "runs/OverlayPlanBlock.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "app/FileReplace.h"
#include "base/WriterLock.h"
#include "base/FieldScanner.h"
#include "base/FileHandle.h"
#include "base/LineReader.h"
#include "base/TextFormat.h"
#include "runs/RunFileCopy.h"

namespace corvane {

namespace {

constexpr std::string_view kDataColumns = "Data Column";

[[nodiscard]] bool startsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

[[nodiscard]] std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The block's "key value" lines, read as the settings store reads a section:
// from its header to the next header.
class BlockLines {
public:
    void add(std::string_view line) {
        const auto blank = line.find(' ');
        if (blank == std::string_view::npos || blank == 0) {
            return;
        }
        const std::string key(line.substr(0, blank));
        // The first line of a key counts, as the store's lookup finds it first.
        if (std::none_of(keys_.begin(), keys_.end(), [&](const auto& k) { return k.first == key; })) {
            keys_.emplace_back(key, std::string(line.substr(blank + 1)));
        }
    }
    [[nodiscard]] const std::string* value(std::string_view key) const {
        for (const auto& [k, v] : keys_) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    }

private:
    std::vector<std::pair<std::string, std::string>> keys_;
};

[[nodiscard]] OverlayPlanRead planFrom(const BlockLines& block) {
    OverlayPlanRead read;
    read.found = true;
    int zones = 0;
    if (const auto* text = block.value("numzones")) {
        FieldScanner scanner(*text);
        if (!scanner.integer(zones)) {
            zones = 0;
        }
    }
    zones = std::clamp(zones, 0, kMaxOverlayZones);
    for (int n = 1; n <= zones; ++n) {
        const auto* text = block.value(formatText("zone%03d", n));
        if (text == nullptr) {
            break;
        }
        // As the settings store reads a list: a line without even its first
        // number ends the zones; numbers missing after it read as 0.
        FieldScanner scanner(*text);
        OverlayZone zone;
        if (!scanner.real(zone.start)) {
            break;
        }
        if (!scanner.real(zone.end)) {
            zone.end = 0.0;
            zone.fractions = 0;
        } else if (!scanner.integer(zone.fractions)) {
            zone.fractions = 0;
        }
        read.plan.zones.push_back(zone);
    }
    if (const auto* text = block.value("autofrac")) {
        FieldScanner scanner(*text);
        if (!scanner.integer(read.plan.autofrac)) {
            read.plan.autofrac = 0;
        }
    }
    if (const auto* text = block.value("filename")) {
        read.filename = *text;
    }
    return read;
}

// Lines written with '\n' given the line end of the file they go into (a
// last line without one keeps '\n').
[[nodiscard]] std::string withLineEnd(const std::string& text, std::string_view ending) {
    if (ending.empty() || ending == "\n") {
        return text;
    }
    std::string changed;
    for (const char c : text) {
        if (c == '\n') {
            changed += ending;
        } else {
            changed += c;
        }
    }
    return changed;
}

// Feeds lines one at a time; done() once nothing more can belong to the block.
class PlanScanner {
public:
    void line(std::string_view raw) {
        const std::string_view line = trimmed(raw);
        if (!inBlock_) {
            if (line == kOverlayPlanSection && !found_) {
                inBlock_ = true;
                found_ = true;
            } else if (startsWith(line, kDataColumns)) {
                done_ = true;
            }
            return;
        }
        if (startsWith(line, "[") || startsWith(line, kDataColumns)) {
            inBlock_ = false;
            done_ = true;
            return;
        }
        block_.add(line);
    }
    [[nodiscard]] bool done() const { return done_; }
    [[nodiscard]] OverlayPlanRead result() const { return found_ ? planFrom(block_) : OverlayPlanRead{}; }

private:
    BlockLines block_;
    bool inBlock_ = false;
    bool found_ = false;
    bool done_ = false;
};

}  // namespace

std::string overlayPlanBlock(const OverlayPlan& plan, std::string_view filename) {
    std::string text(kOverlayPlanSection);
    text += '\n';
    text += formatText("numzones %d\n", static_cast<int>(plan.zones.size()));
    int number = 1;
    for (const auto& zone : plan.zones) {
        text += formatText("zone%03d %.2f %.2f %d\n", number++, zone.start, zone.end, zone.fractions);
    }
    text += formatText("autofrac %d\n", plan.autofrac);
    if (!filename.empty()) {
        text += "filename ";
        text += filename;
        text += '\n';
    }
    return text;
}

OverlayPlanRead readOverlayPlan(std::string_view text) {
    LineReader reader(text);
    PlanScanner scanner;
    std::string_view line;
    while (!scanner.done() && reader.next(line)) {
        scanner.line(line);
    }
    return scanner.result();
}

std::optional<OverlayPlanRead> readOverlayPlanFile(const std::filesystem::path& path) {
    const FileHandle file = openRegularFile(path);
    if (!file) {
        return std::nullopt;
    }
    LineReader reader(file.get());
    PlanScanner scanner;
    std::string_view line;
    std::uintmax_t bytes = 0;
    while (!scanner.done() && reader.next(line)) {
        bytes += line.size() + 1;
        if (bytes > kMaxRunFileBytes) {
            return std::nullopt;
        }
        scanner.line(line);
    }
    if (reader.failed()) {
        return std::nullopt;
    }
    return scanner.result();
}

// Each text line keeps its own line end (LF, CR LF or a lone CR, as the
// readers split them), so a file's lines are found where its readers find
// them and new lines take the file's line end.
std::optional<std::string> withOverlayPlan(std::string_view fileText, const OverlayPlan& plan,
                                           const std::optional<PlanHeaderLines>& lines) {
    std::string out;
    out.reserve(fileText.size() + 256);
    bool placed = false;
    bool inOldBlock = false;
    std::size_t pos = 0;
    while (pos < fileText.size()) {
        std::size_t eol = fileText.find_first_of("\r\n", pos);
        std::size_t next = fileText.size();
        if (eol == std::string_view::npos) {
            eol = next;
        } else {
            next = eol + (fileText.compare(eol, 2, "\r\n") == 0 ? 2 : 1);
        }
        const std::string_view whole = fileText.substr(pos, next - pos);
        const std::string_view ending = fileText.substr(eol, next - eol);
        const std::string_view line = trimmed(fileText.substr(pos, eol - pos));
        pos = next;
        if (placed) {
            out += whole;
            continue;
        }
        if (inOldBlock) {
            // The old block ends with its empty line (dropped with it) or
            // runs into the next header or the data.
            if (line.empty()) {
                inOldBlock = false;
                continue;
            }
            if (!startsWith(line, "[") && !startsWith(line, kDataColumns)) {
                continue;
            }
            inOldBlock = false;
        }
        if (line == kOverlayPlanSection) {
            inOldBlock = true;
            continue;
        }
        if (startsWith(line, kDataColumns)) {
            out += withLineEnd(overlayPlanBlock(plan) + "\n", ending);
            out += whole;
            placed = true;
            continue;
        }
        if (lines) {
            // "Total Distance:" first: it also begins with a word that is no "Distance:".
            if (startsWith(line, "Total Distance:")) {
                out += withLineEnd(formatText("Total Distance: %.2f mm\n", lines->totalDistance), ending);
                continue;
            }
            if (startsWith(line, "Distance:")) {
                out += withLineEnd(formatText("Distance: %.2f mm\n", lines->fractionDistance), ending);
                continue;
            }
            if (startsWith(line, "Number:")) {
                out += withLineEnd(formatText("Number: %d\n", lines->fractions), ending);
                continue;
            }
        }
        out += whole;
    }
    if (!placed) {
        return std::nullopt;
    }
    return out;
}

PlanWriteResult writeStandardRun(const std::filesystem::path& source, const std::filesystem::path& target,
                                 const OverlayPlan& plan, const std::optional<PlanHeaderLines>& lines, int& error) {
    error = 0;
    // Held from the read to the replacement: a run being recorded is never
    // rewritten under its recorder, and a second rewrite takes its turn.
    const EditLock lock(target);
    if (lock.refused()) {
        return PlanWriteResult::Busy;
    }
    std::error_code size;
    if (const auto bytes = std::filesystem::file_size(source, size); !size && bytes > kMaxRunFileBytes) {
        return PlanWriteResult::TooLarge;
    }
    auto text = readWholeFile(source, static_cast<std::size_t>(kMaxRunFileBytes));
    if (!text) {
        return PlanWriteResult::CannotRead;
    }
    std::error_code same;
    if (!std::filesystem::equivalent(source, target, same) && startsWith(*text, "Corvane Text Data File:")) {
        const std::size_t eol = std::min(text->find_first_of("\r\n"), text->size());
        text->replace(0, eol, formatText(kRunFileTitle, target.filename().string().c_str()));
    }
    const auto rewritten = withOverlayPlan(*text, plan, lines);
    if (!rewritten) {
        return PlanWriteResult::NotARunFile;
    }
    errno = 0;
    if (!replaceFile(target, *rewritten)) {
        error = errno != 0 ? errno : EIO;
        return PlanWriteResult::CannotWrite;
    }
    return PlanWriteResult::Ok;
}

PlanWriteResult writeOverlayPlan(const std::filesystem::path& path, const OverlayPlan& plan,
                                 const std::optional<PlanHeaderLines>& lines) {
    int error = 0;
    return writeStandardRun(path, path, plan, lines, error);
}

std::string planWriteMessage(PlanWriteResult result, const std::filesystem::path& source,
                             const std::filesystem::path& target, int error) {
    std::error_code missing;
    switch (result) {
        case PlanWriteResult::Ok: return {};
        case PlanWriteResult::CannotRead:
            if (!std::filesystem::exists(source, missing)) {
                return "Error, data file does not exist.";
            }
            return formatText("Error, unable to open file: %s", source.string().c_str());
        case PlanWriteResult::NotARunFile:
            return formatText("Error, unable to find header in file: %s", source.string().c_str());
        case PlanWriteResult::Busy: return heldFileProblem(target);
        case PlanWriteResult::TooLarge:
            return formatText("Error, the file is larger than %ju MB, too large for a run file: %s",
                              kMaxRunFileBytes >> 20, source.string().c_str());
        case PlanWriteResult::CannotWrite:
            // A refusal with its own reason (read-only, a folder) says so.
            if (auto problem = replaceProblem(target); !problem.empty()) {
                return problem;
            }
            // The work file is the hidden sibling the replacement writes.
            return formatText("Error %u copying temporary file: %s to %s.", static_cast<unsigned>(error),
                              ("." + target.filename().string() + ".replacing").c_str(),
                              target.string().c_str());
    }
    return {};
}

}  // namespace corvane
