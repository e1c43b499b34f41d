#include "cli/TerminalKeys.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace corvane::cli {

struct TerminalKeys::Saved {
    termios mode{};
};

TerminalKeys::TerminalKeys() : saved_(std::make_unique<Saved>()) {
    if (::isatty(STDIN_FILENO) != 1 || ::tcgetattr(STDIN_FILENO, &saved_->mode) != 0) {
        return;
    }
    termios raw = saved_->mode;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    terminal_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

TerminalKeys::~TerminalKeys() {
    if (terminal_) {
        (void)::tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
    }
}

bool TerminalKeys::keyPressed() const {
    if (!terminal_) {
        return false;
    }
    pollfd in{STDIN_FILENO, POLLIN, 0};
    char key = 0;
    return ::poll(&in, 1, 0) == 1 && (in.revents & POLLIN) != 0 && ::read(STDIN_FILENO, &key, 1) == 1;
}

}  // namespace corvane::cli
