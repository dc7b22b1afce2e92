#include "platform/desktop/desktop.h"

#include "platform/desktop/testing/window_manager.h"

#include <gtest/gtest.h>
// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// A client of our own on the test's X server, with a UTF-8 title and (optionally) a legacy one.
class TitledWindow {
 public:
  TitledWindow(const std::string& netTitle, const char* legacyTitle) : display_(OpenDisplay()) {
    if (display_ == nullptr) return;
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 10, 10, 200, 100, 0, 0, 0);
    if (!netTitle.empty()) {
      XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                      XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(netTitle.data()), static_cast<int>(netTitle.size()));
    }
    if (legacyTitle != nullptr) XStoreName(display_, window_, legacyTitle);
    XSizeHints hints{};
    hints.flags = USPosition;
    hints.x = 10;
    hints.y = 10;
    XSetWMNormalHints(display_, window_, &hints);
    XMapWindow(display_, window_);
    XSync(display_, False);
  }
  ~TitledWindow() { Close(); }
  void Close() {
    if (display_ == nullptr) return;
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
    display_ = nullptr;
  }
  bool Open() const { return display_ != nullptr; }
  platform::WindowId Id() const { return window_; }

  // Where the window's inside lies on the screen, summed up the frames' offsets; once a window
  // manager has framed it, if that happens within about five seconds (a window manager that has
  // just started may leave a window as it is).
  void AwaitFrame(int* x, int* y) const {
    for (int attempt = 0; attempt < 50 && OffsetToRoot(x, y) < 2; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

 private:
  // A loaded machine's X server may turn a connection away for a moment.
  static Display* OpenDisplay() {
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (Display* display = XOpenDisplay(nullptr)) return display;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return nullptr;
  }

  // The number of windows from this one up to the root's child.
  int OffsetToRoot(int* x, int* y) const {
    *x = *y = 0;
    int levels = 0;
    for (Window window = window_;;) {
      Window root = 0, parent = 0, *children = nullptr;
      unsigned int count = 0, width = 0, height = 0, border = 0, depth = 0;
      int left = 0, top = 0;
      if (XGetGeometry(display_, window, &root, &left, &top, &width, &height, &border, &depth) == 0 ||
          XQueryTree(display_, window, &root, &parent, &children, &count) == 0) {
        return 0;
      }
      if (children != nullptr) XFree(children);
      *x += left + static_cast<int>(border);
      *y += top + static_cast<int>(border);
      ++levels;
      if (parent == root) return levels;
      window = parent;
    }
  }

  Display* display_;
  Window window_ = 0;
};

// The listing as seen after the window manager (if any) had time to frame the window.
bool FindTitle(const std::string& title, platform::TopLevelWindow* found) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    for (const platform::TopLevelWindow& window : platform::EnumerateTopLevelWindows()) {
      if (window.title == title) {
        *found = window;
        return true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

struct TitleCase {
  const char* name;
  std::string netTitle;
  const char* legacyTitle;
  std::string expected;
};

const TitleCase kTitleCases[] = {
    {"utf8 title wins", "Navigator – Route", "legacy", "Navigator – Route"},
    {"legacy title alone", "", "TomTom Home", "TomTom Home"},
};

void CheckTitles(bool framed) {
  for (const TitleCase& c : kTitleCases) {
    SCOPED_TRACE(c.name);
    TitledWindow window(c.netTitle, c.legacyTitle);
    ASSERT_TRUE(window.Open());
    platform::TopLevelWindow found;
    ASSERT_TRUE(FindTitle(c.expected, &found));
    EXPECT_EQ(found.id, window.Id()) << "the client window, not a frame";
    EXPECT_EQ(found.width, 200);
    EXPECT_EQ(found.height, 100);
    int x = 10, y = 10;
    if (framed) {
      window.AwaitFrame(&x, &y);
      ASSERT_TRUE(FindTitle(c.expected, &found));
    }
    EXPECT_EQ(found.x, x) << "the place on the screen, not inside a frame";
    EXPECT_EQ(found.y, y);
    EXPECT_TRUE(platform::WindowExists(found.id));
    window.Close();
    EXPECT_FALSE(platform::WindowExists(found.id));
  }
}

TEST(DesktopTest, FindsTitledWindowsWithoutAndWithWindowManager) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under xvfb-run";
  {
    SCOPED_TRACE("bare X server");
    CheckTitles(false);
  }
  platform::testing::WindowManager manager;
  ASSERT_TRUE(manager.WaitRunning());
  SCOPED_TRACE("framed by openbox");
  CheckTitles(true);
}

TEST(DesktopTest, NoDisplayMeansNoWindows) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display != nullptr ? display : "";
  unsetenv("DISPLAY");
  EXPECT_TRUE(platform::EnumerateTopLevelWindows().empty());
  EXPECT_FALSE(platform::WindowExists(1));
  if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
}

}  // namespace
