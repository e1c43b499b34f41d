#include "cli/TerminalKeys.h"

#include <conio.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace corvane::cli {

struct TerminalKeys::Saved {
    DWORD mode = 0;
};

// A console hands keys to _kbhit/_getch without echo whatever its mode; a
// redirected input gives none.
TerminalKeys::TerminalKeys() : saved_(std::make_unique<Saved>()) {
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    terminal_ = ::_isatty(::_fileno(stdin)) != 0 && in != INVALID_HANDLE_VALUE &&
                ::GetConsoleMode(in, &saved_->mode) != 0;
}

TerminalKeys::~TerminalKeys() {
    if (terminal_) {
        (void)::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), saved_->mode);
    }
}

bool TerminalKeys::keyPressed() const {
    if (!terminal_ || ::_kbhit() == 0) {
        return false;
    }
    (void)::_getch();
    return true;
}

}  // namespace corvane::cli
