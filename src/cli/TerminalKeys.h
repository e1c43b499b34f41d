#pragma once

#include <memory>
#include <string>

namespace corvane::cli {

// The standard input as a key source while it lives: on a terminal, keys
// arrive one at a time without echo, and the terminal's mode comes back at
// the end; anything else (a pipe, a file, /dev/null) gives no keys.
class TerminalKeys {
public:
    TerminalKeys();
    ~TerminalKeys();  // gives the terminal its mode back
    TerminalKeys(const TerminalKeys&) = delete;
    TerminalKeys& operator=(const TerminalKeys&) = delete;

    [[nodiscard]] bool isTerminal() const { return terminal_; }
    // True when a key was waiting (it is taken); never waits.
    [[nodiscard]] bool keyPressed() const;

private:
    struct Saved;  // the terminal's mode before, per system
    std::unique_ptr<Saved> saved_;
    bool terminal_ = false;
};

// A prompt line for where keys do not reach the program: ", press any key
// to skip" and the like is left out.
[[nodiscard]] std::string withoutKeyHint(const std::string& line);

}  // namespace corvane::cli
