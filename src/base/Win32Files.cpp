#include "base/Win32Files.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace corvane::win32 {

Handle openShared(const std::filesystem::path& path, DWORD access, DWORD disposition, DWORD flags) {
    Handle handle(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, disposition, flags, nullptr));
    if (!handle.valid()) {
        setErrnoFromLastError();
    }
    return handle;
}

bool isRegularFile(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(handle) == FILE_TYPE_DISK && ::GetFileInformationByHandle(handle, &info) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int descriptorOf(Handle handle, int flags) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), flags);
    if (fd >= 0) {
        (void)handle.release();
    }
    return fd;
}

int errnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE: return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return EBUSY;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_NOT_SAME_DEVICE: return EXDEV;
        case ERROR_DIRECTORY: return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_PARAMETER: return EINVAL;
        default: return EIO;
    }
}

void setErrnoFromLastError() { errno = errnoFor(::GetLastError()); }

bool claimForWriting(HANDLE handle) {
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;  // 2^62: beyond any file, within what every file system locks
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0) {
        return true;
    }
    const DWORD why = ::GetLastError();
    errno = why == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : errnoFor(why);
    return false;
}

bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return ::GetFileInformationByHandle(a, &first) != 0 && ::GetFileInformationByHandle(b, &second) != 0 &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace corvane::win32
