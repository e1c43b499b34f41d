#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace corvane::test {

// Another program run by a test, its standard output and error on pipes.
// A child still running when the object goes is killed (SIGKILL) and reaped.
class ChildProcess {
public:
    // argv[0] is the program's path.
    explicit ChildProcess(std::vector<std::string> argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const { return pid_ > 0; }
    // Standard output up to the next line end (not included), or to its end.
    [[nodiscard]] std::string readLine();
    // The rest of standard output, or of standard error, until the child closes it.
    [[nodiscard]] std::string readOutput();
    [[nodiscard]] std::string readErrors();
    // Standard error up to and including the first `text` (or to its end).
    [[nodiscard]] std::string readErrorsUntil(std::string_view text);
    // Waits for the end; the exit code, or -1 when a signal ended it.
    int wait();
    // Ends it at once, as a crash would.
    void kill();
    // Sends SIGINT, as Ctrl+C in a terminal does; does not wait.
    void interrupt();
    // Holds it still (SIGSTOP) and lets it go on (SIGCONT): signals sent
    // meanwhile are taken the moment it goes on.
    void suspend();
    void resume();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

// Runs a program to its end: exit code and both outputs. For programs whose
// output fits the pipes' buffers, as the command-line tools' does.
struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
};
[[nodiscard]] Finished runToEnd(std::vector<std::string> argv);

}  // namespace corvane::test
