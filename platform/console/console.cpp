#include "platform/console/console.h"

#include <termios.h>
#include <unistd.h>

namespace platform {

bool IsTerminal(std::FILE* stream) { return stream != nullptr && ::isatty(::fileno(stream)) == 1; }

BlackOnWhiteConsole::BlackOnWhiteConsole(std::FILE* stream) : stream_(stream), active_(IsTerminal(stream)) {
  if (active_) std::fputs("\x1b[30;107m", stream_);
}

BlackOnWhiteConsole::~BlackOnWhiteConsole() {
  if (active_) {
    std::fputs("\x1b[0m", stream_);
    std::fflush(stream_);
  }
}

bool WaitForKey() {
  if (!IsTerminal(stdin)) return false;
  std::fflush(stdout);
  termios saved{};
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key = 0;
  const bool read = ::read(STDIN_FILENO, &key, 1) == 1;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return read;
}

}  // namespace platform
