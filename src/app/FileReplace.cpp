#include "app/FileReplace.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/FileReplaceRules.h"
#include "base/TextFormat.h"
#include "base/WriterLock.h"

namespace corvane {

using namespace replacing;

namespace {

bool isBusy(int error) {
    return error == EINTR || error == EAGAIN || error == EBUSY || error == ETXTBSY ||
           error == EMFILE || error == ENFILE;
}

template <class Open>
int openRetryingWhileBusy(Open open) {
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
        const int fd = open();
        if (fd >= 0 || !isBusy(errno)) {
            return fd;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (the last chance for
    // a deferred write error to show).
    bool reset() {
        const bool ok = fd_ < 0 || ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }
    void adopt(int fd) {
        reset();
        fd_ = fd;
    }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file a rewrite of path lands on, and what it was like.
struct Target {
    std::filesystem::path file;
    bool exists = false;
    struct stat info {};
    Refusal refusal = Refusal::None;
};

Target targetOf(const std::filesystem::path& path) {
    Target target;
    target.file = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        if (errno != ENOENT) {
            target.refusal = Refusal::Unreachable;
        }
        return target;
    }
    if (S_ISLNK(link.st_mode)) {
        std::error_code error;
        target.file = std::filesystem::canonical(path, error);
        if (error) {
            target.refusal = Refusal::LinkToNothing;
            return target;
        }
    }
    if (::stat(target.file.c_str(), &target.info) != 0) {
        target.refusal = Refusal::Unreachable;
        return target;
    }
    target.exists = true;
    if (!S_ISREG(target.info.st_mode)) {
        target.refusal = Refusal::NotRegular;
    } else if ((target.info.st_mode & 0222) == 0 || ::access(target.file.c_str(), W_OK) != 0) {
        // The mode bits count even for a user the system lets write anyway.
        target.refusal = Refusal::ReadOnly;
    }
    return target;
}

// A new hidden sibling of file, open for writing and locked as being written.
struct Sibling {
    std::string path;
    Descriptor fd{-1};
};

bool createSibling(const std::filesystem::path& file, Sibling& sibling) {
    removeLeftoverSiblings(file);
    sibling.path = (folderOf(file) / (siblingPrefix(file) + "XXXXXX")).string();
    sibling.fd.adopt(
        openRetryingWhileBusy([&] { return ::mkostemp(sibling.path.data(), O_CLOEXEC); }));
    if (!sibling.fd.valid()) {
        return false;
    }
    // Taken before anything is written: while it is held no clean-up removes
    // the file, and after the last write its fresh time protects it.
    (void)claimForWriting(sibling.fd.get());
    return true;
}

// The old file's permissions and owner for its replacement.
bool takeOver(int fd, const Target& target) {
    if (!target.exists) {
        return ::fchmod(fd, 0644) == 0;
    }
    // Only root can give a file away; for everybody else it stays theirs.
    (void)!::fchown(fd, target.info.st_uid, target.info.st_gid);
    return ::fchmod(fd, target.info.st_mode & 07777) == 0;
}

void syncFolder(const std::filesystem::path& file) {
    // The rename itself reaches the disk with the folder's own entry.
    Descriptor dir(::open(folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

bool copyAll(int from, int to) {
    char chunk[65536];
    for (;;) {
        const auto n = ::read(from, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        if (!writeAll(to, {chunk, static_cast<std::size_t>(n)})) {
            return false;
        }
    }
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    // O_NONBLOCK: a pipe opens at once (and is then refused) instead of
    // waiting for a writer that may never come.
    Descriptor fd(openRetryingWhileBusy(
        [&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[16384];
    for (;;) {
        const auto n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            return std::nullopt;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string replaceProblem(const std::filesystem::path& path) {
    return refusalText(targetOf(path).refusal, path);
}

bool replaceFile(const std::filesystem::path& path, std::string_view bytes) {
    const Target target = targetOf(path);
    Sibling sibling;
    if (target.refusal != Refusal::None || !createSibling(target.file, sibling)) {
        return false;
    }
    const bool written =
        takeOver(sibling.fd.get(), target) && writeAll(sibling.fd.get(), bytes) &&
        ::fsync(sibling.fd.get()) == 0;
    if (!sibling.fd.reset() || !written || ::rename(sibling.path.c_str(), target.file.c_str()) != 0) {
        ::unlink(sibling.path.c_str());
        return false;
    }
    syncFolder(target.file);
    return true;
}

bool replaceFileWith(const std::filesystem::path& path, const std::filesystem::path& replacement,
                     std::error_code& error) {
    const Target target = targetOf(path);
    error = errorFor(target.refusal);
    if (error) {
        return false;
    }
    Descriptor from(::open(replacement.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!from.valid() || !takeOver(from.get(), target) || ::fsync(from.get()) != 0) {
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    if (::rename(replacement.c_str(), target.file.c_str()) == 0) {
        syncFolder(target.file);
        return true;
    }
    if (errno != EXDEV) {
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    // Different file systems: a sibling of the target first, then the rename.
    Sibling sibling;
    if (!createSibling(target.file, sibling)) {
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    const bool written = takeOver(sibling.fd.get(), target) && copyAll(from.get(), sibling.fd.get()) &&
                         ::fsync(sibling.fd.get()) == 0;
    if (!sibling.fd.reset() || !written || ::rename(sibling.path.c_str(), target.file.c_str()) != 0) {
        error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
        ::unlink(sibling.path.c_str());
        return false;
    }
    ::unlink(replacement.c_str());
    syncFolder(target.file);
    return true;
}

Replacement createReplacement(const std::filesystem::path& path) {
    const Target target = targetOf(path);
    errno = 0;
    Sibling sibling;
    if (target.refusal != Refusal::None || !createSibling(target.file, sibling)) {
        return {};
    }
    FileHandle file(::fdopen(sibling.fd.get(), "w"));
    if (!file) {
        ::unlink(sibling.path.c_str());
        return {};
    }
    (void)sibling.fd.release();
    return {sibling.path, std::move(file)};
}

std::string heldFileProblem(const std::filesystem::path& path) {
    return formatText("Error, the file is being written by another program (a run being recorded, or "
                      "another change to it); it was not changed: %s",
                      path.c_str());
}

bool placeWorkFile(const std::filesystem::path& path, const std::filesystem::path& work, ExistingTarget existing,
                   std::error_code& error) {
    error.clear();
    if (existing == ExistingTarget::Keep) {
        // A new file gets the mode a replacement of a missing file gets.
        if (::chmod(work.c_str(), 0644) != 0) {
            error = std::error_code(errno, std::generic_category());
            return false;
        }
        return placeNewFile(work, path, error);
    }
    const EditLock lock(path);
    if (lock.refused()) {
        error = std::make_error_code(std::errc::device_or_resource_busy);
        return false;
    }
    return replaceFileWith(path, work, error);
}

bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes, ExistingTarget existing,
                    std::error_code& error) {
    error.clear();
    auto work = createReplacement(path);
    if (!work.file) {
        const auto refusal = errorFor(targetOf(path).refusal);
        error = refusal ? refusal : std::error_code(errno != 0 ? errno : EIO, std::generic_category());
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), work.file.get()) == bytes.size() &&
                         std::fflush(work.file.get()) == 0 && ::fsync(::fileno(work.file.get())) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(work.file.release()) == 0;
    if (!written || !closed) {
        error = std::error_code(writeError != 0 ? writeError : EIO, std::generic_category());
    } else if (placeWorkFile(path, work.path, existing, error)) {
        return true;
    }
    ::unlink(work.path.c_str());
    return false;
}

bool FileState::sameAs(const FileState& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

FileState fileStateOf(int fd) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        return {};
    }
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

bool removeIfUnchanged(const std::filesystem::path& path, const FileState& state) {
    // Under the rewrite lock: nobody who takes it turns can change the file
    // between this look and the unlink. A writer that takes no lock is
    // caught by the look itself, unless it writes in that very moment.
    const EditLock lock(path, 0);
    if (lock.refused()) {
        return false;
    }
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid() || !fileStateOf(fd.get()).sameAs(state)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

bool placeNewFile(const std::filesystem::path& from, const std::filesystem::path& to,
                  std::error_code& error) {
    error.clear();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        syncFolder(to);
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    // A file system without the no-replace rename: a hard link cannot
    // replace either.
    if (::link(from.c_str(), to.c_str()) != 0) {
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    ::unlink(from.c_str());
    syncFolder(to);
    return true;
}

}  // namespace corvane
