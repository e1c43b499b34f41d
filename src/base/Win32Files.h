#pragma once

// The Windows side of the file helpers (built on Windows only): files are
// opened through CreateFileW with every share mode, so that, as on POSIX, a
// file another process holds open can still be renamed over or removed, and
// handed to the C runtime as descriptors and streams.

#include <windows.h>

#include <cstdio>
#include <filesystem>

namespace corvane::win32 {

// A HANDLE that closes itself.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(other.release()) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.release();
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    [[nodiscard]] HANDLE get() const { return handle_; }
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    // Closes now; false when the close failed.
    bool reset() {
        const bool ok = !valid() || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// CreateFileW with every share mode; errno is set from the system's error on failure.
[[nodiscard]] Handle openShared(const std::filesystem::path& path, DWORD access, DWORD disposition,
                                DWORD flags = FILE_ATTRIBUTE_NORMAL);

// Whether the handle is a regular file (on a disk, not a folder).
[[nodiscard]] bool isRegularFile(HANDLE handle);

// The C runtime's descriptor for handle (which it then owns), or -1. flags
// are _O_RDONLY, _O_APPEND, _O_TEXT, _O_BINARY as for _open_osfhandle.
[[nodiscard]] int descriptorOf(Handle handle, int flags);

// errno for a system error code, for callers that test errno as on POSIX.
int errnoFor(DWORD error);
// Sets errno from GetLastError().
void setErrnoFromLastError();

// The writer's lock of WriterLock.h on an open file; false with errno
// EWOULDBLOCK when another handle holds it. A lock of LockFileEx is mandatory
// for the bytes it covers, so it is taken on one byte far beyond any file's
// end: readers are never blocked, and the system drops the lock with the
// handle, as POSIX drops an flock with its descriptor.
[[nodiscard]] bool claimForWriting(HANDLE handle);

// Whether two handles stand for the same file (volume and file index).
[[nodiscard]] bool sameFile(HANDLE a, HANDLE b);

}  // namespace corvane::win32
