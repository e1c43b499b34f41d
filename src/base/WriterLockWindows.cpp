// The writer's lock on Windows: win32::claimForWriting (Win32Files.h), a
// LockFileEx lock on one byte far beyond the file's end.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "base/Win32Files.h"
#include "base/WriterLock.h"
#include "base/WriterLockSteps.h"

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

namespace writerlock {

Attempt tryLock(const std::filesystem::path& path, int& fd) {
    auto handle = win32::openShared(path, GENERIC_READ, OPEN_EXISTING);
    if (!handle.valid() || !win32::isRegularFile(handle.get())) {
        return Attempt::NothingToLock;
    }
    if (win32::claimForWriting(handle.get())) {
        const auto named = win32::openShared(path, 0, OPEN_EXISTING);
        if (!named.valid() || !win32::sameFile(named.get(), handle.get())) {
            return Attempt::Replaced;
        }
        fd = win32::descriptorOf(std::move(handle), _O_RDONLY);
        return fd >= 0 ? Attempt::Locked : Attempt::NothingToLock;
    }
    // A file system without such locks: nobody can hold it.
    return errno == EWOULDBLOCK ? Attempt::HeldElsewhere : Attempt::NothingToLock;
}

void closeDescriptor(int fd) { ::_close(fd); }

}  // namespace writerlock

}  // namespace corvane
