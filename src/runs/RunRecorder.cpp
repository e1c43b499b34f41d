#include "runs/RunRecorder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/FileReplace.h"
#include "app/Prompter.h"
#include "app/Version.h"
#include "runs/RunDataFile.h"
#include "runs/RunFileCopy.h"
#include "base/TextFormat.h"
#include "base/WriterLock.h"

namespace corvane {
namespace {

// A DE-1 run file is read whole to insert an AUFS line; no real one comes
// near this size (a day at 30 samples a second is about 100 MB).
constexpr std::size_t kMaxAufsRewrite = std::size_t{1} << 30;

const char* uvUnitText(int unit) {
    switch (unit) {
        case RunInfo::kDualWavelength: return "Dual Wavelength";
        case RunInfo::kSingleWavelength: return "Single Wavelength";
        default: return "DE-1";
    }
}

// "Key: value" where an absent value leaves only "Key: ".
std::string textLine(const char* key, const std::string& value, const char* unit = "") {
    if (value.empty()) {
        return formatText("%s: \n", key);
    }
    return formatText("%s: %s%s\n", key, value.c_str(), unit);
}

std::string runInfoLines(const RunInfo& info) {
    std::string text;
    text += textLine("User", info.userName);
    // One header line, whatever the description's lines.
    text += textLine("Experiment name", oneLineText(info.experimentName));
    text += formatText("UV Unit: %s\n", uvUnitText(info.uvUnit));
    text += textLine("Rotor Manufacturer", info.rotorManufacturer);
    text += textLine("Rotor Model", info.rotorModel);
    // The USER page asks for kRPM: the header says so (a reader strips either unit).
    text += textLine("Speed", info.speed, " krpm");
    if (info.gradient.empty()) {
        text += "Gradient: \n";
    } else {
        text += formatText("Gradient: %s %.1f%% to %.1f%% %s\n", info.gradient.c_str(),
                           info.gradientPercent1, info.gradientPercent2,
                           gradientUnitText(info.gradientUnits));
    }
    text += textLine("Time", info.spinTime);
    text += info.w2tMantissa.empty()
                ? std::string("w2t: \n")
                : formatText("w2t: %s x 10^%d\n", info.w2tMantissa.c_str(), info.w2tExponent);
    text += textLine("Sample Volume", info.sampleVolume, " ml");
    text += formatText("Number of Tubes: %d\n", info.numberOfTubes);
    text += formatText("Volume per mm: %.3f ml/mm\n", info.volumePerMm);
    text += formatText("Temperature: %.1f deg C\n", info.temperature);
    return text;
}

std::string deviceLines(const DeviceSettings& d) {
    // Samples per mm needs both rates; a unit that reports 0 for either gets 0.00.
    const double speed = d.scanSpeed / 10.0;
    const double samplesPerMm =
        d.sampleIntervalMs > 0 && d.scanSpeed != 0 ? (1000.0 / d.sampleIntervalMs) / speed : 0.0;
    std::string text;
    text += formatText("pC: %d\n", d.potValue * 50);
    text += formatText("Sample Interval: %d ms\n", d.sampleIntervalMs);
    text += formatText("A:B Duty Cycle: %d:%d\n", d.dutyCycleA, 100 - d.dutyCycleA);
    text += formatText("Samples/mm: %.2f\n", samplesPerMm);
    text += formatText("Scan Speed: %.2f mm/sec\n", speed);
    text += formatText("Scan Distance: %.1f mm\n", d.scanDistance * 0.01);
    return text;
}

std::optional<double> runVolumePerMm(const RunDescription& description) {
    if (description.volumePerMm) {
        return description.volumePerMm;
    }
    if (description.runInfo) {
        return description.runInfo->volumePerMm;
    }
    return std::nullopt;
}

bool writeAll(std::FILE* file, std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

}  // namespace

RunRecorder::RunRecorder(Prompter& prompter, RunFolders folders, CalendarSource calendar)
    : prompter_(prompter),
      folders_(std::move(folders)),
      calendar_(calendar ? std::move(calendar) : CalendarSource(localCalendarTime)),
      cleaner_(prompter) {}

RunRecorder::~RunRecorder() {
    const std::scoped_lock lock(mutex_);
    closeFileLocked();
}

std::string RunRecorder::headerText(const std::string& fileName, const RunDescription& description,
                                    const Em1RunWriter* em1) const {
    const CalendarTime now = calendar_();
    std::string text = formatText("Corvane Text Data File: %s\n", fileName.c_str());
    text += formatText("Version: %s\n", kVersionText);
    text += formatText("Date: %d-%02d-%02d\n", now.year, now.month, now.day);
    text += formatText("Time: %02d:%02d:%02d\n", now.hour, now.minute, now.second);
    text += "\n";
    if (description.runInfo) {
        text += runInfoLines(*description.runInfo);
        text += "\n";
    }
    // Without a description too: the rates a run was recorded at belong to its data.
    if (description.device) {
        text += deviceLines(*description.device);
    }
    if (em1 != nullptr) {
        text += em1->headerBlock();
    }
    text += "\nData Columns:\n";
    text += em1 != nullptr ? kEm1Columns : kTwoChannelColumns;
    text += "\n";
    return text;
}

bool RunRecorder::open(const std::filesystem::path& path, const RunDescription& description) {
    const std::scoped_lock lock(mutex_);
    closeFileLocked();
    em1_.reset();
    if (description.em1) {
        em1_.emplace(*description.em1, runVolumePerMm(description));
    }
    failedWrites_ = 0;
    rowsWritten_ = 0;
    // Created, never opened over an existing file: two runs started in the
    // same second in one TEMP folder (two programs) get a file each, the
    // later one the next numbered name. Text mode: the platform's own line
    // ends, as every text file of the program.
    auto [created, file] = createNumberedFile(path, "w");
    file_ = std::move(file);
    const auto header = headerText(created.filename().string(), description, em1_ ? &*em1_ : nullptr);
    // Marked as being written for the whole run (where the file system has
    // such locks), so no clean-up or rescue of another program takes it.
    (void)claimForWriting(file_.get());
    if (!file_ || !writeAll(file_.get(), header) || std::fflush(file_.get()) != 0) {
        const bool ours = file_ != nullptr;
        file_.reset();
        em1_.reset();
        if (ours) {
            std::error_code ignored;
            std::filesystem::remove(created, ignored);
        }
        prompter_.message(formatText("Error, unable to open file: %s", path.string().c_str()));
        return false;
    }
    path_ = created;
    return true;
}

bool RunRecorder::isOpen() const {
    const std::scoped_lock lock(mutex_);
    return file_ != nullptr;
}

bool RunRecorder::isEm1Run() const {
    const std::scoped_lock lock(mutex_);
    return em1_.has_value();
}

std::filesystem::path RunRecorder::path() const {
    const std::scoped_lock lock(mutex_);
    return path_;
}

std::int64_t RunRecorder::failedWrites() const {
    const std::scoped_lock lock(mutex_);
    return failedWrites_;
}

void RunRecorder::closeFileLocked() {
    if (file_) {
        std::fclose(file_.release());
    }
}

// One write per row, flushed at once: the row is in the OS's hands when this
// returns.
bool RunRecorder::appendRow() {
    if (std::fwrite(row_.view().data(), 1, row_.size(), file_.get()) != row_.size() ||
        std::fflush(file_.get()) != 0) {
        std::clearerr(file_.get());
        ++failedWrites_;
        return false;
    }
    return true;
}

void RunRecorder::writeSample(const SampleRecord& record) {
    const std::scoped_lock lock(mutex_);
    if (!file_ || em1_) {
        return;
    }
    formatTwoChannelRow(row_, record);
    rowsWritten_ += appendRow() ? 1 : 0;
}

void RunRecorder::writeEm1Sample(double distance, double absorbance, std::uint32_t rawValue) {
    const std::scoped_lock lock(mutex_);
    if (!file_ || !em1_) {
        return;
    }
    em1_->formatSample(row_, distance, absorbance, rawValue);
    rowsWritten_ += appendRow() ? 1 : 0;
}

std::int64_t RunRecorder::rowsWritten() const {
    const std::scoped_lock lock(mutex_);
    return rowsWritten_;
}

RunRecorder::ClosingRow RunRecorder::finishEm1Run(double distance, double absorbance) {
    const std::scoped_lock lock(mutex_);
    if (!file_ || !em1_ || !em1_->formatClosingRow(row_, distance, absorbance)) {
        return ClosingRow::NotDue;
    }
    return appendRow() ? ClosingRow::Written : ClosingRow::Failed;
}

bool RunRecorder::writeAufsChange(int step, double distance) {
    const std::scoped_lock lock(mutex_);
    if (!file_ || !em1_) {
        return false;
    }
    em1_->setAufs(step);
    return rewriteLocked([&](std::string& content) {
        std::size_t lineStart = 0;
        std::size_t insertAt = std::string::npos;
        bool crlf = false;
        while (lineStart < content.size()) {
            auto lineEnd = content.find('\n', lineStart);
            if (lineEnd == std::string::npos) lineEnd = content.size();
            const std::string_view line(content.data() + lineStart, lineEnd - lineStart);
            if (line.find("Absorbance Units") != std::string_view::npos) {
                insertAt = std::min(lineEnd + 1, content.size());
                crlf = line.ends_with('\r');
                break;
            }
            lineStart = lineEnd + 1;
        }
        if (insertAt == std::string::npos) {
            return false;
        }
        content.insert(insertAt, formatText("AUFS changed to %.2f at %.2f mm.%s", Em1RunWriter::aufsValue(step),
                                            distance, crlf ? "\r\n" : "\n"));
        return true;
    });
}

bool RunRecorder::writeFractionTable(const FractionTable& table) {
    const std::scoped_lock lock(mutex_);
    if (!file_ || !em1_) {
        return false;
    }
    return rewriteLocked([&](std::string& content) {
        auto with = withFractionTable(content, table);
        if (!with) {
            return false;
        }
        content = std::move(*with);
        return true;
    });
}

bool RunRecorder::rewriteLocked(const std::function<bool(std::string&)>& edit) {
    std::fflush(file_.get());
    auto content = readWholeFile(path_, kMaxAufsRewrite);
    if (!content || !edit(*content)) {
        return false;
    }
    // The file is rebuilt whole and swapped in, so at every moment its name
    // holds either the old or the new file. The new one is written as a work
    // file already locked as being written, and the run goes on in it: at no
    // moment is the run's name an unlocked file another rewrite could take.
    auto replacement = createReplacement(path_);
    if (!replacement.file) {
        return false;
    }
    std::error_code error;
    if (!writeBytes(replacement.file.get(), *content) || !syncToDisk(replacement.file.get()) ||
        !replaceFileWith(path_, replacement.path, error)) {
        replacement.file.reset();
        std::filesystem::remove(replacement.path, error);
        return false;
    }
    closeFileLocked();
    file_ = std::move(replacement.file);
    return true;
}

std::optional<RunRecorder::EndedRun> RunRecorder::endRun() {
    const std::scoped_lock lock(mutex_);
    if (!file_) {
        return std::nullopt;
    }
    closeFileLocked();
    return EndedRun{path_, em1_.has_value()};
}

bool RunRecorder::saveAs(const std::filesystem::path& target, ExistingTarget existing,
                         const std::optional<FileState>& onlyOver) {
    const auto ended = endRun();
    if (!ended) {
        return false;
    }
    const auto& [source, em1] = *ended;
    TitledCopy copy(source, target);
    switch (copy.place(existing, onlyOver)) {
        case CopyResult::Ok: break;
        case CopyResult::CannotOpenSource:
        case CopyResult::TooLarge:
        case CopyResult::SourceChanged:
            prompter_.message(formatText("Error, unable to open file: %s", source.string().c_str()));
            return false;
        case CopyResult::TargetExists:
            // Taken since it was chosen (another run saved under that name).
            prompter_.message(formatText("Error, the file already exists: %s", target.string().c_str()));
            return false;
        case CopyResult::TargetBusy:
            prompter_.message(heldFileProblem(target));
            return false;
        case CopyResult::CannotCreateTarget:
        case CopyResult::WriteFailed:
            prompter_.message(formatText("Error, unable to create file: %s", target.string().c_str()));
            return false;
    }
    // The event merge runs on the saved copy only: a run kept in TEMP keeps
    // its marks where the detector saw them, so a rescue shifts them once.
    // The cleaner tells the user of each failure itself, and the saved copy
    // is whole either way.
    const auto leftOutBefore = cleaner_.rowsLeftOut();
    if (em1) {
        (void)(cleaner_.removeEm1Duplicates(target) && cleaner_.mergeEvents(target));
    } else {
        (void)cleaner_.removeDuplicates(target);
    }
    // The run file goes once the saved copy holds all of it; a row the
    // clean-up could not read keeps it in TEMP, where it was recorded.
    std::error_code error;
    if (!std::filesystem::equivalent(source, target, error) && cleaner_.rowsLeftOut() == leftOutBefore) {
        (void)removeIfUnchanged(source, copy.sourceState());
    }
    return true;
}

bool RunRecorder::close(bool deleteFile) {
    const auto ended = endRun();
    if (!ended) {
        return false;
    }
    const auto& [source, em1] = *ended;
    if (deleteFile) {
        std::error_code error;
        return std::filesystem::remove(source, error);
    }
    return em1 ? cleaner_.removeEm1Duplicates(source) : cleaner_.removeDuplicates(source);
}

bool RunRecorder::closeAsIs() {
    return endRun().has_value();
}

bool RunRecorder::saveBufferedData(const std::filesystem::path& target,
                                   const RunDescription& description,
                                   std::span<const double> absorbances) {
    std::optional<Em1RunWriter> em1;
    if (description.em1) {
        em1.emplace(*description.em1, runVolumePerMm(description));
    }
    auto out = openFile(target, "w");
    bool ok = out && writeAll(out.get(), headerText(target.filename().string(), description,
                                                    em1 ? &*em1 : nullptr));
    RowText row;
    for (std::size_t i = 0; ok && i < absorbances.size(); ++i) {
        formatBufferedRow(row, absorbances[i]);
        ok = writeAll(out.get(), row.view());
    }
    if (out) {
        ok = std::fflush(out.get()) == 0 && ok;
        ok = std::fclose(out.release()) == 0 && ok;
    }
    prompter_.message(ok ? formatText("Buffered data file: %s saved successfully.",
                                      target.string().c_str())
                         : std::string("Error saving buffered data."));
    return ok;
}

}  // namespace corvane
