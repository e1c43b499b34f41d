#pragma once

// The system's own steps of the rewrite lock (EditLock, WriterLock.h), one
// file of them per system; the waiting, the refusal and the ownership of the
// descriptor are one code for both (EditLock.cpp).

#include <filesystem>

namespace corvane::writerlock {

enum class Attempt {
    Locked,         // fd holds the lock on the file path names now
    NothingToLock,  // missing, not a regular file, or a file system without such locks
    HeldElsewhere,  // another descriptor holds it: wait and try again
    Replaced,       // locked a file that lost the name meanwhile: try the new one
};

// One try at the writer's lock on the file path names; fd is set only when Locked.
[[nodiscard]] Attempt tryLock(const std::filesystem::path& path, int& fd);
void closeDescriptor(int fd);

}  // namespace corvane::writerlock
