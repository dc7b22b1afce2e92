#include "platform/desktop/testing/window_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace platform::testing {

WindowManager::WindowManager() {
  char program[] = "openbox";
  char* argv[] = {program, nullptr};
  if (posix_spawnp(&pid_, program, nullptr, nullptr, argv, environ) != 0) pid_ = -1;
}

WindowManager::~WindowManager() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

bool WindowManager::WaitRunning() const {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  bool running = false;
  for (int attempt = 0; attempt < 100 && !running && pid_ > 0; ++attempt) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format, &items,
                       &after, &data);
    running = items > 0;
    if (data != nullptr) XFree(data);
    if (!running) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  XCloseDisplay(display);
  return running;
}

}  // namespace platform::testing
