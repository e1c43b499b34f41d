#include "base/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

FileHandle openFile(const std::filesystem::path& path, const char* mode) {
    return FileHandle(std::fopen(path.c_str(), mode));
}

FileKind fileKindOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return FileKind::Missing;
    }
    if (S_ISREG(info.st_mode)) return FileKind::Regular;
    if (S_ISDIR(info.st_mode)) return FileKind::Folder;
    return FileKind::Other;
}

FileHandle openRegularFile(const std::filesystem::path& path) {
    // O_NONBLOCK: a pipe opens at once instead of waiting for its writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    FileHandle file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
    }
    return file;
}

bool canCreateFilesIn(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool syncToDisk(std::FILE* file) {
    return file != nullptr && std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
}

std::optional<FileStamp> stampOf(std::FILE* file) {
    struct stat info {};
    if (file == nullptr || ::fstat(::fileno(file), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{static_cast<std::uintmax_t>(info.st_size),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace corvane
