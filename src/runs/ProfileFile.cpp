#include "runs/ProfileFile.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/FileHandle.h"
#include "base/TextFormat.h"
#include "runs/ProfileReaders.h"
#include "runs/ProfileText.h"
#include "runs/RunFileCopy.h"

namespace corvane {

namespace {

constexpr std::string_view kOurTitle = "Corvane Text Data File:";

std::string lowerExtension(const std::filesystem::path& name) {
    std::string ext = name.extension().string();
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

// A zip container (.xlsx, .ods) or an older binary workbook (.xls), by name
// or by its first bytes.
bool isSpreadsheet(std::string_view bytes, const std::string& ext) {
    for (const std::string_view known : {".xlsx", ".xlsm", ".xls", ".ods", ".numbers"}) {
        if (ext == known) return true;
    }
    return bytes.starts_with(std::string_view("PK\x03\x04", 4)) ||
           bytes.starts_with(std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
}

// What another instrument's file is, by extension and content: .pks, .asc
// or a plain table; nothing, with the reason, for a spreadsheet or bytes
// that are no text.
std::optional<ProfileFormat> otherFormat(std::string_view bytes, const std::string& ext, std::string& error) {
    if (isSpreadsheet(bytes, ext)) {
        error = std::string(kSpreadsheetRefusal);
        return std::nullopt;
    }
    const ProfileText decoded(bytes);
    if (!decoded.error().empty()) {
        error = decoded.error();
        return std::nullopt;
    }
    if (ext == ".pks" || (ext != ".asc" && looksLikePks(decoded.text()))) return ProfileFormat::Pks;
    if (ext == ".asc" || looksLikeAsc(decoded.text())) return ProfileFormat::Asc;
    return ProfileFormat::Table;
}

// Another instrument's profile. A .pks or .asc file holds one signal: the
// columns chosen are a plain table's and leave it alone.
ProfileFileResult otherInstrument(std::string_view bytes, const std::filesystem::path& fileName,
                                  const ProfileFileOptions& options) {
    ProfileFileResult result;
    const auto format = otherFormat(bytes, lowerExtension(fileName), result.error);
    if (!format) return result;
    switch (*format) {
        case ProfileFormat::Pks:
            result = readPksProfile(bytes);
            if (!result.profile) result.error = "not a .pks profile: " + result.error;
            break;
        case ProfileFormat::Asc:
            result = readAscProfile(bytes);
            if (!result.profile) result.error = "not an .asc profile: " + result.error;
            break;
        default:
            result = readTableProfile(bytes, options);
            if (!result.profile) result.error = "not a table profile: " + result.error;
            break;
    }
    if (result.profile) result.profile->name = fileName.filename().string();
    return result;
}

// Whether the bytes are a run file of ours (a file with our title line but
// no column header is one too, if a broken one).
bool isOurRun(std::string_view bytes) {
    RunDataFile run;
    return bytes.starts_with(kOurTitle) ||
           (RunDataFile::mayHoldColumnHeader(bytes) && run.parse(bytes) == RunDataFile::ReadStatus::Ok);
}

// Our run files first, exactly as RunDataFile tells them (the search only
// spares other files the parse).
void readBytesInto(std::string_view bytes, const std::filesystem::path& fileName, const ProfileFileOptions& options,
                   RunOrProfileFile& out) {
    if (RunDataFile::mayHoldColumnHeader(bytes) && out.run.parse(bytes) == RunDataFile::ReadStatus::Ok) {
        out.isRun = true;
        return;
    }
    if (bytes.starts_with(kOurTitle)) {
        out.error = std::string(kRunWithoutColumnHeader);
        return;
    }
    auto other = otherInstrument(bytes, fileName, options);
    out.profile = std::move(other.profile);
    out.error = std::move(other.error);
}

// Only a regular file, opened without waiting, read to its end up to the bound.
std::string readBytes(const std::filesystem::path& path, std::string& error) {
    switch (fileKindOf(path)) {
        case FileKind::Missing: error = std::string(kNoSuchFile); return {};
        case FileKind::Folder: error = "a folder, not a file"; return {};
        case FileKind::Other: error = "not a regular file (a device or a pipe): only regular files are read"; return {};
        case FileKind::Regular: break;
    }
    const FileHandle file = openRegularFile(path);
    const auto stamp = file ? stampOf(file.get()) : std::nullopt;
    if (!stamp) {
        error = std::string(kCannotRead);
        return {};
    }
    const auto tooLarge = [&] {
        error = formatText("larger than %ju MB: too large for a profile", kMaxRunFileBytes >> 20);
        return std::string();
    };
    const auto size = stamp->size;
    if (size > kMaxRunFileBytes) return tooLarge();
    // Read to the end, not to the size seen: a file still being written may have grown.
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    while (got == bytes.size() && !std::ferror(file.get())) {
        if (bytes.size() > kMaxRunFileBytes) return tooLarge();
        bytes.resize(bytes.size() + (1 << 16));
        got += std::fread(bytes.data() + got, 1, bytes.size() - got, file.get());
    }
    if (std::ferror(file.get())) {
        error = std::string(kCannotRead);
        return {};
    }
    bytes.resize(got);
    return bytes;
}

ProfileFileResult profileOf(RunOrProfileFile&& read, const std::filesystem::path& fileName, RunChannel channel) {
    if (!read.isRun) return {std::move(read.profile), std::move(read.error)};
    if (read.run.isExport()) return {std::nullopt, "an export file of several runs, not one profile"};
    return {profileFromRun(read.run, fileName.filename().string(), channel), {}};
}

}  // namespace

RunOrProfileFile readRunOrProfileFile(const std::filesystem::path& path, const ProfileFileOptions& options) {
    RunOrProfileFile out;
    const std::string bytes = readBytes(path, out.error);
    if (out.error.empty()) readBytesInto(bytes, path, options, out);
    return out;
}

ProfileFileResult profileFromBytes(std::string_view bytes, const std::filesystem::path& fileName,
                                   const ProfileFileOptions& options) {
    RunOrProfileFile read;
    readBytesInto(bytes, fileName, options, read);
    return profileOf(std::move(read), fileName, options.channel);
}

ProfileFileResult readProfileFile(const std::filesystem::path& path, const ProfileFileOptions& options) {
    return profileOf(readRunOrProfileFile(path, options), path, options.channel);
}

std::string readRunForViewing(const std::filesystem::path& path, RunDataFile& out,
                              const ProfileFileOptions& options) {
    RunOrProfileFile read = readRunOrProfileFile(path, options);
    if (read.isRun) {
        out = std::move(read.run);
        return {};
    }
    if (!read.profile) {
        return read.error.empty() ? std::string(kCannotRead) : std::move(read.error);
    }
    out = RunDataFile::fromProfile(std::move(*read.profile));
    return {};
}

std::optional<ProfileFormat> profileFormatOf(const std::filesystem::path& path) {
    std::string error;
    const std::string bytes = readBytes(path, error);
    if (!error.empty()) return std::nullopt;
    if (isOurRun(bytes)) return ProfileFormat::Corvane;
    return otherFormat(bytes, lowerExtension(path), error);
}

std::optional<std::vector<std::string>> tableColumnsOf(const std::filesystem::path& path) {
    std::string error;
    const std::string bytes = readBytes(path, error);
    if (!error.empty() || isOurRun(bytes) || otherFormat(bytes, lowerExtension(path), error) != ProfileFormat::Table) {
        return std::nullopt;
    }
    auto columns = tableColumnNames(bytes);
    if (!columns.error.empty()) return std::nullopt;
    return std::move(columns.names);
}

std::string profileRefusalMessage(const std::filesystem::path& path, const Profile& profile, std::string_view what) {
    return formatText("Error, %s is a profile of another instrument (%s): profiles are read-only, and %.*s takes only "
                      "run files of ours.",
                      path.string().c_str(), profileFormatName(profile.format), static_cast<int>(what.size()),
                      what.data());
}

}  // namespace corvane
