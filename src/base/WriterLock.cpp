#include "base/WriterLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>

namespace corvane {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

// Whether the file is empty or begins with start.
bool beginsWith(int fd, std::string_view start) {
    std::string head(start.size(), '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const auto n = ::pread(fd, head.data() + got, head.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return got == 0 || (got == head.size() && head == start);
}

}  // namespace

bool claimForWriting(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool claimForWriting(std::FILE* file) { return file != nullptr && claimForWriting(::fileno(file)); }

bool isBeingWritten(const std::filesystem::path& path) {
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    // The test lock taken here goes with fd. Only a lock held elsewhere
    // counts: a file system without locks (or one that wants a writable
    // descriptor for them) says nothing about writers.
    return !claimForWriting(fd.get()) && errno == EWOULDBLOCK;
}

bool removeIfAbandoned(const std::filesystem::path& path, std::string_view expectedStart) {
    const Descriptor fd(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        !claimForWriting(fd.get())) {
        return false;
    }
    if (std::time(nullptr) - opened.st_mtime < kLeftoverAgeSeconds ||
        !beginsWith(fd.get(), expectedStart)) {
        return false;
    }
    // Still the same file under that name (nobody swapped another in).
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

EditLock::EditLock(const std::filesystem::path& path, int maxWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat opened {};
        if (fd < 0 || ::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            if (fd >= 0) ::close(fd);
            return;
        }
        if (claimForWriting(fd)) {
            struct stat named {};
            if (::stat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
                named.st_ino == opened.st_ino) {
                fd_ = fd;
                return;
            }
            ::close(fd);  // replaced while we waited: lock the new file
            continue;
        }
        const bool heldElsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        if (!heldElsewhere) {
            return;  // a file system without such locks: nobody can hold it
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            refused_ = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

EditLock::~EditLock() {
    if (fd_ >= 0) ::close(fd_);
}

EditLock::EditLock(EditLock&& other) noexcept : fd_(other.fd_), refused_(other.refused_) {
    other.fd_ = -1;
    other.refused_ = false;
}

EditLock& EditLock::operator=(EditLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        refused_ = other.refused_;
        other.fd_ = -1;
        other.refused_ = false;
    }
    return *this;
}

}  // namespace corvane
