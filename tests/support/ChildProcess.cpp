#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvane::test {

namespace {

std::string readToEnd(int fd) {
    std::string text;
    char chunk[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    // Close-on-exec pipes: no other child inherits these ends, so each
    // child's output ends exactly when that child does.
    std::vector<char*> args;
    for (auto& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
}

ChildProcess::~ChildProcess() {
    kill();
    if (out_ >= 0) {
        ::close(out_);
    }
    if (err_ >= 0) {
        ::close(err_);
    }
}

std::string ChildProcess::readLine() {
    std::string line;
    char c = 0;
    while (::read(out_, &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    return line;
}

std::string ChildProcess::readOutput() { return readToEnd(out_); }
std::string ChildProcess::readErrors() { return readToEnd(err_); }

std::string ChildProcess::readErrorsUntil(std::string_view text) {
    std::string read;
    char c = 0;
    while (read.find(text) == std::string::npos && ::read(err_, &c, 1) == 1) {
        read.push_back(c);
    }
    return read;
}

int ChildProcess::wait() {
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    const pid_t ended = ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
}

void ChildProcess::interrupt() {
    if (pid_ > 0) {
        ::kill(pid_, SIGINT);
    }
}

void ChildProcess::suspend() {
    if (pid_ > 0) {
        ::kill(pid_, SIGSTOP);
    }
}

void ChildProcess::resume() {
    if (pid_ > 0) {
        ::kill(pid_, SIGCONT);
    }
}

Finished runToEnd(std::vector<std::string> argv) {
    ChildProcess child(std::move(argv));
    Finished finished;
    finished.out = child.readOutput();
    finished.err = child.readErrors();
    finished.exitCode = child.wait();
    return finished;
}

}  // namespace corvane::test
