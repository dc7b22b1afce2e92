#pragma once
// A small window manager (openbox) on the test's X display, for tests of what a window manager
// does with our windows: frames, stacking, focus. Ended with the object.

#include <sys/types.h>

namespace platform::testing {

class WindowManager {
 public:
  WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;
  ~WindowManager();

  // True once the manager announces itself on the root window (within about ten seconds).
  bool WaitRunning() const;

 private:
  pid_t pid_ = -1;
};

}  // namespace platform::testing
