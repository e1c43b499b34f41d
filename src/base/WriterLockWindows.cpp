// The writer's lock on Windows: win32::claimForWriting (Win32Files.h), a
// LockFileEx lock on one byte far beyond the file's end.
#include <io.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "base/Win32Files.h"
#include "base/WriterLock.h"

namespace corvane {
namespace {

// The CRT descriptor's handle, or INVALID_HANDLE_VALUE.
HANDLE handleOf(int fd) { return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// Whether the file is empty or begins with start.
bool beginsWith(HANDLE handle, std::string_view start) {
    std::string head(start.size(), '\0');
    DWORD got = 0;
    OVERLAPPED at{};
    if (!head.empty() && ::ReadFile(handle, head.data(), static_cast<DWORD>(head.size()), &got, &at) == 0) {
        got = 0;
    }
    return got == 0 || (got == head.size() && head == start);
}

// Seconds since the last write to the file.
std::int64_t secondsSinceWritten(HANDLE handle) {
    FILETIME written{};
    FILETIME now{};
    if (::GetFileTime(handle, nullptr, nullptr, &written) == 0) {
        return 0;
    }
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (ticks(now) - ticks(written)) / 10000000;
}

}  // namespace

bool claimForWriting(int fd) {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    return win32::claimForWriting(handle);
}

bool claimForWriting(std::FILE* file) { return file != nullptr && claimForWriting(::_fileno(file)); }

bool isBeingWritten(const std::filesystem::path& path) {
    const auto handle = win32::openShared(path, GENERIC_READ, OPEN_EXISTING);
    if (!handle.valid()) {
        return false;
    }
    // The test lock goes with the handle, closed on return.
    return !win32::claimForWriting(handle.get()) && errno == EWOULDBLOCK;
}

bool removeIfAbandoned(const std::filesystem::path& path, std::string_view expectedStart) {
    // Opened with the right to delete and deleted through the handle: the file
    // removed is the one looked at, whatever was renamed in meanwhile.
    const auto handle = win32::openShared(path, GENERIC_READ | DELETE, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle.valid() || !win32::isRegularFile(handle.get()) ||
        ::GetFileInformationByHandle(handle.get(), &info) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !win32::claimForWriting(handle.get())) {
        return false;
    }
    if (secondsSinceWritten(handle.get()) < kLeftoverAgeSeconds || !beginsWith(handle.get(), expectedStart)) {
        return false;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(handle.get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

EditLock::EditLock(const std::filesystem::path& path, int maxWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
    for (;;) {
        auto handle = win32::openShared(path, GENERIC_READ, OPEN_EXISTING);
        if (!handle.valid() || !win32::isRegularFile(handle.get())) {
            return;
        }
        if (win32::claimForWriting(handle.get())) {
            const auto named = win32::openShared(path, 0, OPEN_EXISTING);
            if (named.valid() && win32::sameFile(named.get(), handle.get())) {
                fd_ = win32::descriptorOf(std::move(handle), 0);
                return;
            }
            continue;  // replaced while we waited: lock the new file
        }
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

EditLock::~EditLock() {
    if (fd_ >= 0) ::_close(fd_);
}

EditLock::EditLock(EditLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

EditLock& EditLock::operator=(EditLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::_close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

}  // namespace corvane
