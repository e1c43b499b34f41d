// The file handles on Windows: CreateFileW with every share mode (see
// Win32Files.h), handed to the C runtime as streams.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <string_view>

#include "base/FileHandle.h"
#include "base/Win32Files.h"

namespace corvane {

FileHandle openFile(const std::filesystem::path& path, const char* mode) {
    const std::string_view text(mode);
    const bool plus = text.find('+') != std::string_view::npos;
    const bool binary = text.find('b') != std::string_view::npos;
    const bool exclusive = text.find('x') != std::string_view::npos;
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    int flags = binary ? _O_BINARY : _O_TEXT;
    std::string crtMode;
    switch (text.empty() ? 'r' : text.front()) {
        case 'r':
            access = plus ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
            flags |= plus ? _O_RDWR : _O_RDONLY;
            crtMode = plus ? "r+" : "r";
            break;
        case 'w':
            access = plus ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
            disposition = exclusive ? CREATE_NEW : CREATE_ALWAYS;
            flags |= plus ? _O_RDWR : _O_WRONLY;
            crtMode = plus ? "w+" : "w";
            break;
        case 'a':
            access = plus ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
            disposition = exclusive ? CREATE_NEW : OPEN_ALWAYS;
            flags |= (plus ? _O_RDWR : _O_WRONLY) | _O_APPEND;
            crtMode = plus ? "a+" : "a";
            break;
        default: errno = EINVAL; return nullptr;
    }
    crtMode += binary ? "b" : "t";
    auto handle = win32::openShared(path, access, disposition);
    if (!handle.valid()) {
        return nullptr;
    }
    const int fd = win32::descriptorOf(std::move(handle), flags);
    if (fd < 0) {
        return nullptr;
    }
    FileHandle file(::_fdopen(fd, crtMode.c_str()));
    if (!file) {
        ::_close(fd);
    }
    return file;
}

FileKind fileKindOf(const std::filesystem::path& path) {
    // No access asked for: a device or a pipe is looked at, never opened for reading.
    const auto handle = win32::openShared(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (!handle.valid()) {
        return FileKind::Missing;
    }
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
        return FileKind::Other;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle.get(), &info) == 0) {
        return FileKind::Other;
    }
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder : FileKind::Regular;
}

FileHandle openRegularFile(const std::filesystem::path& path) {
    auto handle = win32::openShared(path, GENERIC_READ, OPEN_EXISTING);
    if (!handle.valid() || !win32::isRegularFile(handle.get())) {
        return nullptr;
    }
    const int fd = win32::descriptorOf(std::move(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        return nullptr;
    }
    FileHandle file(::_fdopen(fd, "rb"));
    if (!file) {
        ::_close(fd);
    }
    return file;
}

bool canCreateFilesIn(const std::filesystem::path& folder) {
    wchar_t name[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(folder.c_str(), L"cv", 0, name) == 0) {
        return false;
    }
    ::DeleteFileW(name);
    return true;
}

bool syncToDisk(std::FILE* file) {
    return file != nullptr && std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0;
}

std::optional<FileStamp> stampOf(std::FILE* file) {
    if (file == nullptr) {
        return std::nullopt;
    }
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    LARGE_INTEGER size{};
    FILETIME written{};
    if (handle == INVALID_HANDLE_VALUE || ::GetFileSizeEx(handle, &size) == 0 ||
        ::GetFileTime(handle, nullptr, nullptr, &written) == 0) {
        return std::nullopt;
    }
    // FILETIME counts 100 ns steps.
    const auto ticks = (static_cast<std::int64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return FileStamp{static_cast<std::uintmax_t>(size.QuadPart), ticks * 100};
}

}  // namespace corvane
