#include "runs/RunFileCleaner.h"

#include <cmath>
#include <cstdio>
#include <deque>
#include <optional>

#include "app/FileReplace.h"
#include "app/Prompter.h"
#include "base/FileHandle.h"
#include "base/LineReader.h"
#include "base/WriterLock.h"
#include "runs/RowFormat.h"
#include "runs/RowParse.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"
#include "base/TextFormat.h"
#include "runs/RotorTable.h"

namespace corvane {
RunFileCleaner::RunFileCleaner(Prompter& prompter) : prompter_(prompter) {}

namespace {

// "12, 15-18, 40": line numbers in order, runs of them as ranges.
std::string lineList(const std::vector<std::size_t>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
        text += (text.empty() ? "" : ", ") + std::to_string(lines[i]);
        if (j > i) text += "-" + std::to_string(lines[j]);
        i = j + 1;
    }
    return text;
}

}  // namespace

std::string RunFileCleaner::shown(const std::filesystem::path& file) const {
    return visibleText((shownAs_.empty() ? file : shownAs_).string());
}

void RunFileCleaner::tellLeftOut(const std::filesystem::path& file) {
    if (leftOut_.empty()) {
        return;
    }
    totalLeftOut_ += leftOut_.size();
    prompter_.message(formatText("Warning: %zu row%s of %s could not be read and %s left out (line%s %s).",
                                 leftOut_.size(), leftOut_.size() == 1 ? "" : "s", shown(file).c_str(),
                                 leftOut_.size() == 1 ? "was" : "were", leftOut_.size() == 1 ? "" : "s",
                                 lineList(leftOut_).c_str()));
}

// One pass over a run file: the file open for reading, its scratch file for
// writing. Any failure throws the scratch file away and leaves the file alone.
class RunFileCleaner::Pass {
public:
    Pass(RunFileCleaner& owner, const std::filesystem::path& file, const char* scratchName,
         const char* scratchFailure)
        : owner_(owner), file_(file), scratchName_(scratchName), scratchFailure_(scratchFailure) {
        owner_.leftOut_.clear();
    }
    ~Pass() { discard(); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    [[nodiscard]] bool openInput(const std::string& failure) {
        // The pass ends by replacing the file: what may not be replaced is
        // refused before anything is written.
        if (const auto problem = replaceProblem(file_); !problem.empty()) {
            return fail(problem);
        }
        // Held from before the first byte is read until the cleaned file is
        // in place: a run being recorded is refused, another rewrite waits.
        lock_ = EditLock(file_);
        if (lock_.refused()) {
            return fail(heldFileProblem(file_));
        }
        in_ = openRegularFile(file_);
        if (!in_) return fail(failure);
        reader_.emplace(in_.get());
        return true;
    }
    [[nodiscard]] bool openScratch() {
        scratch_ = createReplacement(file_);
        if (!scratch_.file) {
            return fail(scratchFailure_);
        }
        return true;
    }
    // Copies the lines above the column header, and the header itself.
    [[nodiscard]] bool copyThroughHeader(std::initializer_list<std::string_view> headers,
                                         const std::string& missing, const std::string& failure,
                                         std::string_view* found = nullptr) {
        std::string_view line;
        while (reader_->next(line)) {
            ++lineNumber_;
            if (reader_->overlong() || !write(line)) {
                return fail(failure);
            }
            for (const auto header : headers) {
                if (line.starts_with(header)) {
                    if (found != nullptr) *found = header;
                    return true;
                }
            }
        }
        return fail(reader_->failed() ? failure : missing);
    }
    // The next data row. A last line without its line end is the row that was
    // being written when the program stopped; it may be cut anywhere, so it
    // is not taken as data (a row in flight, not a row of the run). A line
    // too long for the reader would be cut, so the pass is refused.
    [[nodiscard]] bool nextRow(std::string_view& line) {
        while (reader_->next(line)) {
            ++lineNumber_;
            if (reader_->overlong()) {
                tooLong_ = true;
                return false;
            }
            if (reader_->terminated()) {
                return true;
            }
        }
        return false;
    }
    [[nodiscard]] bool readFailed() const { return reader_->failed() || tooLong_; }
    // The message for a pass that ended early (a read error or a line too long).
    [[nodiscard]] std::string readFailure(const std::string& failure) const {
        if (!tooLong_) {
            return failure;
        }
        return formatText("Error, line %zu of %s is longer than %zu bytes, too long for a row; the file "
                          "was not changed.",
                          lineNumber_, owner_.shown(file_).c_str(), LineReader::kMaxLine);
    }
    // The data row just read could not be read: it is left out and told.
    // A line of blanks holds nothing and goes without a word.
    void leaveOut(std::string_view line) {
        if (line.find_first_not_of(" \t\r") != std::string_view::npos) {
            owner_.leftOut_.push_back(lineNumber_);
        }
    }

    [[nodiscard]] bool write(std::string_view line) {
        return std::fwrite(line.data(), 1, line.size(), scratch_.file.get()) == line.size() &&
               std::fputc('\n', scratch_.file.get()) != EOF;
    }
    [[nodiscard]] bool write(const RowText& row) {
        return std::fwrite(row.view().data(), 1, row.size(), scratch_.file.get()) == row.size();
    }

    bool fail(const std::string& message) {
        discard();
        owner_.leftOut_.clear();
        owner_.prompter_.message(message);
        return false;
    }

    // Puts the complete scratch file in the place of the run file.
    [[nodiscard]] bool finish() {
        reader_.reset();
        in_.reset();
        bool written = std::fflush(scratch_.file.get()) == 0;
        written = std::fclose(scratch_.file.release()) == 0 && written;
        std::error_code error;
        if (!written) {
            error = std::make_error_code(std::errc::io_error);
        } else if (replaceFileWith(file_, scratch_.path, error)) {
            scratch_.path.clear();
            owner_.tellLeftOut(file_);
            return true;
        }
        return fail(formatText("Error: %u, unable to rename \"%s\" file to: %s",
                               static_cast<unsigned>(error.value()), scratchName_,
                               file_.string().c_str()));
    }

private:
    void discard() {
        scratch_.file.reset();
        if (!scratch_.path.empty()) {
            std::error_code ignored;
            std::filesystem::remove(scratch_.path, ignored);
            scratch_.path.clear();
        }
    }

    RunFileCleaner& owner_;
    const std::filesystem::path& file_;
    const char* scratchName_;
    const char* scratchFailure_;
    EditLock lock_;
    FileHandle in_;
    std::optional<LineReader> reader_;
    std::size_t lineNumber_ = 0;
    bool tooLong_ = false;
    Replacement scratch_;
};

namespace {

// How many rows after a row are asked whether it is ahead of the run. A far
// position stays in the rows after it only until the next reading of its
// channel, a few rows at most.
constexpr std::size_t kRowsAsked = 16;

struct Positions {
    double a = 0.0;
    double b = 0.0;
    [[nodiscard]] bool movesOn(const Positions& last) const { return a > last.a && b > last.b; }
};

// Whether the first row of window, which moves on from the last row kept,
// lies ahead of the run: most of the rows after it that move on too lie
// behind it. Such a row holds a damaged position that passed the link's
// checks; trusting it would drop every row up to that position.
bool aheadOfRun(const std::deque<SampleRecord>& window, const Positions& last) {
    const Positions row{window.front().positionA, window.front().positionB};
    int behind = 0;
    int notBehind = 0;
    for (auto it = window.begin() + 1; it != window.end(); ++it) {
        const Positions later{it->positionA, it->positionB};
        if (!later.movesOn(last)) continue;
        (later.a < row.a || later.b < row.b ? behind : notBehind) += 1;
    }
    return behind > notBehind;
}

}  // namespace

bool RunFileCleaner::removeDuplicates(const std::filesystem::path& file) {
    const auto failure =
        formatText("Error, unable to remove duplicate samples from file: %s", file.string().c_str());
    Pass pass(*this, file, "to.csv", "Error, unable to open temporary file: to.csv");
    if (!pass.openInput(failure) || !pass.openScratch() ||
        !pass.copyThroughHeader(
            {kTwoChannelColumns},
            formatText("Invalid data header found in file: %s", file.string().c_str()), failure)) {
        return false;
    }
    Positions last;
    RowText row;
    // Rows are judged once the rows after them are read (or the file ends).
    std::deque<SampleRecord> window;
    const auto judgeFirst = [&] {
        const auto record = window.front();
        const Positions positions{record.positionA, record.positionB};
        bool ok = true;
        if (positions.movesOn(last) && !aheadOfRun(window, last)) {
            formatTwoChannelRow(row, record);
            ok = pass.write(row);
            last = positions;
        }
        window.pop_front();
        return ok;
    };
    std::string_view line;
    while (pass.nextRow(line)) {
        if (const auto record = parseTwoChannelRow(line)) {
            window.push_back(*record);
        } else {
            pass.leaveOut(line);
        }
        if (window.size() > kRowsAsked && !judgeFirst()) {
            return pass.fail(failure);
        }
    }
    while (!window.empty()) {
        if (!judgeFirst()) return pass.fail(failure);
    }
    return pass.readFailed() ? pass.fail(pass.readFailure(failure)) : pass.finish();
}

bool RunFileCleaner::removeEm1Duplicates(const std::filesystem::path& file) {
    const auto failure =
        formatText("Error, unable to remove duplicate samples from file: %s", file.string().c_str());
    Pass pass(*this, file, "temp_duplicate.txt",
              "Error, unable to open temporary file: temp_duplicate.txt.");
    std::string_view header;
    if (!pass.openInput(failure) || !pass.openScratch() ||
        !pass.copyThroughHeader(
            {kEm1Columns, kEm1EventColumns},
            formatText("Error, unable to find header in file: %s", file.string().c_str()), failure,
            &header)) {
        return false;
    }
    // The older layout carries an event flag per row, the current one the
    // fraction columns; either way a marked row is never dropped.
    const bool fractionLayout = header == kEm1Columns;
    double last = 0.0;
    RowText row;
    std::string_view line;
    while (pass.nextRow(line)) {
        const auto sample = fractionLayout ? parseEm1Row(line) : parseEm1EventRow(line);
        if (!sample) {
            pass.leaveOut(line);
            continue;
        }
        const bool hasDistance = !std::isnan(sample->distance);
        if (!sample->eventMark && hasDistance && !(sample->distance > last)) {
            continue;
        }
        bool ok;
        if (fractionLayout) {
            ok = pass.write(line);
        } else {
            row.clear();
            row.fixed(sample->distance, 2).text(", ").fixed(sample->absorbance, 6);
            row.text(sample->eventMark ? ", 1" : ", 0").endLine();
            ok = pass.write(row);
        }
        if (!ok) {
            return pass.fail(failure);
        }
        if (hasDistance && sample->distance > last) {
            last = sample->distance;
        }
    }
    return pass.readFailed() ? pass.fail(pass.readFailure(failure)) : pass.finish();
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
    const auto failure = formatText("Error, unable to open file: %s", file.string().c_str());
    RunDataFile run;
    if (run.readHeader(file) == RunDataFile::ReadStatus::CannotOpen) {
        prompter_.message(failure);
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
    Pass pass(*this, file, "temp_events.txt",
              "Error, unable to open temporary file: temp_events.txt.");
    if (!pass.openScratch() || !pass.openInput(failure) ||
        !pass.copyThroughHeader(
            {kEm1Columns}, formatText("Error, unable to find header in file: %s", file.string().c_str()),
            failure)) {
        return false;
    }
    // Rows that are not DE-1 samples with a distance are passed on as they stand.
    std::vector<Em1Sample> rows;
    std::string_view line;
    while (pass.nextRow(line)) {
        const auto sample = parseEm1Row(line);
        if (sample && !std::isnan(sample->distance)) {
            rows.push_back(*sample);
        } else if (!pass.write(line)) {
            return pass.fail(failure);
        }
    }
    if (pass.readFailed()) {
        return pass.fail(pass.readFailure(failure));
    }
    moveEventsBack(rows, shift);
    RowText row;
    for (const auto& sample : rows) {
        if (sample.distance < 0.0) {
            continue;
        }
        formatEm1Row(row, sample);
        if (!pass.write(row)) {
            return pass.fail(failure);
        }
    }
    return pass.finish();
}

bool RunFileCleaner::cleanRescued(const std::filesystem::path& file) {
    RunDataFile run;
    // An unreadable header leaves the layout unknown; the two-channel pass then says what is wrong.
    (void)run.readHeader(file);
    switch (run.layout()) {
        case RunFileLayout::Em1: return mergeEvents(file);
        case RunFileLayout::Em1Events: return removeEm1Duplicates(file);
        default: return removeDuplicates(file);
    }
}

}  // namespace corvane
