#include "runs/RunFileCopy.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "app/FileReplace.h"
#include "base/TextFormat.h"
#include "base/WriterLock.h"

namespace corvane {
namespace {

constexpr std::size_t kCopyChunk = 1 << 16;
constexpr int kSiblingAttempts = 100;
// What file systems allow for one name and for a whole path.
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxPathBytes = 4095;

std::string titleLine(const std::filesystem::path& target) {
    return formatText(kRunFileTitle, target.filename().string().c_str());
}

// Skips the first line of in and gives its line end (LF, CR LF or CR), so
// the new title line ends the way the file's lines do.
bool skipFirstLine(std::FILE* in, const char*& lineEnd) {
    lineEnd = "\n";
    int c = 0;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') {
            return true;
        }
        if (c == '\r') {
            const int next = std::fgetc(in);
            if (next == '\n') {
                lineEnd = "\r\n";
                return true;
            }
            if (next != EOF) {
                std::ungetc(next, in);
            }
            lineEnd = "\r";
            return true;
        }
    }
    return std::ferror(in) == 0;
}

// Copies the rest of in to out byte for byte, at most limit bytes. A last
// line without its line end stays so: it is the row a stopped recording was
// writing, which the clean-up passes know by that and leave out.
CopyResult copyRest(std::FILE* in, std::FILE* out, std::uintmax_t limit) {
    std::vector<char> chunk(kCopyChunk);
    std::uintmax_t copied = 0;
    for (;;) {
        const auto got = std::fread(chunk.data(), 1, chunk.size(), in);
        if (got == 0) {
            break;
        }
        copied += got;
        if (copied > limit) {
            return CopyResult::TooLarge;
        }
        if (std::fwrite(chunk.data(), 1, got, out) != got) {
            return CopyResult::WriteFailed;
        }
    }
    if (std::ferror(in) != 0) {
        return CopyResult::CannotOpenSource;
    }
    return CopyResult::Ok;
}

bool sameState(const std::optional<FileStamp>& a, const std::optional<FileStamp>& b) {
    return a && b && *a == *b;
}

}  // namespace

std::string savedNameProblem(const std::filesystem::path& target) {
    std::error_code error;
    const auto whole = std::filesystem::absolute(target, error).string();
    if (target.filename().string().size() + kPartSuffixBytes > kMaxNameBytes) {
        return formatText("Error, the file name is too long (at most %zu bytes): %s",
                          kMaxNameBytes - kPartSuffixBytes, target.string().c_str());
    }
    if (whole.size() + kPartSuffixBytes > kMaxPathBytes) {
        return formatText("Error, the path is too long (at most %zu bytes with its folders): %s",
                          kMaxPathBytes - kPartSuffixBytes, target.string().c_str());
    }
    return {};
}

std::filesystem::path numberedName(const std::filesystem::path& file, int number) {
    auto numbered = file;
    numbered.replace_filename(file.stem().string() + formatText("-%d", number) +
                              file.extension().string());
    return numbered;
}

FileHandle createNewFile(const std::filesystem::path& path, const char* mode) {
    // "x": created here or not at all, never someone's existing file.
    return openFile(path, std::string(mode).append("xe").c_str());
}

CreatedFile createNumberedFile(const std::filesystem::path& path, const char* mode) {
    CreatedFile created;
    for (int number = 1; number <= kMaxNumberedName; ++number) {
        created.path = number == 1 ? path : numberedName(path, number);
        created.file = createNewFile(created.path, mode);
        if (created.file || errno != EEXIST) {
            break;
        }
    }
    return created;
}

CreatedFile createSiblingFile(const std::filesystem::path& path) {
    const auto expected = titleLine(path);
    for (int i = 0; i < kSiblingAttempts; ++i) {
        auto candidate = path;
        candidate += i == 0 ? std::string(".part") : formatText(".part%d", i);
        // A copy left by a killed process: empty, or starting with the title
        // line that names this target.
        removeIfAbandoned(candidate, expected);
        if (auto file = createNewFile(candidate, "wb")) {
            (void)claimForWriting(file.get());
            return {candidate, std::move(file)};
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

TitledCopy::TitledCopy(const std::filesystem::path& source, const std::filesystem::path& target)
    : target_(target) {
    const auto in = openRegularFile(source);
    const auto before = in ? stampOf(in.get()) : std::nullopt;
    if (!before) {
        result_ = CopyResult::CannotOpenSource;
        return;
    }
    if (before->size > kMaxRunFileBytes) {
        result_ = CopyResult::TooLarge;
        return;
    }
    auto created = createSiblingFile(target);
    if (created.path.empty()) {
        result_ = CopyResult::CannotCreateTarget;
        return;
    }
    partial_ = created.path;
    held_ = std::move(created.file);
    std::FILE* out = held_.get();
    const char* lineEnd = "\n";
    if (!skipFirstLine(in.get(), lineEnd)) {
        result_ = CopyResult::CannotOpenSource;
        return;
    }
    const auto title = titleLine(target);
    if (std::fputs(title.c_str(), out) == EOF || std::fputs(lineEnd, out) == EOF) {
        result_ = CopyResult::WriteFailed;
        return;
    }
    result_ = copyRest(in.get(), out, kMaxRunFileBytes);
    // The copy reaches the disk before anybody may delete the source.
    if (result_ == CopyResult::Ok &&
        !syncToDisk(out)) {
        result_ = CopyResult::WriteFailed;
    }
    if (result_ == CopyResult::Ok && !sameState(before, stampOf(in.get()))) {
        result_ = CopyResult::SourceChanged;
    }
    source_ = fileStateOf(::fileno(in.get()));
}

TitledCopy::~TitledCopy() {
    held_.reset();
    if (!partial_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(partial_, ignored);
    }
}

void TitledCopy::release() { held_.reset(); }

void TitledCopy::claimAgain() {
    if (result_ == CopyResult::Ok) {
        held_ = openRegularFile(partial_);
        (void)claimForWriting(held_.get());
    }
}

CopyResult TitledCopy::place(ExistingTarget existing, const std::optional<FileState>& onlyOver) {
    if (result_ != CopyResult::Ok) {
        return result_;
    }
    std::error_code error;
    bool placed = false;
    if (existing == ExistingTarget::Keep) {
        placed = placeNewFile(partial_, target_, error);
    } else {
        const EditLock lock(target_);
        if (lock.refused()) {
            return result_ = CopyResult::TargetBusy;
        }
        if (onlyOver) {
            const FileHandle there = openRegularFile(target_);
            const FileState now = fileStateOf(there ? ::fileno(there.get()) : -1);
            std::error_code missing;
            if (!there && !std::filesystem::exists(std::filesystem::symlink_status(target_, missing))) {
                placed = placeNewFile(partial_, target_, error);
            } else if (!there || !now.sameAs(*onlyOver)) {
                return result_ = CopyResult::TargetExists;
            } else {
                placed = replaceFileWith(target_, partial_, error);
            }
        } else {
            placed = replaceFileWith(target_, partial_, error);
        }
    }
    held_.reset();
    if (!placed) {
        result_ = error == std::errc::file_exists ? CopyResult::TargetExists
                                                  : CopyResult::CannotCreateTarget;
        return result_;
    }
    partial_.clear();
    return CopyResult::Ok;
}

CopyResult copyWithTitle(const std::filesystem::path& source, const std::filesystem::path& target,
                         ExistingTarget existing) {
    TitledCopy copy(source, target);
    return copy.place(existing);
}

}  // namespace corvane
