#pragma once
// The console of a command-line program: colours and the final "hit any key" wait, done only
// where a person is looking, so that a run from a script, a pipe or CI never hangs or fills a
// log with escape sequences.

#include <cstdio>

namespace platform {

bool IsTerminal(std::FILE* stream);

// Black text on a white background while it lives, on a terminal only; the terminal's own
// colours come back when it ends.
class BlackOnWhiteConsole {
 public:
  explicit BlackOnWhiteConsole(std::FILE* stream = stdout);
  BlackOnWhiteConsole(const BlackOnWhiteConsole&) = delete;
  BlackOnWhiteConsole& operator=(const BlackOnWhiteConsole&) = delete;
  ~BlackOnWhiteConsole();

 private:
  std::FILE* stream_;
  bool active_;
};

// Waits for one key press without echo when standard input is a terminal; returns at once
// otherwise. True when a key was read.
bool WaitForKey();

}  // namespace platform
