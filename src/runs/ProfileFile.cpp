#include "runs/ProfileFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "base/FileHandle.h"
#include "base/TextFormat.h"
#include "runs/ProfileReaders.h"
#include "runs/ProfileText.h"
#include "runs/RunDataFile.h"
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

ProfileFileResult refused(std::string text) { return {std::nullopt, std::move(text)}; }

// Our run files, exactly as RunDataFile tells them; nothing when the bytes are not ours.
std::optional<ProfileFileResult> ourRun(std::string_view bytes, const std::string& name, RunChannel channel) {
    if (RunDataFile::mayHoldColumnHeader(bytes)) {
        RunDataFile run;
        if (run.parse(bytes) == RunDataFile::ReadStatus::Ok) {
            if (run.isExport()) return refused("an export file of several runs, not one profile");
            return ProfileFileResult{profileFromRun(run, name, channel), {}};
        }
    }
    if (bytes.starts_with(kOurTitle)) return refused(std::string(kRunWithoutColumnHeader));
    return std::nullopt;
}

}  // namespace

ProfileFileResult profileFromBytes(std::string_view bytes, const std::filesystem::path& fileName,
                                   const ProfileFileOptions& options) {
    const std::string name = fileName.filename().string();
    if (auto run = ourRun(bytes, name, options.channel)) return std::move(*run);
    const std::string ext = lowerExtension(fileName);
    if (isSpreadsheet(bytes, ext)) return refused(std::string(kSpreadsheetRefusal));
    const ProfileText decoded(bytes);
    if (!decoded.error().empty()) return refused(decoded.error());

    ProfileFileResult result;
    const bool pks = ext == ".pks" || (ext != ".asc" && looksLikePks(decoded.text()));
    const bool asc = !pks && (ext == ".asc" || looksLikeAsc(decoded.text()));
    if (pks || asc) {
        if (!options.xColumn.empty() || !options.yColumn.empty()) {
            return refused(formatText("a .%s file holds one signal: columns are chosen only in plain tables",
                                      pks ? "pks" : "asc"));
        }
        result = pks ? readPksProfile(bytes) : readAscProfile(bytes);
        if (!result.profile) result.error = (pks ? "not a .pks profile: " : "not an .asc profile: ") + result.error;
    } else {
        result = readTableProfile(bytes, options);
        if (!result.profile) result.error = "not a table profile: " + result.error;
    }
    if (result.profile) result.profile->name = name;
    return result;
}

ProfileFileResult readProfileFile(const std::filesystem::path& path, const ProfileFileOptions& options) {
    switch (fileKindOf(path)) {
        case FileKind::Missing: return refused("no such file");
        case FileKind::Folder: return refused("a folder, not a file");
        case FileKind::Other: return refused("not a regular file (a device or a pipe): only regular files are read");
        case FileKind::Regular: break;
    }
    const FileHandle file = openRegularFile(path);
    struct stat info {};
    if (!file || ::fstat(::fileno(file.get()), &info) != 0) return refused("cannot be opened");
    const auto tooLarge = [] {
        return refused(formatText("larger than %ju MB: too large for a profile", kMaxRunFileBytes >> 20));
    };
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxRunFileBytes) return tooLarge();
    // Read to the end, not to the size seen: a file still being written may
    // have grown, and its bytes are read only up to the bound.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::array<char, 1 << 16> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0) {
        if (bytes.size() + got > kMaxRunFileBytes) return tooLarge();
        bytes.append(chunk.data(), got);
    }
    if (std::ferror(file.get())) return refused("cannot be read");
    return profileFromBytes(bytes, path, options);
}

}  // namespace corvane
