#include "runs/RunFileCleaner.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "app/Prompter.h"
#include "runs/FileHandle.h"
#include "runs/LineReader.h"
#include "runs/RowFormat.h"
#include "runs/RowParse.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"
#include "runs/TextFormat.h"
#include "setup/RotorTable.h"

namespace corvane {
namespace {

constexpr const char* kDuplicatesScratch = "to.csv";
constexpr const char* kEm1DuplicatesScratch = "temp_duplicate.txt";
constexpr const char* kEventsScratch = "temp_events.txt";

bool writeLine(std::FILE* out, std::string_view line) {
    return std::fwrite(line.data(), 1, line.size(), out) == line.size() &&
           std::fputc('\n', out) != EOF;
}

bool writeRow(std::FILE* out, const RowText& row) {
    return std::fwrite(row.view().data(), 1, row.size(), out) == row.size();
}

enum class HeaderCopy { Found, Missing, Failed };

// Copies the lines above the column header, and the header itself, to out.
// found tells which header ended the copy.
HeaderCopy copyThroughHeader(LineReader& reader, std::FILE* out,
                             std::initializer_list<std::string_view> headers,
                             std::string_view* found = nullptr) {
    std::string_view line;
    while (reader.next(line)) {
        if (reader.overlong() || !writeLine(out, line)) {
            return HeaderCopy::Failed;
        }
        for (const auto header : headers) {
            if (line.starts_with(header)) {
                if (found != nullptr) *found = header;
                return HeaderCopy::Found;
            }
        }
    }
    return reader.failed() ? HeaderCopy::Failed : HeaderCopy::Missing;
}

// The next data row. A last line without its line end is the row that was
// being written when the program stopped; it may be cut anywhere, so it is
// not taken as data.
bool nextRow(LineReader& reader, std::string_view& line) {
    while (reader.next(line)) {
        if (reader.terminated() && !reader.overlong()) {
            return true;
        }
    }
    return false;
}

}  // namespace

struct RunFileCleaner::Scratch {
    std::filesystem::path path;
    FileHandle file;
    const char* name = "";
};

RunFileCleaner::RunFileCleaner(Prompter& prompter, std::vector<std::filesystem::path> scratchFolders)
    : prompter_(prompter), scratchFolders_(std::move(scratchFolders)) {}

RunFileCleaner::Scratch RunFileCleaner::createScratch(const char* name) const {
    for (const auto& folder : scratchFolders_) {
        if (folder.empty()) continue;
        const auto path = folder / name;
        if (auto file = createNewFile(path, "w")) {
            return {path, std::move(file), name};
        }
    }
    return {{}, nullptr, name};
}

// Closes the scratch file and puts it in the place of file.
bool RunFileCleaner::finish(Scratch& scratch, const std::filesystem::path& file) {
    bool written = std::fflush(scratch.file.get()) == 0;
    written = std::fclose(scratch.file.release()) == 0 && written;
    std::error_code error;
    if (!written) {
        error = std::make_error_code(std::errc::io_error);
    } else if (moveFileOver(scratch.path, file, error)) {
        return true;
    }
    std::error_code ignored;
    std::filesystem::remove(scratch.path, ignored);
    prompter_.message(formatText("Error: %u, unable to rename \"%s\" file to: %s",
                                 static_cast<unsigned>(error.value()), scratch.name,
                                 file.string().c_str()));
    return false;
}

bool RunFileCleaner::removeDuplicates(const std::filesystem::path& file) {
    const auto failedMessage =
        formatText("Error, unable to remove duplicate samples from file: %s", file.string().c_str());
    auto in = openFile(file, "rb");
    if (!in) {
        prompter_.message(failedMessage);
        return false;
    }
    auto scratch = createScratch(kDuplicatesScratch);
    if (!scratch.file) {
        prompter_.message("Error, unable to open temporary file: to.csv");
        return false;
    }
    const auto discard = [&](const std::string& message) {
        scratch.file.reset();
        std::error_code ignored;
        std::filesystem::remove(scratch.path, ignored);
        prompter_.message(message);
        return false;
    };
    LineReader reader(in.get());
    switch (copyThroughHeader(reader, scratch.file.get(), {kTwoChannelColumns})) {
        case HeaderCopy::Found: break;
        case HeaderCopy::Missing:
            return discard(formatText("Invalid data header found in file: %s", file.string().c_str()));
        case HeaderCopy::Failed: return discard(failedMessage);
    }
    double lastA = 0.0;
    double lastB = 0.0;
    RowText row;
    std::string_view line;
    while (nextRow(reader, line)) {
        const auto record = parseTwoChannelRow(line);
        if (!record || !(record->positionA > lastA && record->positionB > lastB)) {
            continue;
        }
        formatTwoChannelRow(row, *record);
        if (!writeRow(scratch.file.get(), row)) {
            return discard(failedMessage);
        }
        lastA = record->positionA;
        lastB = record->positionB;
    }
    if (reader.failed()) {
        return discard(failedMessage);
    }
    in.reset();
    return finish(scratch, file);
}

bool RunFileCleaner::removeEm1Duplicates(const std::filesystem::path& file) {
    const auto failedMessage =
        formatText("Error, unable to remove duplicate samples from file: %s", file.string().c_str());
    auto in = openFile(file, "rb");
    if (!in) {
        prompter_.message(failedMessage);
        return false;
    }
    auto scratch = createScratch(kEm1DuplicatesScratch);
    if (!scratch.file) {
        prompter_.message("Error, unable to open temporary file: temp_duplicate.txt.");
        return false;
    }
    const auto discard = [&](const std::string& message) {
        scratch.file.reset();
        std::error_code ignored;
        std::filesystem::remove(scratch.path, ignored);
        prompter_.message(message);
        return false;
    };
    LineReader reader(in.get());
    std::string_view header;
    switch (copyThroughHeader(reader, scratch.file.get(), {kEm1Columns, kEm1EventColumns}, &header)) {
        case HeaderCopy::Found: break;
        case HeaderCopy::Missing:
            return discard(
                formatText("Error, unable to find header in file: %s", file.string().c_str()));
        case HeaderCopy::Failed: return discard(failedMessage);
    }
    // The older layout carries an event flag per row, the current one the
    // fraction columns; either way a marked row is never dropped.
    const bool fractionLayout = header == kEm1Columns;
    double last = 0.0;
    RowText row;
    std::string_view line;
    while (nextRow(reader, line)) {
        const auto sample = fractionLayout ? parseEm1Row(line) : parseEm1EventRow(line);
        if (!sample) {
            continue;
        }
        const bool hasDistance = !std::isnan(sample->distance);
        if (!sample->eventMark && hasDistance && !(sample->distance > last)) {
            continue;
        }
        bool ok;
        if (fractionLayout) {
            ok = writeLine(scratch.file.get(), line);
        } else {
            row.clear();
            row.fixed(sample->distance, 2).text(", ").fixed(sample->absorbance, 6);
            row.text(sample->eventMark ? ", 1" : ", 0").endLine();
            ok = writeRow(scratch.file.get(), row);
        }
        if (!ok) {
            return discard(failedMessage);
        }
        if (hasDistance && sample->distance > last) {
            last = sample->distance;
        }
    }
    if (reader.failed()) {
        return discard(failedMessage);
    }
    in.reset();
    return finish(scratch, file);
}

namespace {

// Moves every event but the automatic ones back by shift (mm) onto the sample
// row nearest its shifted distance; automatic fractions keep their rows and
// only their distance moves.
void moveEventsBack(std::vector<Em1Sample>& rows, double shift) {
    const auto n = static_cast<std::ptrdiff_t>(rows.size());
    const auto carries = [&](std::ptrdiff_t k) {
        return rows[static_cast<std::size_t>(k)].fraction != Em1Sample::kNoFraction;
    };
    const auto distance = [&](std::ptrdiff_t k) { return rows[static_cast<std::size_t>(k)].distance; };
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        auto& own = rows[static_cast<std::size_t>(i)];
        if (own.fraction == Em1Sample::kNoFraction) {
            continue;
        }
        if (own.fraction == Em1Sample::kAutomatic) {
            own.distance -= shift;
            continue;
        }
        const int fraction = own.fraction;
        const double volume = own.volume;
        own.fraction = Em1Sample::kNoFraction;
        own.volume = 0.0;
        own.eventMark = false;

        const double target = own.distance - shift;
        std::ptrdiff_t below = i;
        while (below >= 0 && distance(below) > target) {
            --below;
        }
        // Of the last row not above the target and the row after it, the
        // nearer; on a tie the later one.
        std::ptrdiff_t chosen = 0;
        std::ptrdiff_t other = -1;
        if (below >= 0) {
            chosen = below;
            if (below + 1 < n) {
                other = below + 1;
                if (std::fabs(distance(other) - target) <= std::fabs(distance(below) - target)) {
                    std::swap(chosen, other);
                }
            }
        }
        if (carries(chosen)) {
            if (other >= 0 && !carries(other)) {
                chosen = other;
            } else {
                // Row i was just cleared, so this ends at i at the latest.
                do {
                    ++chosen;
                } while (chosen < n && carries(chosen));
            }
        }
        auto& host = rows[static_cast<std::size_t>(chosen)];
        host.fraction = fraction;
        host.volume = volume;
        host.eventMark = true;
    }
}

}  // namespace

bool RunFileCleaner::mergeEvents(const std::filesystem::path& file) {
    RunDataFile run;
    if (run.readHeader(file) == RunDataFile::ReadStatus::CannotOpen) {
        prompter_.message(formatText("Error, unable to open file: %s", file.string().c_str()));
        return false;
    }
    const auto& header = run.header();
    const double volumePerMm = header.hasVolumePerMm && header.info.volumePerMm > 0.0
                                   ? header.info.volumePerMm
                                   : RotorTable::kDefaultVolumePerMm;
    const double shift = header.em1 ? header.em1->settings.deadVolume / volumePerMm : 0.0;
    if (!(shift > 0.0)) {
        return true;
    }
    auto scratch = createScratch(kEventsScratch);
    if (!scratch.file) {
        prompter_.message("Error, unable to open temporary file: temp_events.txt.");
        return false;
    }
    const auto discard = [&](const std::string& message) {
        scratch.file.reset();
        std::error_code ignored;
        std::filesystem::remove(scratch.path, ignored);
        prompter_.message(message);
        return false;
    };
    const auto openMessage = formatText("Error, unable to open file: %s", file.string().c_str());
    auto in = openFile(file, "rb");
    if (!in) {
        return discard(openMessage);
    }
    LineReader reader(in.get());
    switch (copyThroughHeader(reader, scratch.file.get(), {kEm1Columns})) {
        case HeaderCopy::Found: break;
        case HeaderCopy::Missing:
            return discard(
                formatText("Error, unable to find header in file: %s", file.string().c_str()));
        case HeaderCopy::Failed: return discard(openMessage);
    }
    // Rows that are not DE-1 samples with a distance are passed on as they stand.
    std::vector<Em1Sample> rows;
    std::string_view line;
    while (nextRow(reader, line)) {
        const auto sample = parseEm1Row(line);
        if (sample && !std::isnan(sample->distance)) {
            rows.push_back(*sample);
        } else if (!writeLine(scratch.file.get(), line)) {
            return discard(openMessage);
        }
    }
    if (reader.failed()) {
        return discard(openMessage);
    }
    in.reset();
    moveEventsBack(rows, shift);
    RowText row;
    for (const auto& sample : rows) {
        if (sample.distance < 0.0) {
            continue;
        }
        formatEm1Row(row, sample);
        if (!writeRow(scratch.file.get(), row)) {
            return discard(openMessage);
        }
    }
    return finish(scratch, file);
}

bool RunFileCleaner::cleanRescued(const std::filesystem::path& file) {
    RunDataFile run;
    (void)run.readHeader(file);
    switch (run.layout()) {
        case RunFileLayout::Em1: return mergeEvents(file);
        case RunFileLayout::Em1Events: return removeEm1Duplicates(file);
        default: return removeDuplicates(file);
    }
}

}  // namespace corvane
